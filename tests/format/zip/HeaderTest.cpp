// The Zip records: signature checks, field layout, lengths, writers' limits and round trips.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "base/Exception.h"
#include "format/zip/CentralHeader.h"
#include "format/zip/EndHeader.h"
#include "format/zip/LocalHeader.h"
#include "stream/MemoryStream.h"

using format::zip::CentralHeader;
using format::zip::EndHeader;
using format::zip::Header;
using format::zip::LocalHeader;

namespace {

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const format::Exception& e) {
        return e.message();
    }
    return "(no exception)";
}

CentralHeader sampleCentral() {
    CentralHeader h;
    h.versionMadeBy = 0x031E;
    h.versionNeeded = 20;
    h.flags = 0x0009;
    h.method = 8;
    h.time = 0x6C2B;
    h.date = 0x5A8A;
    h.crc = 0xCBF43926;
    h.compressedSize = 0x01020304;
    h.uncompressedSize = 0xA0B0C0D0;
    h.diskNumberStart = 0;
    h.internalAttributes = 1;
    h.externalAttributes = 0x81A40000;
    h.localHeaderOffset = 0x12345678;
    h.name = "docs/a.txt";
    h.extra = std::string("UT\x05\x00\x01\x02\x03\x04\x05", 9);
    h.comment = "note";
    return h;
}

// write is each record's own, not part of Header.
template <typename Record>
std::vector<std::uint8_t> written(Record& header) {
    stream::MemoryOutput out;
    header.write(out);
    return out.data();
}

}  // namespace

TEST(HeaderTest, EverySignatureByteIsCheckedAndIsValidTellsWithoutTheCheck) {
    struct Case {
        std::function<std::unique_ptr<Header>()> make;
        std::string valid;
        std::string message;
    };
    const Case cases[] = {
        {[] { return std::make_unique<EndHeader>(); }, std::string("PK\5\6", 4),
         "bad header artfact in format::zip::EndHeader::read()"},
        {[] { return std::make_unique<CentralHeader>(); }, std::string("PK\1\2", 4),
         "bad header artfact in format::zip::CentralHeader::read()"},
        {[] { return std::make_unique<LocalHeader>(); }, std::string("PK\3\4", 4),
         "bad header artfact in format::zip::LocalHeader::read()"},
    };
    for (const auto& c : cases) {
        const std::string body(60, '\0');
        auto good = c.make();
        stream::MemoryInput in(c.valid + body);
        good->read(in, true);
        EXPECT_TRUE(good->isValid()) << c.message;

        auto wrongFirst = c.make();
        stream::MemoryInput q("Q" + c.valid.substr(1) + body);
        EXPECT_EQ(messageOf([&] { wrongFirst->read(q, true); }), c.message);

        auto unchecked = c.make();
        stream::MemoryInput q2("Q" + c.valid.substr(1) + body);
        unchecked->read(q2, false);
        EXPECT_FALSE(unchecked->isValid());

        for (std::size_t i = 1; i < 4; ++i) {
            std::string bad = c.valid;
            bad[i] = 'X';
            auto later = c.make();
            stream::MemoryInput x(bad + body);
            EXPECT_EQ(messageOf([&] { later->read(x, true); }), c.message) << " byte " << i;
            auto uncheckedLater = c.make();
            stream::MemoryInput x2(bad + body);
            uncheckedLater->read(x2, false);
            EXPECT_FALSE(uncheckedLater->isValid()) << c.message << " byte " << i;
        }
    }
}

