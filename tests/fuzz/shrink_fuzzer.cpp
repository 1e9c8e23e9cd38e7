// libFuzzer target for the method 1 (shrink) decoder: the whole input is the compressed data.
// Every input must end in output or an algorithm::Exception, and the decoder must read no byte
// beyond the compressed size it is given.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "algorithm/zip/ShrinkDecompressor.h"
#include "base/Exception.h"
#include "fuzz/FuzzSupport.h"
#include "stream/MemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    // One byte more than the decoder is told of: reading it is a fault.
    std::vector<std::uint8_t> bytes(input, input + size);
    bytes.push_back(0);
    stream::MemoryInput data(bytes);
    fuzz::CountingOutput output;
    algorithm::zip::ShrinkDecompressor decoder;
    try {
        decoder.process(data, output, size);
    } catch (const algorithm::Exception&) {
    }
    if (data.tell() > size) {
        std::abort();
    }
    return 0;
}
