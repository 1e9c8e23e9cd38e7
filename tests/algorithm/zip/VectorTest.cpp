// Streams made by zlib (tests/data/inflate/make_vectors.py): levels 1, 6 and 9, windows of 512
// bytes to 32 KB, stored, fixed-only, Huffman-only and run-length strategies, outputs of 0, 1,
// 32,767, 32,768, 32,769 bytes and 3 MB. The expected data is regenerated here.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "InflateTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace inflatetest;

namespace {

struct Vector {
    std::string name;
    std::size_t size;
    std::uint32_t seed;
};

std::string vectorDir() {
    return testsupport::join(
        testsupport::join(testsupport::join(testsupport::sourceDir(), "tests"), "data"), "inflate");
}

std::vector<Vector> readManifest() {
    std::vector<Vector> vectors;
    std::ifstream in(testsupport::join(vectorDir(), "vectors.tsv"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        Vector v;
        fields >> v.name >> v.size >> v.seed;
        vectors.push_back(v);
    }
    return vectors;
}

}  // namespace

TEST(InflateVectors, ZlibStreamsDecodeToTheirData) {
    std::vector<Vector> vectors = readManifest();
    ASSERT_GE(vectors.size(), 20u) << "no manifest in " << vectorDir();
    for (const Vector& v : vectors) {
        SCOPED_TRACE(v.name);
        Bytes compressed =
            testsupport::readFile(testsupport::join(vectorDir(), v.name + ".deflate"));
        Bytes expected = generate(v.size, v.seed);
        std::uint64_t returned = 0;
        Bytes out = inflate(compressed, Feed::Buffered, &returned);
        EXPECT_EQ(returned, v.size);
        ASSERT_EQ(out.size(), expected.size());
        EXPECT_TRUE(out == expected);
        if (v.size <= 200000) {
            EXPECT_TRUE(inflate(compressed, Feed::Plain) == expected);
            EXPECT_TRUE(inflate(compressed, Feed::SmallBuffer) == expected);
        }
    }
}
