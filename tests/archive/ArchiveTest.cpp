// The archive object's job cycle, driven through a fake reader: open, implicit identify and scan,
// decode, moving on after success and after failure, close.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "base/Exception.h"
#include "archive/FormatReader.h"
#include "platform/Platform.h"
#include "stream/MemoryStream.h"
#include "tests/support/TestSupport.h"

namespace {

using testsupport::TempDir;

// What the fake reader saw, kept outside the reader because the archive destroys it.
struct Journal {
    std::vector<std::uint32_t> createdAt;  // start offset of every reader made
    int scans = 0;
    int decodes = 0;
    std::string firstBytes;         // two bytes read at the start offset during decode
    std::uint32_t endPosition = 0;  // what a successful decode reports
    bool failDecode = false;
    bool makeReader = true;
};

class FakeReader : public vessel5::FormatReader {
  public:
    FakeReader(std::uint32_t start, vessel5::Archive& archive, Journal& journal)
        : FormatReader(start, archive), journal_(journal) {
        journal_.createdAt.push_back(start);
    }
    void scan(stream::RandomInput& input) override {
        ++journal_.scans;
        EXPECT_EQ(input.size(), 16u);
    }
    void decodeFile(stream::RandomInput& input) override {
        ++journal_.decodes;
        input.seek(startOffset());
        char bytes[2] = {};
        input.read(bytes, 2);
        journal_.firstBytes.assign(bytes, 2);
        if (journal_.failDecode) {
            throw brindle5::exception::BadData("damaged on purpose");
        }
        archive().setEndPosition(journal_.endPosition);
    }

  private:
    Journal& journal_;
};

class FakeArchive : public vessel5::Archive {
  public:
    Journal journal;

  protected:
    std::unique_ptr<vessel5::FormatReader> createReader(std::int32_t format) override {
        EXPECT_EQ(format, vessel5::kZipFormat);
        if (!journal.makeReader) {
            return nullptr;
        }
        return std::make_unique<FakeReader>(settings().startOffset, *this, journal);
    }
};

class ArchiveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir / "two.bin";
        testsupport::writeFile(path, std::string("AAAAAAAABBBBBBBB"));
    }
    TempDir dir;
    std::string path;
};

TEST_F(ArchiveTest, DecodeRightAfterOpenIdentifiesScansAndDecodes) {
    FakeArchive archive;
    archive.open(path);
    EXPECT_TRUE(archive.isOpen());
    EXPECT_FALSE(archive.isIdentified());
    archive.journal.endPosition = 8;

    archive.decode();

    EXPECT_TRUE(archive.isIdentified());
    EXPECT_EQ(archive.settings().format, vessel5::kZipFormat);
    EXPECT_EQ(archive.journal.createdAt, std::vector<std::uint32_t>{0});
    EXPECT_EQ(archive.journal.scans, 1);
    EXPECT_EQ(archive.journal.decodes, 1);
    EXPECT_EQ(archive.journal.firstBytes, "AA");
    // The next archive starts where the reader said this one ended.
    EXPECT_EQ(archive.settings().startOffset, 8u);
    EXPECT_EQ(archive.endPosition(), 8u);
    EXPECT_FALSE(archive.isScanned());
    EXPECT_EQ(archive.reader(), nullptr);
    // Without a chosen destination, the archive's own folder is used.
    EXPECT_EQ(archive.destinationFolder(), dir.path() + platform::kSeparator);

    archive.journal.endPosition = 16;
    archive.decode();
    EXPECT_EQ(archive.journal.createdAt, (std::vector<std::uint32_t>{0, 8}));
    EXPECT_EQ(archive.journal.firstBytes, "BB");
    EXPECT_EQ(archive.settings().startOffset, 16u);
}

TEST_F(ArchiveTest, FailedDecodeMovesOnByOneByteAndTheNextDecodeScansAgain) {
    FakeArchive archive;
    archive.open(path);
    archive.settings().startOffset = 6;
    archive.journal.failDecode = true;

    try {
        archive.decode();
        FAIL() << "decode succeeded";
    } catch (const brindle5::exception::BadData& e) {
        EXPECT_EQ(e.message(), "damaged on purpose");  // passed on unchanged
    }
    EXPECT_EQ(archive.settings().startOffset, 7u);
    EXPECT_FALSE(archive.isScanned());
    EXPECT_EQ(archive.reader(), nullptr);

    archive.journal.failDecode = false;
    archive.journal.endPosition = 16;
    archive.decode();
    EXPECT_EQ(archive.journal.createdAt, (std::vector<std::uint32_t>{6, 7}));
    EXPECT_EQ(archive.journal.scans, 2);
    EXPECT_EQ(archive.journal.firstBytes, "AB");
}

TEST_F(ArchiveTest, ReaderStartsAtTheStartOffsetAndEndsOneByteLaterUntilItKnowsBetter) {
    vessel5::Archive archive;
    vessel5::FormatReader reader(512, archive);
    EXPECT_EQ(reader.startOffset(), 512u);
    EXPECT_EQ(archive.settings().startOffset, 512u);
    EXPECT_EQ(archive.endPosition(), 513u);
    EXPECT_EQ(reader.produced(), 0u);
    EXPECT_EQ(&reader.archive(), &archive);
}

