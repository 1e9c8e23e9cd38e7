// The layout of a self-extracting file, shared by the stub that reads it, the tool that writes it
// and their tests: the mark and where it is searched for, the two settings blocks, the shipper's
// texts, how a RUN line splits, and the stub's exit codes. The methods the stub extracts are the
// Zip reader's own list (format/zip/MethodDecoders.h).
#pragma once

// The resource script and the section attribute need plain preprocessor values.
#define ZIPSFX_SETTINGS_BLOCK_SIZE 261
#define ZIPSFX_SETTINGS_SECTION ".zipsfx"
#define ZIPSFX_OPTIONS_BLOCK_SIZE 16
#define ZIPSFX_OPTIONS_SECTION ".zipsfx_options"
#define ZIPSFX_TEXTS_SECTION ".zipsfxt"
// Which zipsfx version a stub is: the POSIX stub carries an ELF note (this section, owner name and
// type, the version text as its descriptor); the Windows stub a string of this name in its version
// resource.
#define ZIPSFX_VERSION_NOTE_SECTION ".note.zipsfx"
#define ZIPSFX_VERSION_NOTE_OWNER "zipsfx"
#define ZIPSFX_VERSION_NOTE_TYPE 1
#define ZIPSFX_VERSION_KEY "ZipsfxVersion"

#ifndef RC_INVOKED

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/CommandLine.h"

namespace sfx {

// The 32-byte mark that separates the program from the appended archive.
//
// The program must never hold the mark's bytes where the search could find them, or the search
// would stop inside the program itself. So the bytes are stored inverted and restored into memory
// only when needed, behind a barrier that keeps the compiler from folding them back into a
// constant: the executable file holds no copy of the mark at any offset.
constexpr std::size_t kMarkSize = 32;
using Mark = std::array<std::uint8_t, kMarkSize>;

inline Mark mark() {
    static const std::uint8_t inverted[kMarkSize] = {
        0x65, 0x3e, 0x76, 0x18, 0xcc, 0xf1, 0xd9, 0x39, 0xe9, 0x8f, 0x27,
        0xb3, 0x4e, 0xab, 0x0a, 0xef, 0x81, 0x04, 0xdb, 0x25, 0x42, 0xb3,
        0xee, 0x7f, 0xf5, 0x45, 0x55, 0x0d, 0xaf, 0x3b, 0xd7, 0x28};
    const std::uint8_t* source = inverted;
#if defined(__GNUC__)
    asm volatile("" : "+r"(source));
#endif
    Mark m{};
    for (std::size_t i = 0; i < kMarkSize; ++i) {
        m[i] = static_cast<std::uint8_t>(~source[i]);
    }
    return m;
}

// The stub looks for the mark at multiples of the step below the limit (524,288 bytes); the
// archive begins right after it.
constexpr std::uint32_t kMarkSearchLimit = 0x80000;
constexpr std::uint32_t kMarkSearchStep = 512;

// Two settings blocks of this many bytes each, zero-padded, rewritten in place in a copy of the
// stub: "RUN" holds the command line started after extraction, "DESTINATION" a selector byte
// and, for Destination::Folder, the folder's text. On Windows they are RCDATA resources; the
// POSIX stub keeps them in one ELF section, the destination block first.
constexpr std::size_t kSettingsBlockSize = ZIPSFX_SETTINGS_BLOCK_SIZE;
constexpr const char* kSettingsSection = ZIPSFX_SETTINGS_SECTION;
constexpr const char* kRunBlock = "RUN";
constexpr const char* kDestinationBlock = "DESTINATION";
// The stub reads at most this many characters of either text (RUN, or the folder after the
// selector byte).
constexpr std::size_t kMaxSettingsText = 259;

// A third block, "OPTIONS", of its own size, rewritten in place like the other two: its first
// byte holds the flags below, the other bytes are reserved and stay zero. A block of zeros (the
// stub as built), or a stub without the block, runs as it always did. On Windows it is an RCDATA
// resource; the POSIX stub keeps it in an ELF section of its own.
constexpr std::size_t kOptionsBlockSize = ZIPSFX_OPTIONS_BLOCK_SIZE;
constexpr const char* kOptionsSection = ZIPSFX_OPTIONS_SECTION;
constexpr const char* kOptionsBlock = "OPTIONS";
enum OptionFlag : std::uint8_t {
    // Wait for the RUN program to end and exit with its exit code.
    kOptionWait = 0x01,
    // Extract into a new private folder under the temporary folder, start RUN from there, wait
    // for it, then delete the folder.
    kOptionTemp = 0x02,
};

// The selector byte of the DESTINATION block; any other value means Current.
enum class Destination : std::uint8_t {
    Current = 0,
    Windows = 1,
    System = 2,
    Temp = 3,
    Folder = 4
};

// A RUN line as the stub starts it: the program is the text up to the first blank or tab, or,
// when the line begins with a double quote, the text up to the closing quote (all the rest when
// there is none); the arguments are everything after that, unchanged. The rule itself lives in
// base/CommandLine.h, where the POSIX backend (below this layer) uses it too.
using RunLine = base::RunText;
inline RunLine splitRunLine(const std::string& run) {
    return base::splitRunText(run);
}

// The stub's exit codes; the tool's commands end with the same numbers.
enum ExitCode : int {
    kExitDone = 0,          // extracted (whatever became of the launch)
    kExitCancelled = 1,     // declined or cancelled; nothing shown
    kExitErrorShown = 2,    // a failure of the program's own kinds, shown in the error box
    kExitOtherFailure = 3,  // anything else; nothing shown, except a refused launch
};
// With kOptionWait the stub ends with the RUN program's own exit code instead of kExitDone: a
// program's 1 to 3 cannot be told from the stub's own codes.

// The shipper's texts (`zipsfx make --title`, `--message`, `--license`): UTF-8, each of any
// length up to its limit, empty or absent for the default. On Windows each is an RCDATA resource
// of its name, sized to its text. The POSIX stub keeps them behind its ELF image, before the
// mark: its section ".zipsfxt" holds a table of kTextCount entries in the order of kTextNames,
// each the text's offset in the file and its length in bytes, both 32-bit little-endian (length
// 0: the default). Both stubs read them through app/TextSettings, which also enforces the limits.
constexpr const char* kTitleText = "TITLE";
constexpr const char* kMessageText = "MESSAGE";
constexpr const char* kLicenseText = "LICENSE";
constexpr std::size_t kTextCount = 3;
constexpr const char* kTextNames[kTextCount] = {kTitleText, kMessageText, kLicenseText};
constexpr const char* kTextsSection = ZIPSFX_TEXTS_SECTION;
constexpr std::size_t kTextTableEntrySize = 8;
constexpr std::size_t kTextTableSize = kTextCount * kTextTableEntrySize;
// In bytes. The licence must leave room for the program and the mark below the search limit.
constexpr std::size_t kMaxTitleText = 255;
constexpr std::size_t kMaxMessageText = 2047;
constexpr std::size_t kMaxLicenseText = 131072;

}  // namespace sfx

#endif  // RC_INVOKED
