// libFuzzer target for the method 6 (implode) decoder. Input: a byte whose bit 0 picks the 8K
// dictionary and bit 1 the literal tree, the uncompressed size (16 bits, little-endian), then
// the data. Every input must end in output of at most the size (plus one match) or an
// algorithm::Exception.
#include <cstdint>
#include <vector>

#include "algorithm/zip/ImplodeDecompressor.h"
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
    algorithm::zip::ImplodeDecompressor decoder((header.selector & 1) != 0,
                                                (header.selector & 2) != 0);
    decoder.reset();
    decoder.setSize(header.size);
    try {
        const std::uint64_t written = decoder.process(data, output);
        decoder.finish();
        fuzz::checkBound(written, header.size);
    } catch (const algorithm::Exception&) {
    }
    return 0;
}
