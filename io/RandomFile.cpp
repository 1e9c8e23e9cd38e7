#include "io/RandomFile.h"

#include "base/Exception.h"

namespace io {
namespace random {

void File::seek(std::uint64_t position) {
    if (!platform::setFilePosition(handle_, position)) {
        throw Exception("io::random::File::seek() cannot set the position of " + path());
    }
}

void File::resize(std::uint64_t newSize) {
    if (!isOpen()) {
        return;
    }
    std::uint64_t saved = tell();
    seek(newSize);
    if (!platform::setEndOfFile(handle_)) {
        throw Exception("io::random::File::resize() cannot resize " + path());
    }
    seek(saved);
}

}  // namespace random
}  // namespace io