TEST(HeaderTest, CentralFieldsAreReadAtTheirOffsetsAndTheInputLeftAfterTheRecord) {
    // A hand-laid record, independent of the writer.
    std::string raw("PK\1\2", 4);
    raw += std::string("\x1e\x03\x14\x00\x09\x00\x08\x01",
                       8);                      // made by, needed, flags, method 0x0108
    raw += std::string("\x2b\x6c\x8a\x5a", 4);  // time, date
    raw += std::string("\x26\x39\xf4\xcb\x04\x03\x02\x01\xd0\xc0\xb0\xa0", 12);
    raw += std::string("\x03\x00\x02\x00\x01\x00", 6);  // lengths 3, 2, 1
    raw += std::string("\x07\x00\x01\x00\x00\x00\xa4\x81\x78\x56\x34\x12", 12);
    raw += "abcXYz";
    raw += "after";
    stream::MemoryInput in(raw);
    CentralHeader h;
    h.read(in, true);
    EXPECT_TRUE(h.isValid());
    EXPECT_EQ(h.versionMadeBy, 0x031E);
    EXPECT_EQ(h.versionNeeded, 20);
    EXPECT_EQ(h.flags, 9);
    EXPECT_EQ(h.method, 8);  // only the low byte of 0x0108
    EXPECT_EQ(h.time, 0x6C2B);
    EXPECT_EQ(h.date, 0x5A8A);
    EXPECT_EQ(h.crc, 0xCBF43926u);
    EXPECT_EQ(h.compressedSize, 0x01020304u);
    EXPECT_EQ(h.uncompressedSize, 0xA0B0C0D0u);
    EXPECT_EQ(h.diskNumberStart, 7);
    EXPECT_EQ(h.internalAttributes, 1);
    EXPECT_EQ(h.externalAttributes, 0x81A40000u);
    EXPECT_EQ(h.localHeaderOffset, 0x12345678u);
    EXPECT_EQ(h.name, "abc");
    EXPECT_EQ(h.extra, "XY");
    EXPECT_EQ(h.comment, "z");
    EXPECT_EQ(h.size(), 52u);
    EXPECT_EQ(in.tell(), raw.size() - 5);
}

TEST(HeaderTest, SizesFollowTheVariableParts) {
    EndHeader end;
    EXPECT_EQ(end.size(), 22u);
    end.comment = "hello";
    EXPECT_EQ(end.size(), 27u);
    CentralHeader central;
    central.name = "abc";
    EXPECT_EQ(central.size(), 49u);
    central.extra = "12";
    central.comment = "1";
    EXPECT_EQ(central.size(), 52u);
    LocalHeader local;
    local.name = "abc";
    EXPECT_EQ(local.size(), 33u);
    EXPECT_EQ(written(end).size(), end.size());
    EXPECT_EQ(written(central).size(), central.size());
    EXPECT_EQ(written(local).size(), local.size());
}

TEST(HeaderTest, RecordsRoundTripThroughWriteAndRead) {
    CentralHeader central = sampleCentral();
    central.signature = {1, 2, 3, 4};  // never written: the writer uses the constant
    stream::MemoryInput in(written(central));
    CentralHeader back;
    back.read(in, true);
    EXPECT_TRUE(back.isValid());
    central.signature = CentralHeader::kSignature;
    EXPECT_EQ(written(back), written(central));
    EXPECT_EQ(back.name, central.name);
    EXPECT_EQ(back.extra, central.extra);
    EXPECT_EQ(back.localHeaderOffset, central.localHeaderOffset);

    EndHeader end;
    end.diskNumber = 1;
    end.centralDisk = 2;
    end.diskEntries = 3;
    end.totalEntries = 4;
    end.centralSize = 0x11223344;
    end.centralOffset = 0x55667788;
    end.comment = std::string("PK\5\6 in a comment", 17);
    stream::MemoryInput endIn(written(end));
    EndHeader endBack;
    endBack.read(endIn, true);
    EXPECT_TRUE(endBack.isValid());
    EXPECT_EQ(endBack.totalEntries, 4);
    EXPECT_EQ(endBack.centralSize, 0x11223344u);
    EXPECT_EQ(endBack.centralOffset, 0x55667788u);
    EXPECT_EQ(endBack.comment, end.comment);
    EXPECT_EQ(written(endBack), written(end));

    LocalHeader local;
    local.versionNeeded = 10;
    local.flags = 8;
    local.method = 6;
    local.crc = 7;
    local.name = "x";
    local.extra = "e";
    stream::MemoryInput localIn(written(local));
    LocalHeader localBack;
    localBack.read(localIn, true);
    EXPECT_EQ(written(localBack), written(local));
}

