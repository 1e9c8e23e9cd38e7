// Where a command of the host tool writes: its results, its messages, and whether a progress
// line may be drawn (only on a terminal).
#pragma once

#include <iosfwd>

namespace tools {

struct Console {
    std::ostream& out;
    std::ostream& err;
    bool progress;
};

}  // namespace tools
