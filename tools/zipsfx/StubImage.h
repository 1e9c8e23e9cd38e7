// A copy of a stub executable in memory, with the two settings blocks that `zipsfx make`
// writes: the command line started after extraction and the default destination.
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
};

enum class StubKind { Windows, Elf };

// The kind of executable the bytes are; throws generic::exception for anything else.
StubKind stubKind(const std::vector<std::uint8_t>& image);

// Writes the settings into the stub's own blocks, found through its resource directory (Windows)
// or its ".zipsfx" section (ELF). Throws generic::exception, leaving the image unchanged, when
// the blocks are missing or a text does not fit.
void applySettings(std::vector<std::uint8_t>& image, const StubSettings& settings);

// Rewrites only the RUN block, for tests that change a stub's command line by hand; the block
// must have the layout's size. Throws generic::exception as applySettings does.
void applyRun(std::vector<std::uint8_t>& image, const std::string& run);

}  // namespace tools
