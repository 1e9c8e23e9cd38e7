// The stub as `zipsfx make` copies it: its bytes, and where the mark goes behind them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// The whole file; throws generic::exception when it cannot be read.
std::vector<std::uint8_t> readStub(const std::string& path);

// Where the mark goes behind this stub: the first step of the search at or after its end.
// Refuses a stub the search could not see past (too large, or holding the mark itself at a
// step).
std::uint64_t markPosition(const std::vector<std::uint8_t>& stub, const std::string& path);

}  // namespace tools
