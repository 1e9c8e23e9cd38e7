#include "algorithm/Copy.h"

#include "base/Exception.h"

namespace algorithm {

Copy::Copy(std::uint32_t blockSize) : blockSize_(blockSize) {
    if (blockSize == 0) {
        throw Exception("zero block size in algorithm::Copy");
    }
}

std::uint64_t Copy::process(stream::InputStream& input, stream::OutputStream& output,
                            std::uint64_t size) {
    if (!buffer_) {
        buffer_.reset(new std::uint8_t[blockSize_]);
    }
    std::uint64_t copied = 0;
    // Only an empty read ends the copy: a buffered input may return fewer bytes than asked
    // before its end, and stopping there would cut a stored entry short.
    while (size == kUnknownSize || copied < size) {
        std::uint32_t ask = blockSize_;
        if (size != kUnknownSize && size - copied < ask) {
            ask = static_cast<std::uint32_t>(size - copied);
        }
        std::uint32_t n = input.read(buffer_.get(), ask);
        if (n == 0) {
            break;
        }
        output.write(buffer_.get(), n);
        copied += n;
    }
    output.flush();
    return copied;
}

}  // namespace algorithm
