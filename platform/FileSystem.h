// Files and folders as the operating system offers them: handles, reads and writes, positions,
// attributes, folders and absolute names. Every call reports failure by its result, never by
// throwing; the io layer turns failures into exceptions with the path in the message.
//
// Paths are UTF-8. Windows calls the kernel's wide file functions directly, a path past the
// classic 260 characters in its \\?\ form. POSIX gives the same observable results:
// - Positions and sizes are 64-bit on both backends, so files of 4 GiB and more are read and
//   positioned correctly (Windows passes the high part to SetFilePointer and GetFileSize).
// - A file whose write permission bits are all clear plays the read-only attribute: opening it
//   with ReadWrite or Create and deleting it fail on both backends, whoever runs the program
//   (its times can still be changed).
// - Sharing modes are not enforced on POSIX.
// - The read-only attribute maps to the write permission bits and the folder attribute to a
//   directory. Hidden, system and archive have no counterpart: they read as clear, and setting
//   them is accepted and changes nothing.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A file handle: a Windows HANDLE or a POSIX descriptor. All bits set means no file.
using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

// Whether the platform knows drive letters ("C:") and a second separator that the system
// accepts in paths (the forward slash on Windows).
#ifdef _WIN32
constexpr bool kDriveLetters = true;
constexpr bool kAlternativeSeparator = true;
#else
constexpr bool kDriveLetters = false;
constexpr bool kAlternativeSeparator = false;
#endif

// How a file is opened; each mode is one CreateFileW combination.
enum class OpenMode {
    Read,         // GENERIC_READ, others may read and write, OPEN_EXISTING
    ReadWrite,    // GENERIC_READ | GENERIC_WRITE, others may read, OPEN_EXISTING
    Create,       // GENERIC_READ | GENERIC_WRITE, no sharing, CREATE_ALWAYS
    CreateNew,    // GENERIC_READ | GENERIC_WRITE, no sharing, CREATE_NEW: fails when the name is
                  // taken, by a link too (which is never followed); see nameWasTaken()
    QueryTimes,   // GENERIC_READ, no sharing, OPEN_EXISTING, folders too
    ChangeTimes,  // GENERIC_WRITE, no sharing, OPEN_EXISTING, folders too
};

// kNoFile when the file cannot be opened. Read, ReadWrite and Create refuse folders.
FileHandle openFile(const std::string& path, OpenMode mode);
bool closeFile(FileHandle file);
// done receives the count delivered (0 at the end of the file).
bool readFile(FileHandle file, void* buffer, std::uint32_t length, std::uint32_t& done);
// As readFile, from `offset` rather than the file's position, so that several threads can read
// one handle at once. The position is left alone on POSIX; on Windows it may move, so a caller
// that mixes both kinds of read on one handle seeks before each readFile.
bool readFileAt(FileHandle file, std::uint64_t offset, void* buffer, std::uint32_t length,
                std::uint32_t& done);
bool writeFile(FileHandle file, const void* buffer, std::uint32_t length, std::uint32_t& done);
bool filePosition(FileHandle file, std::uint64_t& position);
bool setFilePosition(FileHandle file, std::uint64_t position);
bool fileSize(FileHandle file, std::uint64_t& size);
// Ends the file at its current position (shrinks or grows it).
bool setEndOfFile(FileHandle file);
bool deleteFile(const std::string& path);

// Why the last failed call of this thread failed: whether the name it would create was taken,
// and the system's text for the reason (strerror on POSIX). Ask at once, before other calls.
bool nameWasTaken();
std::string lastFailureText();

// Windows attribute bits.
constexpr std::uint32_t kAttributeReadOnly = 0x01;
constexpr std::uint32_t kAttributeHidden = 0x02;
constexpr std::uint32_t kAttributeSystem = 0x04;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeArchive = 0x20;
constexpr std::uint32_t kAttributeNormal = 0x80;
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFF;

// kInvalidAttributes when the path does not exist.
std::uint32_t fileAttributes(const std::string& path);
bool setFileAttributes(const std::string& path, std::uint32_t attributes);

// The bytes the caller may still write on the file system holding `folder` (an existing
// folder); false when the system cannot tell.
bool freeSpace(const std::string& folder, std::uint64_t& bytes);

// Creates one folder; fails when its parent is missing or the name is taken.
bool createDirectory(const std::string& path);
// Creates one folder, or accepts a folder of that name that is there already; fails when the
// parent is missing or the name is taken by anything else, a link to a folder included (it is
// never followed). `created` tells which.
bool makeDirectory(const std::string& path, bool& created);

// The absolute form of path, with "." and ".." removed textually (links are not resolved). Fails
// when the path is empty or the result would not fit kMaxPath (terminating zero included).
bool fullPathName(const std::string& path, std::string& absolute);

// Gives a file the Unix permission bits recorded for it (read, write and execute for owner,
// group and others; never set-id or sticky bits), masked by the process's umask. Windows has no
// such bits: nothing happens there, and the result is true.
bool setUnixPermissions(const std::string& path, std::uint32_t mode);
// The same through an open file, whatever its name has become meanwhile.
bool setUnixPermissionsOf(FileHandle file, std::uint32_t mode);
// Whether a file that openFile(CreateNew) has just made (read and write for all, less the umask)
// has the bits setUnixPermissionsOf(mode) would give it already, so that the call can be saved.
// Always true on Windows.
bool newFileHasUnixPermissions(std::uint32_t mode);

// Whether extraction makes symbolic links. Windows needs a privilege for them, so there a link
// is written as a small file holding its target, as other extractors do.
#ifdef _WIN32
constexpr bool kSymbolicLinks = false;
#else
constexpr bool kSymbolicLinks = true;
#endif

// Creates a symbolic link at path that leads to target; fails when the name is taken (an
// existing link is never followed or replaced), where links are not made, and for a target
// holding a NUL byte (the system would read it cut short).
bool createSymbolicLink(const std::string& target, const std::string& path);
// Whether path itself is a symbolic link (it is not followed).
bool isSymbolicLink(const std::string& path);
// Whether path itself is a folder: not a link to one (it is not followed), not missing.
bool isRealFolder(const std::string& path);

}  // namespace platform