TEST_F(ArchiveTest, OpenResetsTheJobButKeepsDestinationAndHandlers) {
    FakeArchive archive;
    archive.setDestinationFolder("chosen");
    archive.onEnded([](void*) { return true; }, nullptr);
    archive.open(path);
    archive.settings().startOffset = 3;
    archive.scan();
    EXPECT_TRUE(archive.isScanned());

    archive.close();
    EXPECT_FALSE(archive.isOpen());
    archive.open(path);
    EXPECT_EQ(archive.settings().path, path);
    EXPECT_EQ(archive.settings().startOffset, 0u);
    EXPECT_EQ(archive.settings().format, 0);
    EXPECT_FALSE(archive.isIdentified());
    EXPECT_FALSE(archive.isScanned());
    EXPECT_EQ(archive.destinationFolder(), "chosen");
    EXPECT_EQ(archive.handlers().size(vessel5::kEnded), 1u);
}

template <typename Exception>
void expectFailure(const std::function<void()>& action, const std::string& message) {
    try {
        action();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), message);
    }
}

TEST_F(ArchiveTest, FailuresCarryTheirMessages) {
    FakeArchive archive;
    expectFailure<brindle5::exception::BadArgument>(
        [&] { archive.scan(); }, "call to scan an archive without an open archive");
    expectFailure<brindle5::exception::BadArgument>(
        [&] { archive.decode(); }, "call to scan an archive without an open archive");

    // A scanned archive that was closed touches no input.
    archive.open(path);
    archive.scan();
    archive.close();
    expectFailure<brindle5::exception::BadArgument>(
        [&] { archive.decode(); }, "call to decode an archive without an open archive");
    EXPECT_EQ(archive.journal.decodes, 0);

    archive.journal.makeReader = false;
    archive.open(path);
    expectFailure<brindle5::exception::UnsupportedFormat>([&] { archive.decode(); },
                                                          "format is not supported");
}

TEST_F(ArchiveTest, OpenFailureIsAnInputExceptionWithTheFileLayersMessage) {
    vessel5::Archive archive;
    const std::string missing = dir / "missing.zip";
    try {
        archive.open(missing);
        FAIL() << "opened a missing file";
    } catch (const brindle5::exception::Input& e) {
        EXPECT_EQ(e.kind(), "Input");
        EXPECT_NE(e.message().find(missing), std::string::npos) << e.message();
    }
    EXPECT_FALSE(archive.isOpen());

    // Nor does the archive opened before stay open under the new name.
    archive.open(path);
    EXPECT_THROW(archive.open(missing), brindle5::exception::Input);
    EXPECT_FALSE(archive.isOpen());
    EXPECT_THROW(archive.scan(), brindle5::exception::BadArgument);
}

TEST(FormatReaderBase, OperationsAReaderDoesNotOfferSayWhichWasCalled) {
    vessel5::Archive archive;
    vessel5::FormatReader reader(0, archive);
    stream::MemoryInput input;
    using Call = void (vessel5::FormatReader::*)(stream::RandomInput&);
    const std::vector<std::pair<Call, std::string>> calls = {
        {&vessel5::FormatReader::scan, "scan"},
        {&vessel5::FormatReader::decode, "decode"},
        {&vessel5::FormatReader::decodeStream, "decodeStream"},
        {&vessel5::FormatReader::decodeFile, "decodeFile"},
    };
    for (const auto& call : calls) {
        expectFailure<brindle5::exception::UnsupportedFormat>(
            [&] { (reader.*call.first)(input); },
            "attempt to call generic vessel5::FormatReader::" + call.second + "()");
    }
}

TEST(FormatTables, KnownAndDecodableIdentifiers) {
    vessel5::Archive archive;
    const std::vector<int> decodable = {3,  5,  6,  7,  8,  11, 12, 17, 18,
                                        19, 20, 22, 26, 27, 28, 29, 30};
    for (int format = -2; format <= 33; ++format) {
        bool known = (format >= 3 && format <= 22) || (format >= 26 && format <= 30);
        bool canDecode = std::find(decodable.begin(), decodable.end(), format) != decodable.end();
        EXPECT_EQ(archive.isKnownFormat(format), known) << format;
        EXPECT_EQ(archive.isDecodableFormat(format), canDecode) << format;
    }
}

struct Erasure {
    const char* buffer = nullptr;
    std::string seen;
    bool called = false;
};

void recordErasure(const std::string& erased, void* user) {
    auto* erasure = static_cast<Erasure*>(user);
    erasure->called = true;
    erasure->buffer = erased.data();
    erasure->seen = erased;
}

TEST(Password, DestructorOverwritesTheBufferBeforeReleasingIt) {
    const std::string secret = "a rather long password that lives on the heap";
    Erasure erasure;
    const char* buffer = nullptr;
    {
        vessel5::Archive archive;
        EXPECT_EQ(archive.password(), "");
        archive.setPassword(secret);
        EXPECT_EQ(archive.password(), secret);
        buffer = archive.password().data();
        archive.observePasswordErasure(recordErasure, &erasure);
    }
    ASSERT_TRUE(erasure.called);
    EXPECT_EQ(erasure.buffer, buffer);  // the same memory, overwritten in place
    EXPECT_GE(erasure.seen.size(), secret.size());
    EXPECT_EQ(erasure.seen, std::string(erasure.seen.size(), '\0'));
}

}  // namespace
