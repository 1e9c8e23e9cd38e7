#include "tools/zipsfx/Info.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <ostream>

#include "base/CheckedSum.h"
#include "base/Exception.h"
#include "base/Utf8.h"
#include "format/zip/LocalHeader.h"
#include "sfx/Layout.h"
#include "tools/zipsfx/ArchiveStart.h"
#include "tools/zipsfx/Branding.h"
#include "tools/zipsfx/Commands.h"
#include "tools/zipsfx/Fail.h"
#include "tools/zipsfx/Listing.h"
#include "tools/zipsfx/StubImage.h"
#include "tools/zipsfx/StubVersion.h"

namespace tools {

namespace {

// 271872 as "271,872".
std::string grouped(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

// The first `size` bytes of the file: the stub, up to the mark.
std::vector<std::uint8_t> readHead(const std::string& path, std::uint64_t size) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (!in) {
        fail("cannot read the stub of " + path);
    }
    return bytes;
}

std::uint32_t little(const std::vector<std::uint8_t>& bytes, std::size_t at, unsigned width) {
    std::uint32_t value = 0;
    for (unsigned i = 0; i < width && at + i < bytes.size(); ++i) {
        value |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
    }
    return value;
}

// What kind of program the stub is, from the machine field of its PE or ELF header.
std::string stubName(const std::vector<std::uint8_t>& stub) {
    if (stubKind(stub) == StubKind::Windows) {
        const std::uint32_t pe = little(stub, 0x3C, 4);
        switch (little(stub, pe + 4, 2)) {
            case 0x014C:
                return "Windows 32-bit (x86)";
            case 0x8664:
                return "Windows 64-bit (x64)";
            case 0xAA64:
                return "Windows 64-bit (ARM64)";
            default:
                return "Windows";
        }
    }
    const bool wide = stub.size() > 4 && stub[4] == 2;
    std::string name = wide ? "POSIX (ELF 64-bit" : "POSIX (ELF 32-bit";
    switch (little(stub, 18, 2)) {
        case 3:
            return name + " x86)";
        case 62:
            return name + " x86-64)";
        case 183:
            return name + " AArch64)";
        default:
            return name + ")";
    }
}

std::string destinationName(const StubSettings& settings) {
    if (settings.temp) {
        return "a new private folder under the temporary folder, deleted afterwards";
    }
    switch (settings.destination) {
        case Destination::Windows:
            return "the Windows folder";
        case Destination::System:
            return "the system folder";
        case Destination::Temp:
            return "the temporary folder";
        case Destination::Folder:
            return settings.folder;
        case Destination::Current:
            break;
    }
    return "the current folder";
}

}  // namespace

std::vector<InfoLine> describeFile(const std::string& path) {
    const ArchiveRange range = findArchiveRange(path);
    if (range.start == 0) {
        fail(path + " is not a self-extracting file (no mark before an archive)");
    }
    const std::uint64_t stubSize = range.start - sfx::kMarkSize;
    const std::vector<std::uint8_t> stub = readHead(path, stubSize);
    const StubSettings settings = readSettings(stub);

    std::vector<InfoLine> lines;
    lines.push_back({"stub", stubName(stub) + ", " + grouped(stubSize) + " bytes"});
    lines.push_back({"run", settings.run.empty() ? "nothing" : settings.run});
    lines.push_back({"destination", destinationName(settings)});
    lines.push_back({"wait", settings.wait   ? "yes: exits with the program's exit code"
                             : settings.temp ? "yes (with temp): exits with the program's exit code"
                                             : "no"});
    lines.push_back({"temp", settings.temp ? "yes" : "no"});
    lines.push_back({"signed", range.isSigned ? "yes" : "no"});
    const std::optional<std::string> version = stubVersion(stub);
    lines.push_back({"stub version", version ? *version : "unknown"});
    const StubBranding branding = readBranding(stub);
    if (!branding.title.empty()) {
        lines.push_back({"title", branding.title});
    }
    if (!branding.message.empty()) {
        lines.push_back({"message", branding.message});
    }
    if (!branding.license.empty()) {
        lines.push_back({"licence", grouped(branding.license.size()) +
                                        " bytes, shown before the "
                                        "destination (-q accepts it)"});
    }
    if (branding.admin) {
        lines.push_back({"elevation", "asks for administrator rights"});
    }

    const std::vector<ListedEntry> entries = listArchive(path, range.start, range.end);
    std::uint64_t size = 0;
    std::uint64_t packed = 0;
    std::uint64_t encrypted = 0;
    for (const ListedEntry& entry : entries) {
        size = base::addSaturated(size, entry.uncompressedSize);
        packed = base::addSaturated(packed, entry.compressedSize);
        if (entry.flags & format::zip::kFlagEncrypted) {
            ++encrypted;
        }
    }
    lines.push_back({"password", encrypted == 0 ? "not needed"
                                                : "needed (" + grouped(encrypted) +
                                                      (encrypted == 1 ? " encrypted entry)"
                                                                      : " encrypted entries)")});
    lines.push_back(
        {"archive", grouped(entries.size()) + (entries.size() == 1 ? " entry, " : " entries, ") +
                        grouped(size) + " bytes, " + grouped(packed) + " bytes compressed"});
    return lines;
}

void printInfo(std::ostream& out, const std::vector<InfoLine>& lines) {
    std::size_t width = 0;
    for (const InfoLine& line : lines) {
        width = std::max(width, line.label.size());
    }
    for (const InfoLine& line : lines) {
        out << line.label << ':' << std::string(width + 1 - line.label.size(), ' ')
            << base::printableText(line.value) << '\n';
    }
}

int runInfo(int argc, char** argv, const Console& console) {
    if (argc != 2 || argv[1][0] == '\0' || (argv[1][0] == '-' && argv[1][1] != '\0')) {
        console.err << "zipsfx: info needs one self-extracting file\n";
        printUsage(console.err);
        return kExitFailure;
    }
    try {
        printInfo(console.out, describeFile(argv[1]));
        return kExitDone;
    } catch (const generic::exception& e) {
        console.err << "zipsfx info: " << base::printableText(e.message()) << "\n";
        return kExitError;
    }
}

}  // namespace tools
