// The shipper's own face on a stub: icon, title, message, licence, version information and the
// request for elevation, as `zipsfx make` writes them into its copy of the stub.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zipsfx/VersionInfo.h"

namespace tools {

struct Branding {
    std::string iconPath;     // --icon FILE.ico
    std::string title;        // --title TEXT
    std::string message;      // --message TEXT
    std::string licensePath;  // --license FILE
    VersionInfo version;      // --version-info KEY=VALUE, --version 1.2.3.4
    bool admin = false;       // --admin

    bool hasVersion() const { return version.versionGiven || !version.strings.empty(); }
    // Whether anything at all is asked for.
    bool any() const {
        return !iconPath.empty() || !title.empty() || !message.empty() || !licensePath.empty() ||
               hasVersion() || admin;
    }
};

// Writes the branding into a copy of a stub: on Windows as resources (the section written anew,
// the headers fixed), on POSIX the texts behind the ELF image with their table in the stub's
// texts section. Everything is read and checked before the image changes: a malformed icon, a
// text too long or not UTF-8, an option the stub cannot carry (an icon for the POSIX stub) throw
// generic::exception and leave the image as it was.
void applyBranding(std::vector<std::uint8_t>& image, const Branding& branding);

// What `zipsfx info` and the tests read back from a stub copy: the texts as stored (empty when
// absent), whether the manifest asks for elevation.
struct StubBranding {
    std::string title;
    std::string message;
    std::string license;
    bool admin = false;
};
StubBranding readBranding(const std::vector<std::uint8_t>& image);

}  // namespace tools
