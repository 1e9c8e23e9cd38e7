#include "tools/zipsfx/StubFile.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "sfx/Layout.h"
#include "tools/zipsfx/Fail.h"

namespace tools {

namespace {

// 524288 as "524,288".
std::string grouped(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

}  // namespace

std::vector<std::uint8_t> readStub(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fail("cannot open the stub " + path);
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) {
        fail("cannot read the stub " + path);
    }
    return bytes;
}

std::uint64_t markPosition(const std::vector<std::uint8_t>& stub, const std::string& path) {
    constexpr std::uint64_t step = sfx::kMarkSearchStep;
    std::uint64_t at = (stub.size() + step - 1) / step * step;
    if (at >= sfx::kMarkSearchLimit) {
        fail("the stub " + path + " is too large: the mark would lie at " + std::to_string(at) +
             ", and the stub looks for it only below " + grouped(sfx::kMarkSearchLimit));
    }
    const sfx::Mark mark = sfx::mark();
    for (std::uint64_t p = 0; p + sfx::kMarkSize <= stub.size(); p += step) {
        if (std::equal(mark.begin(), mark.end(), stub.begin() + static_cast<std::ptrdiff_t>(p))) {
            fail("the stub " + path + " holds the mark itself at " + std::to_string(p));
        }
    }
    return at;
}

}  // namespace tools
