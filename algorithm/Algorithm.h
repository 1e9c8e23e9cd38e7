// The base of every byte-stream transformation: stored copy, the decompressors and checksumming
// algorithms all read from an input stream and write to an output stream through it.
#pragma once

#include <cstdint>

#include "stream/Stream.h"

namespace algorithm {

// A size of all ones means unknown.
constexpr std::uint64_t kUnknownSize = ~std::uint64_t(0);

class Algorithm {
public:
    virtual ~Algorithm() = default;

    virtual void reset() {}
    // Transforms input to output; what size counts is each algorithm's own. The base copies
    // bytes one at a time until size bytes are copied or the input ends. Both forms flush the
    // output and return the number of bytes written to it.
    virtual std::uint64_t process(stream::InputStream& input, stream::OutputStream& output,
                                  std::uint64_t size);
    // The same without a count: the base copies until the input ends.
    virtual std::uint64_t process(stream::InputStream& input, stream::OutputStream& output);
    virtual void finish() {}
};

}  // namespace algorithm
