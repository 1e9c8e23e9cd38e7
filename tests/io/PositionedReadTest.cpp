// Reading one archive file from several threads: each through a place of its own on one shared
// handle, none moving another's, the limit of the shared stream honoured.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "io/FileInput.h"
#include "platform/Thread.h"
#include "stream/PositionedInput.h"
#include "tests/support/TestSupport.h"

namespace {

std::string pattern(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * 31 + i / 256) & 0xFF);
    }
    return data;
}

}  // namespace

TEST(ParallelReadTest, PlacesOfTheirOwnOnOneHandleReadFromFourThreads) {
    testsupport::TempDir dir;
    const std::string path = dir / "archive.bin";
    const std::string data = pattern(1 << 20);
    testsupport::writeFile(path, data);
    stream::FileInput owner(path);
    stream::FileInput shared(owner.file().handle(), path);
    const std::uint64_t limit = data.size() - 1000;
    shared.limitTo(limit);
    ASSERT_TRUE(shared.readsAt());

    std::atomic<int> wrong{0};
    std::vector<std::unique_ptr<platform::Thread>> threads;
    for (unsigned t = 0; t < 4; ++t) {
        threads.push_back(std::make_unique<platform::Thread>([&, t] {
            // Each thread reads the whole file in odd-sized pieces from its own starting place,
            // wrapping around, so that their reads interleave everywhere.
            const std::uint64_t start = t * 250000 + 17;
            stream::PositionedInput input(shared, start);
            char buffer[3001];
            std::uint64_t at = start;
            while (at < limit) {
                const std::uint32_t got = input.read(buffer, sizeof buffer);
                const std::uint64_t expected =
                    limit - at < sizeof buffer ? limit - at : sizeof buffer;
                if (got != expected || data.compare(at, got, buffer, got) != 0) {
                    ++wrong;
                    return;
                }
                at += got;
                if (input.tell() != at) {
                    ++wrong;
                    return;
                }
            }
            // At the limit: no more data, however the shared file goes on.
            if (input.read(buffer, sizeof buffer) != 0 || input.get() != -1) {
                ++wrong;
            }
        }));
        ASSERT_TRUE(threads.back()->started());
    }
    for (auto& thread : threads) {
        thread->join();
    }
    EXPECT_EQ(wrong.load(), 0);
}
