// libFuzzer target for the methods 2 to 5 (reduce) decoder. Input: a byte whose low two bits
// pick the compression factor (1 to 4), the uncompressed size (16 bits, little-endian), then
// the data. Every input must end in output of at most the size (plus one match) or an
// algorithm::Exception.
#include <cstdint>
#include <vector>

#include "algorithm/zip/ReduceDecompressor.h"
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
    algorithm::zip::ReduceDecompressor decoder((header.selector & 3) + 1u);
    try {
        fuzz::checkBound(decoder.process(data, output, header.size), header.size);
    } catch (const algorithm::Exception&) {
    }
    return 0;
}
