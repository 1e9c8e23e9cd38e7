#include "tools/zipsfx/Deflater.h"

#include <zlib.h>

#include "tools/zipsfx/Fail.h"

namespace tools {

namespace {

constexpr std::size_t kChunk = 1 << 16;

}  // namespace

struct Deflater::State {
    std::string what;
    z_stream stream{};
    std::unique_ptr<std::uint8_t[]> output = std::make_unique<std::uint8_t[]>(kChunk);
};

Deflater::Deflater(int level, std::string what) : state_(std::make_unique<State>()) {
    state_->what = std::move(what);
    if (deflateInit2(&state_->stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        fail("cannot start the deflate compressor");
    }
}

Deflater::~Deflater() {
    deflateEnd(&state_->stream);
}

std::uint64_t Deflater::compress(const std::uint8_t* data, std::size_t length, bool last,
                                 const Sink& sink) {
    z_stream& z = state_->stream;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(length);
    std::uint64_t packed = 0;
    do {
        z.next_out = state_->output.get();
        z.avail_out = static_cast<uInt>(kChunk);
        if (deflate(&z, last ? Z_FINISH : Z_NO_FLUSH) == Z_STREAM_ERROR) {
            fail("the deflate compressor failed on " + state_->what);
        }
        const std::size_t have = kChunk - z.avail_out;
        sink(state_->output.get(), have);
        packed += have;
    } while (z.avail_out == 0);
    return packed;
}

std::uint32_t updateCrc32(std::uint32_t crc, const std::uint8_t* data, std::size_t length) {
    return static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(length)));
}

}  // namespace tools
