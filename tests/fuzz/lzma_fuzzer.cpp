// libFuzzer target for the method 14 (LZMA) decoder. Input: a byte whose bit 0 says the stream
// carries an end marker (Zip flag bit 1), the uncompressed size (16 bits, little-endian), then
// the entry's data from its Zip LZMA header on. Every input must end in output of at most the
// size or an algorithm::Exception; the history it allocates is bounded by the size.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "algorithm/zip/LzmaDecoder.h"
#include "base/Exception.h"
#include "fuzz/FuzzSupport.h"
#include "stream/MemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    fuzz::Header header;
    if (!fuzz::readHeader(input, size, header)) {
        return 0;
    }
    stream::MemoryInput data(std::vector<std::uint8_t>(header.data, header.data + header.length));
    fuzz::CountingOutput output;
    algorithm::zip::LzmaDecoder decoder((header.selector & 1) != 0);
    try {
        // LZMA refuses a match that runs past the size: not a byte more may come out.
        if (decoder.process(data, output, header.size) > header.size) {
            std::abort();
        }
    } catch (const algorithm::Exception&) {
    }
    return 0;
}