TEST(HeaderTest, WriteLocalGivesTheLocalHeaderOfTheCentralRecord) {
    CentralHeader central = sampleCentral();
    stream::MemoryOutput out;
    central.writeLocal(out);
    EXPECT_EQ(out.data().size(), 30 + central.name.size() + central.extra.size());
    stream::MemoryInput in(out.data());
    LocalHeader local;
    local.read(in, true);
    EXPECT_TRUE(local.isValid());
    EXPECT_EQ(local.versionNeeded, central.versionNeeded);
    EXPECT_EQ(local.flags, central.flags);
    EXPECT_EQ(local.method, central.method);
    EXPECT_EQ(local.time, central.time);
    EXPECT_EQ(local.date, central.date);
    EXPECT_EQ(local.crc, central.crc);
    EXPECT_EQ(local.compressedSize, central.compressedSize);
    EXPECT_EQ(local.uncompressedSize, central.uncompressedSize);
    EXPECT_EQ(local.name, central.name);
    EXPECT_EQ(local.extra, central.extra);
}

TEST(HeaderTest, WritersRefuseFieldsLongerThanTheirLengthField) {
    const std::string longest(65535, 'a');
    const std::string tooLong(65536, 'a');
    struct Case {
        std::function<void(const std::string&)> write;
        std::string message;
    };
    const Case cases[] = {
        {[](const std::string& s) {
             EndHeader h;
             h.comment = s;
             written(h);
         },
         "file comment is too long in format::zip::CentralHeader::write()"},
        {[](const std::string& s) {
             CentralHeader h;
             h.comment = s;
             written(h);
         },
         "file comment is too long in format::zip::CentralHeader::write()"},
        {[](const std::string& s) {
             CentralHeader h;
             h.name = s;
             written(h);
         },
         "file name is too long in format::zip::CentralHeader::writeCommon()"},
        {[](const std::string& s) {
             CentralHeader h;
             h.extra = s;
             stream::MemoryOutput out;
             h.writeLocal(out);
         },
         "extra field is too long in format::zip::CentralHeader::writeCommon()"},
        {[](const std::string& s) {
             LocalHeader h;
             h.name = s;
             written(h);
         },
         "file name is too long in format::zip::LocalHeader::write()"},
        {[](const std::string& s) {
             LocalHeader h;
             h.extra = s;
             written(h);
         },
         "extra data is too long in format::zip::LocalHeader::write()"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(messageOf([&] { c.write(longest); }), "(no exception)") << c.message;
        EXPECT_EQ(messageOf([&] { c.write(tooLong); }), c.message);
    }
}

TEST(HeaderTest, ALengthCheckComesAfterTheFieldsBeforeIt) {
    LocalHeader h;
    h.extra = std::string(65536, 'e');
    stream::MemoryOutput out;
    EXPECT_THROW(h.write(out), format::Exception);
    EXPECT_EQ(out.data().size(), 28u);  // signature and fields up to the name length
}

TEST(HeaderTest, ARecordCutShortReadsWithoutFailingByItself) {
    // The record only reads what the stream gives; the wrapped stream decides about the end.
    std::vector<std::uint8_t> full;
    {
        CentralHeader central = sampleCentral();
        full = written(central);
    }
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        stream::MemoryInput in(std::vector<std::uint8_t>(full.begin(), full.begin() + cut));
        CentralHeader h;
        if (cut < 4) {
            // The signature itself is cut: it cannot match.
            EXPECT_THROW(h.read(in, true), format::Exception);
        } else {
            EXPECT_NO_THROW(h.read(in, true)) << cut;
        }
    }
}
