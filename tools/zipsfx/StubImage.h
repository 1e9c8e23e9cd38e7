// A copy of a stub executable in memory, with the settings blocks that `zipsfx make` writes: the
// command line started after extraction, the default destination and the options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sfx/Layout.h"

namespace tools {

// The default destination, as the stub's selector byte.
using Destination = sfx::Destination;

struct StubSettings {
    std::string run;  // program and arguments, relative to the destination; empty: start nothing
    Destination destination = Destination::Current;
    std::string folder;  // with Destination::Folder
    bool wait = false;   // wait for RUN and end with its exit code
    bool temp = false;   // extract into a private temporary folder, removed after RUN ended
};

enum class StubKind { Windows, Elf };

// The kind of executable the bytes are; throws generic::exception for anything else.
StubKind stubKind(const std::vector<std::uint8_t>& image);

// Writes the settings into the stub's own blocks, found through its resource directory (Windows)
// or its ".zipsfx" and ".zipsfx_options" sections (ELF). Throws generic::exception, leaving the
// image unchanged, when the blocks are missing (the options block only matters when an option
// is set) or a text does not fit.
void applySettings(std::vector<std::uint8_t>& image, const StubSettings& settings);

// The settings a stub (or a whole self-extracting file) holds, read back from its blocks. A stub
// without an options block reads as having no options. Throws generic::exception as
// applySettings does when the RUN or DESTINATION blocks are missing.
StubSettings readSettings(const std::vector<std::uint8_t>& image);

// Rewrites only the RUN block, for tests that change a stub's command line by hand; the block
// must have the layout's size. Throws generic::exception as applySettings does.
void applyRun(std::vector<std::uint8_t>& image, const std::string& run);

}  // namespace tools
