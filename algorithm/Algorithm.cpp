#include "algorithm/Algorithm.h"

namespace algorithm {

std::uint64_t Algorithm::process(stream::InputStream& input, stream::OutputStream& output,
                                 std::uint64_t size) {
    std::uint64_t done = 0;
    while (done < size) {
        int c = input.get();
        if (c < 0) {
            break;
        }
        output.put(static_cast<std::uint8_t>(c));
        ++done;
    }
    output.flush();
    return done;
}

std::uint64_t Algorithm::process(stream::InputStream& input, stream::OutputStream& output) {
    return process(input, output, kUnknownSize);
}

}  // namespace algorithm
