// libFuzzer target for the Deflate decoder alone. Every input must end, without a crash, in
// either a decoded stream or an algorithm::Exception; and where zlib decodes the input as a
// complete raw Deflate stream, the decoder must produce the same bytes.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "algorithm/zip/Decompressor.h"
#include "base/Exception.h"
#include "stream/BufferedInput.h"
#include "stream/MemoryStream.h"

namespace {

// Keeps what is written, up to a limit that no input of the fuzzer's size can reach honestly.
class Collect : public stream::MemoryOutput {};

bool zlibInflate(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out) {
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (inflateInit2(&z, -15) != Z_OK) {
        return false;
    }
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    std::uint8_t buffer[65536];
    int status;
    do {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
    } while (status == Z_OK && (z.avail_out == 0 || z.avail_in > 0));
    inflateEnd(&z);
    return status == Z_STREAM_END;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte picks how the input is fed: the bit reader has three ways to get bytes.
    const std::uint8_t mode = data[0] % 3;
    std::vector<std::uint8_t> compressed(data + 1, data + size);

    stream::MemoryInput memory(compressed);
    Collect output;
    algorithm::zip::Decompressor decompressor;
    bool ok = true;
    try {
        if (mode == 0) {
            decompressor.process(memory, output);
        } else {
            stream::BufferedInput buffered(memory, mode == 1 ? 65536 : 5);
            decompressor.process(buffered, output);
        }
    } catch (const algorithm::Exception&) {
        ok = false;
    }

    std::vector<std::uint8_t> expected;
    if (zlibInflate(compressed.data(), compressed.size(), expected)) {
        if (!ok || output.data() != expected) {
            std::abort();
        }
    }
    return 0;
}
