#include "tools/zipsfx/LzmaCompressor.h"

#include <lzma.h>

#include <algorithm>

#include "tools/zipsfx/Fail.h"

namespace tools {

namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr std::uint8_t kPropertiesSize = 5;

}  // namespace

struct LzmaCompressor::State {
    std::string what;
    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_options_lzma options{};
    bool headerWritten = false;
    std::unique_ptr<std::uint8_t[]> output = std::make_unique<std::uint8_t[]>(kChunk);
};

LzmaCompressor::LzmaCompressor(int level, std::uint64_t size, std::string what)
    : state_(std::make_unique<State>()) {
    state_->what = std::move(what);
    lzma_options_lzma& options = state_->options;
    const std::uint32_t preset =
        static_cast<std::uint32_t>(level) | (level == 9 ? LZMA_PRESET_EXTREME : 0);
    if (lzma_lzma_preset(&options, preset)) {
        fail("cannot start the LZMA compressor");
    }
    // A dictionary larger than the file gains nothing, and every extractor would have to
    // allocate it.
    options.dict_size = static_cast<std::uint32_t>(std::max<std::uint64_t>(
        LZMA_DICT_SIZE_MIN, std::min<std::uint64_t>(options.dict_size, size)));
    // No end marker: the entry's size ends the stream.
    options.ext_flags = 0;
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_raw_encoder(&state_->stream, filters) != LZMA_OK) {
        fail("cannot start the LZMA compressor for " + state_->what);
    }
}

LzmaCompressor::~LzmaCompressor() {
    lzma_end(&state_->stream);
}

std::uint64_t LzmaCompressor::compress(const std::uint8_t* data, std::size_t length, bool last,
                                       const Sink& sink) {
    std::uint64_t packed = 0;
    if (!state_->headerWritten) {
        const lzma_options_lzma& o = state_->options;
        const std::uint32_t dictionary = o.dict_size;
        const std::uint8_t header[4 + kPropertiesSize] = {
            LZMA_VERSION_MAJOR,
            LZMA_VERSION_MINOR,
            kPropertiesSize,
            0,
            static_cast<std::uint8_t>((o.pb * 5 + o.lp) * 9 + o.lc),
            static_cast<std::uint8_t>(dictionary),
            static_cast<std::uint8_t>(dictionary >> 8),
            static_cast<std::uint8_t>(dictionary >> 16),
            static_cast<std::uint8_t>(dictionary >> 24)};
        sink(header, sizeof header);
        packed += sizeof header;
        state_->headerWritten = true;
    }
    lzma_stream& z = state_->stream;
    z.next_in = data;
    z.avail_in = length;
    lzma_ret result;
    do {
        z.next_out = state_->output.get();
        z.avail_out = kChunk;
        result = lzma_code(&z, last ? LZMA_FINISH : LZMA_RUN);
        if (result != LZMA_OK && result != LZMA_STREAM_END) {
            fail((result == LZMA_MEM_ERROR ? "out of memory in the LZMA compressor on "
                                           : "the LZMA compressor failed on ") +
                 state_->what);
        }
        const std::size_t have = kChunk - z.avail_out;
        sink(state_->output.get(), have);
        packed += have;
    } while (last ? result != LZMA_STREAM_END : z.avail_out == 0);
    return packed;
}

}  // namespace tools
