// Times the Deflate decoder alone against zlib and libdeflate on the same raw Deflate data.
// Usage: inflate_bench FILE... (each file is compressed here with zlib level 6, then decoded
// REPEAT times by each decoder; the median times are compared). Prints MB/s of output and the
// ratio of each decoder's time to ours.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "algorithm/zip/Decompressor.h"
#include "stream/BufferedInput.h"
#include "stream/MemoryStream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Counts and drops the output, as a file write would take it away.
class Discard : public stream::OutputStream {
  public:
    void write(const void* buffer, std::uint32_t length) override {
        if (length > 0) {
            last_ = static_cast<const std::uint8_t*>(buffer)[length - 1];
        }
        size_ += length;
    }
    void put(std::uint8_t byte) override {
        last_ = byte;
        ++size_;
    }
    std::uint64_t tell() override { return size_; }

  private:
    std::uint64_t size_ = 0;
    std::uint8_t last_ = 0;
};

Bytes readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes deflateRaw(const Bytes& data, int level) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, data.size()));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::uint64_t ours(const Bytes& compressed) {
    stream::MemoryInput memory(compressed);
    stream::BufferedInput buffered(memory, 65536);
    Discard out;
    algorithm::zip::Decompressor decompressor;
    return decompressor.process(buffered, out);
}

std::uint64_t withZlib(const Bytes& compressed, Bytes& buffer) {
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<Bytef*>(compressed.data());
    z.avail_in = static_cast<uInt>(compressed.size());
    std::uint64_t total = 0;
    int status;
    do {
        z.next_out = buffer.data();
        z.avail_out = 65536;
        status = inflate(&z, Z_NO_FLUSH);
        total += 65536 - z.avail_out;
    } while (status == Z_OK);
    inflateEnd(&z);
    return total;
}

std::uint64_t withLibdeflate(const Bytes& compressed, Bytes& whole) {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    size_t n = 0;
    libdeflate_deflate_decompress(d, compressed.data(), compressed.size(), whole.data(),
                                  whole.size(), &n);
    libdeflate_free_decompressor(d);
    return n;
}

// Wall time, or with CPU_TIME set the CPU time of this thread: on a loaded machine the time
// the decoder spends waiting for a core is not its own.
double now() {
    if (std::getenv("CPU_TIME")) {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec + t.tv_nsec / 1e9;
    }
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

template <typename F>
double seconds(F&& run) {
    const double start = now();
    run();
    return now() - start;
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = std::getenv("REPEAT") ? std::atoi(std::getenv("REPEAT")) : 7;
    std::printf("%-28s %10s %9s %9s %9s %9s %9s\n", "file", "MB", "ours", "zlib", "libdefl",
                "zlib/us", "libdefl/us");
    for (int i = 1; i < argc; ++i) {
        Bytes data = readAll(argv[i]);
        Bytes compressed = deflateRaw(data, 6);
        Bytes chunk(65536), whole(data.size() + 1);
        if (ours(compressed) != data.size() || withZlib(compressed, chunk) != data.size() ||
            withLibdeflate(compressed, whole) != data.size()) {
            std::fprintf(stderr, "%s: a decoder disagrees on the size\n", argv[i]);
            return 1;
        }
        // The decoders take turns in each round, so that a change in the machine's load falls
        // on all three alike.
        const bool onlyOurs = std::getenv("ONLY_OURS") != nullptr;
        std::vector<double> times[3];
        for (int round = 0; round < repeat; ++round) {
            times[0].push_back(seconds([&] { ours(compressed); }));
            if (!onlyOurs) {
                times[1].push_back(seconds([&] { withZlib(compressed, chunk); }));
                times[2].push_back(seconds([&] { withLibdeflate(compressed, whole); }));
            }
        }
        const double t0 = median(times[0]);
        if (onlyOurs) {
            std::printf("%-28s %10.1f %9.0f\n", argv[i], data.size() / 1e6, data.size() / 1e6 / t0);
            continue;
        }
        const double t1 = median(times[1]);
        const double t2 = median(times[2]);
        double mb = data.size() / 1e6;
        std::string name = argv[i];
        if (name.size() > 28) {
            name = name.substr(name.size() - 28);
        }
        std::printf("%-28s %10.1f %9.0f %9.0f %9.0f %9.2f %9.2f\n", name.c_str(), mb, mb / t0,
                    mb / t1, mb / t2, t1 / t0, t2 / t0);
    }
    std::printf(
        "(MB/s of output; the last two columns are the peer's time over ours: above 1 "
        "means we are faster)\n");
    return 0;
}
