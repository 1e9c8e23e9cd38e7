// The per-entry decoder: CRC of what it writes, the running count, progress and cancel.
#include <gtest/gtest.h>

#include <utility>

#include "archive/Archive.h"
#include "base/Exception.h"
#include "format/zip/MethodDecoders.h"
#include "format/zip/MethodNames.h"
#include "stream/MemoryStream.h"

using format::zip::createEntryDecoder;

namespace {

struct Progress {
    std::vector<std::uint64_t> positions;
    bool answer = true;
};

bool onProgress(std::uint64_t position, void* user) {
    auto* progress = static_cast<Progress*>(user);
    progress->positions.push_back(position);
    return progress->answer;
}

}  // namespace

TEST(EntryDecoderTest, StoredDataGivesItsCrcAndAdvancesTheRunningCount) {
    struct Case {
        std::string data;
        std::uint32_t crc;
    };
    const Case cases[] = {{"", 0}, {"123456789", 0xCBF43926u}};
    for (const auto& c : cases) {
        vessel5::Archive archive;
        auto decoder = createEntryDecoder(0, 0, archive);
        decoder->produced = 100;
        decoder->compressedSize = c.data.size();
        stream::MemoryInput in(c.data + "next entry");
        stream::MemoryOutput out;
        decoder->decode(in, out);
        EXPECT_EQ(out.text(), c.data);
        EXPECT_EQ(decoder->crc, c.crc);
        EXPECT_EQ(decoder->produced, 100 + c.data.size());
    }
}

TEST(EntryDecoderTest, StoredDataCutShortIsCopiedAsFarAsItGoes) {
    vessel5::Archive archive;
    auto decoder = createEntryDecoder(0, 0, archive);
    decoder->compressedSize = 1000;
    stream::MemoryInput in(std::string("only this"));
    stream::MemoryOutput out;
    EXPECT_NO_THROW(decoder->decode(in, out));
    EXPECT_EQ(out.text(), "only this");
    EXPECT_EQ(decoder->produced, 9u);
}

TEST(EntryDecoderTest, ProgressCountsFromTheArchiveWidePositionAndAFalseAnswerCancels) {
    const std::string data(20000, 'z');
    Progress progress;
    vessel5::Archive archive;
    archive.onProgress(onProgress, &progress);
    auto decoder = createEntryDecoder(0, 0, archive);
    decoder->produced = 1000;
    decoder->compressedSize = data.size();
    stream::MemoryInput in(data);
    stream::MemoryOutput out;
    decoder->decode(in, out);
    EXPECT_EQ(progress.positions, std::vector<std::uint64_t>{21000});

    progress.answer = false;
    auto cancelled = createEntryDecoder(0, 0, archive);
    cancelled->compressedSize = data.size();
    stream::MemoryInput again(data);
    stream::MemoryOutput ignored;
    EXPECT_THROW(cancelled->decode(again, ignored), brindle5::exception::Evacuation);
}

TEST(EntryDecoderTest, OnlyTheZipMethodsWithADecoderAreAccepted) {
    vessel5::Archive archive;
    for (int method = 0; method < 256; ++method) {
        const bool supported = method <= 6 || method == 8 || method == 9 || method == 12 ||
                               method == 14;
        EXPECT_EQ(format::zip::isSupportedMethod(static_cast<std::uint8_t>(method)), supported);
        if (supported) {
            EXPECT_NE(createEntryDecoder(static_cast<std::uint8_t>(method), 0, archive), nullptr);
            continue;
        }
        try {
            createEntryDecoder(static_cast<std::uint8_t>(method), 0, archive);
            ADD_FAILURE() << "method " << method << " accepted";
        } catch (const brindle5::exception::UnsupportedMethod& e) {
            EXPECT_EQ(e.message(),
                      format::zip::unsupportedMethodText(static_cast<std::uint8_t>(method)) +
                          " in zip reader");
        }
    }
}

TEST(EntryDecoderTest, TheVersionNeededFollowsTheMethod) {
    // Zip64's 4.5 for every method, or the method's own version where that is higher.
    const std::pair<std::uint16_t, unsigned> cases[] = {{0, 45},  {8, 45},  {9, 45},
                                                        {12, 46}, {14, 63}, {11, 45}};
    for (const auto& c : cases) {
        EXPECT_EQ(format::zip::newestVersionNeeded(c.first), c.second) << "method " << c.first;
    }
    const format::zip::ZipMethod* bzip2 = format::zip::findMethod(12);
    ASSERT_NE(bzip2, nullptr);
    EXPECT_STREQ(bzip2->name, "BZip2");
    EXPECT_EQ(format::zip::findMethod(11), nullptr);
}
