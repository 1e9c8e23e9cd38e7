// libFuzzer target for the BZip2 decoder. Every input must end, without a crash, in either
// decoded data or an algorithm::Exception; and where libbz2 decodes the input as one complete
// stream with nothing after it, the decoder must produce the same bytes (randomised blocks,
// which it refuses, apart).
#include <bzlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "algorithm/zip/BZip2Decompressor.h"
#include "base/Exception.h"
#include "stream/BufferedInput.h"
#include "stream/CountingOutput.h"
#include "stream/MemoryStream.h"

namespace {

constexpr std::size_t kKept = 64u << 20;

// Keeps the first 64 MB written and counts the rest: a small input can describe gigabytes.
class Keep : public stream::CountingOutput {
  public:
    void put(std::uint8_t byte) override { write(&byte, 1); }
    void write(const void* buffer, std::uint32_t length) override {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        if (data.size() + length <= kKept) {
            data.insert(data.end(), bytes, bytes + length);
        } else {
            cut = true;
        }
        CountingOutput::write(buffer, length);
    }
    std::vector<std::uint8_t> data;
    bool cut = false;
};

bool libbz2Decode(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out) {
    bz_stream z = {};
    if (BZ2_bzDecompressInit(&z, 0, 0) != BZ_OK) {
        return false;
    }
    std::vector<char> in(data, data + size);
    z.next_in = in.data();
    z.avail_in = static_cast<unsigned int>(in.size());
    char buffer[65536];
    int status;
    do {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        status = BZ2_bzDecompress(&z);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
        // A bomb of the fuzzer's making is no comparison worth waiting for.
    } while (status == BZ_OK && out.size() < kKept && (z.avail_out == 0 || z.avail_in > 0));
    const bool whole = status == BZ_STREAM_END && z.avail_in == 0;
    BZ2_bzDecompressEnd(&z);
    return whole;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    stream::MemoryInput memory(std::vector<std::uint8_t>(data, data + size));
    stream::BufferedInput buffered(memory, 4096);
    Keep output;
    algorithm::zip::BZip2Decompressor decompressor;
    bool ok = true;
    std::string message;
    try {
        decompressor.process(buffered, output);
    } catch (const algorithm::Exception& e) {
        ok = false;
        message = e.message();
    }
    std::vector<std::uint8_t> expected;
    if (libbz2Decode(data, size, expected) && !output.cut &&
        message.find("randomised") == std::string::npos) {
        if (!ok || output.data != expected) {
            std::abort();
        }
    }
    return 0;
}
