// The base of the per-format readers. A reader scans and decodes one archive for its archive
// object, and creates every output file and folder through the helpers here, which keep each
// output inside the destination folder, pick free names and retry.
//
// Stored names are judged before they reach the file system. Both '/' and '\' separate their
// components on every platform, and each component is cleaned first (when the archive's clean
// names option is set) and judged afterwards, so that removing characters cannot turn it into
// something that was refused. Rather than refusing the archive, a component is mended:
//   - empty components (leading, doubled or trailing separators, UNC and device prefixes such as
//     "\\server\share" and "\\?\") are dropped;
//   - a drive prefix ("C:") at the start of the name is dropped;
//   - trailing dots and blanks are dropped (Windows ignores them), so ".", "..", "..." and ".. "
//     vanish entirely;
//   - any other ':' becomes '_' (no alternate data streams);
//   - a reserved device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9, LPT0-9, alone or with
//     an extension, in any case) gets a leading '_'.
// Cleaning works on characters (names are UTF-8 by then): control characters are dropped and, on
// Windows only, the characters Windows refuses in names become '_'. The other rules are the same
// on every platform, so an archive extracts to the same names everywhere.
// A name with no component left is refused with BadFormat.
//
// The output helpers clean only the part of a path below the destination folder: the folder the
// user chose is used exactly as given. As a last guard they judge the path they are about to
// use, after cleaning, renaming and shortening: when a destination is set, a path that does not
// lie below it, or that has a component refused above, throws Output and nothing is created.
// (Without a destination, paths are taken as given.)
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "stream/Stream.h"

namespace stream {
class FileOutput;
}

namespace vessel5 {

class Archive;

class FormatReader {
  public:
    // Stores the archive, sets its start offset and its end position to startOffset + 1.
    FormatReader(std::uint32_t startOffset, Archive& archive);
    FormatReader(const FormatReader&) = delete;
    FormatReader& operator=(const FormatReader&) = delete;
    virtual ~FormatReader();

    // The base versions throw UnsupportedFormat: a reader overrides what its format offers.
    virtual void scan(stream::RandomInput& input);
    virtual void decode(stream::RandomInput& input);
    virtual void decodeStream(stream::RandomInput& input);
    virtual void decodeFile(stream::RandomInput& input);

    Archive& archive() { return archive_; }
    std::uint32_t startOffset() const { return startOffset_; }
    // Bytes produced so far in this archive; decoders continue the count across entries.
    std::uint64_t& produced() { return produced_; }

    // The output path of a stored name: the safe components below the absolute destination
    // folder. An existing top-level file or folder is renamed once, the first time the archive
    // names it, and later entries below the same top-level name follow it. For a file that
    // createOutputFile will create (`forFile`), a new top-level name is not looked up: creating
    // the file finds out whether it is taken, and moves on to a numbered name as a rename would.
    std::string makeOutputPath(const std::string& storedName, bool forFile = false);
    // Throws BadFormat when the output path of a stored name is longer than this platform can
    // create (pathLengthProblem); readers check every name before they write anything.
    void checkOutputLength(const std::string& storedName);
    // Forgets the renamings of makeOutputPath and the folders made; called at the start of each
    // extraction.
    void clearOutputNames();

    // Prepare the path (clean, short enough; nameChanged tells about a change), create its
    // parent folders (never through a link) and create the file through the stream as a new
    // file: a taken name (taken before the run or a moment ago) moves on to the next numbered
    // name. Return the path used. Failures throw Output naming the path and the reason.
    std::string createOutputFile(stream::FileOutput& file, std::string path, unsigned attempts);
    std::string createOutputFolder(std::string path, unsigned attempts);
    // As createOutputFile, for a symbolic link to target (whose safety the caller has judged).
    std::string createOutputLink(const std::string& target, std::string path, unsigned attempts);

    // Whether a stored name has no component left once cleaned ("./", ".."): it names the
    // destination itself.
    bool namesDestination(const std::string& storedName) const;
    // The components below the destination that a stored name is made into, before any renaming.
    std::vector<std::string> outputComponents(const std::string& storedName) const;
    // The absolute destination folder with a trailing separator.
    std::string destinationPrefix();

    // Throws Output, naming both numbers, when the destination's file system has less free space
    // than `needed` bytes (the archive's declared total). A reader that writes nothing skips it;
    // so does a run without a destination, or one whose free space the system does not tell.
    virtual void checkRoom(std::uint64_t needed);

  private:
    // Cleans and shortens; true when the path was shortened.
    bool preparePath(std::string& path, const std::string& prefix);
    void makeFolders(const std::string& folder, const std::string& prefix);
    void checkInside(const std::string& path, const std::string& prefix, const char* operation);

    Archive& archive_;
    std::uint32_t startOffset_;
    std::uint64_t produced_ = 0;
    // Top-level candidate path -> the path it stands for in this extraction.
    std::map<std::string, std::string> outputNames_;
    // Folders made or found to be real folders in this extraction; the destination prefix.
    std::set<std::string> folders_;
    // The folder the last makeFolders call settled (below the destination).
    std::string lastFolder_;
    std::string prefix_;
};

// Makes the reader of one format. The format layer lies above this one, so the programs that link
// it register its factory at start (registerZipReader); the archive object only calls it.
using ReaderFactory = std::unique_ptr<FormatReader> (*)(std::uint32_t startOffset,
                                                        Archive& archive);
void registerZipReader(ReaderFactory factory);
ReaderFactory zipReaderFactory();

}  // namespace vessel5
