// libFuzzer target for the Deflate64 decoder. Every input must end, without a crash, in either
// a decoded stream or an algorithm::Exception, and a decoded stream holds no more than the
// input can describe. The first byte picks how the input is fed, as for Inflate.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzSupport.h"
#include "algorithm/zip/Deflate64Decompressor.h"
#include "base/Exception.h"
#include "stream/BufferedInput.h"
#include "stream/MemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::uint8_t mode = data[0] % 3;
    const std::vector<std::uint8_t> compressed(data + 1, data + size);
    stream::MemoryInput memory(compressed);
    fuzz::CountingOutput output;
    algorithm::zip::Deflate64Decompressor decompressor;
    try {
        std::uint64_t written;
        if (mode == 0) {
            written = decompressor.process(memory, output);
        } else {
            stream::BufferedInput buffered(memory, mode == 1 ? 65536 : 5);
            written = decompressor.process(buffered, output);
        }
        // A code of one bit gives at most a match of 65,538 bytes.
        if (written > (compressed.size() * 8 + 8) * 65538) {
            std::abort();
        }
    } catch (const algorithm::Exception&) {
    }
    return 0;
}
