// The 12-byte encryption header: check byte, both directions and the key state it leaves.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "algorithm/zip/TraditionalCipher.h"
#include "base/Exception.h"
#include "format/zip/EncryptionHeader.h"
#include "stream/MemoryStream.h"

using format::zip::EncryptionHeader;

namespace {

std::string writeHeader(const std::string& password, std::uint8_t expect,
                        std::array<std::uint8_t, 12>* plain = nullptr) {
    algorithm::zip::TraditionalCipher cipher(password);
    EncryptionHeader header(cipher);
    header.setExpect(expect);
    stream::MemoryOutput out;
    header.write(out);
    if (plain != nullptr) {
        *plain = header.bytes();
    }
    return out.text();
}

}  // namespace

TEST(EncryptionHeaderTest, ReadsBackWhatWasWrittenUnderTheSamePassword) {
    std::array<std::uint8_t, 12> plain{};
    const std::string disk = writeHeader("", 0xC3, &plain);
    ASSERT_EQ(disk.size(), 12u);
    EXPECT_NE(std::string(plain.begin(), plain.end()), disk);  // encrypted on disk
    EXPECT_EQ(plain[11], 0xC3);

    algorithm::zip::TraditionalCipher cipher("");
    EncryptionHeader header(cipher);
    EXPECT_EQ(header.size(), 12u);
    header.setExpect(0xC3);
    stream::MemoryInput in(disk);
    header.read(in, true);
    EXPECT_TRUE(header.isValid());
    EXPECT_EQ(header.bytes(), plain);
    EXPECT_EQ(header.size(), 12u);
}

TEST(EncryptionHeaderTest, TheKeyStateCarriesOnIntoTheData) {
    // Written: header then data through one cipher; read the same way.
    algorithm::zip::TraditionalCipher writer("pw");
    EncryptionHeader out(writer);
    out.setExpect(1);
    stream::MemoryOutput disk;
    out.write(disk);
    std::string data = "data after the header";
    writer.encrypt(reinterpret_cast<std::uint8_t*>(&data[0]),
                   static_cast<std::uint32_t>(data.size()));
    disk.write(data.data(), static_cast<std::uint32_t>(data.size()));

    algorithm::zip::TraditionalCipher reader("pw");
    EncryptionHeader in(reader);
    in.setExpect(1);
    stream::MemoryInput input(disk.data());
    in.read(input, true);
    std::string back(data.size(), '\0');
    input.read(&back[0], static_cast<std::uint32_t>(back.size()));
    reader.decrypt(reinterpret_cast<std::uint8_t*>(&back[0]),
                   static_cast<std::uint32_t>(back.size()));
    EXPECT_EQ(back, "data after the header");
}

TEST(EncryptionHeaderTest, TheCheckByteDecidesWhenCheckIsOn) {
    const std::string disk = writeHeader("secret", 0x5A);
    // The right password passes, with an expect value and without one.
    for (bool hasExpect : {true, false}) {
        algorithm::zip::TraditionalCipher cipher("secret");
        EncryptionHeader header(cipher);
        if (hasExpect) {
            header.setExpect(0x5A);
        }
        stream::MemoryInput in(disk);
        EXPECT_NO_THROW(header.read(in, true));
        EXPECT_TRUE(header.isValid());
    }

    // Decrypted with the empty password: find out what the check byte became, then ask for a
    // different one.
    algorithm::zip::TraditionalCipher probeCipher("");
    EncryptionHeader probe(probeCipher);
    stream::MemoryInput probeIn(disk);
    probe.read(probeIn, true);  // no expect value: anything is accepted
    EXPECT_TRUE(probe.isValid());
    const std::uint8_t wrong = static_cast<std::uint8_t>(probe.bytes()[11] + 1);

    algorithm::zip::TraditionalCipher quietCipher("");
    EncryptionHeader quiet(quietCipher);
    quiet.setExpect(wrong);
    stream::MemoryInput quietIn(disk);
    EXPECT_NO_THROW(quiet.read(quietIn, false));
    EXPECT_FALSE(quiet.isValid());

    algorithm::zip::TraditionalCipher loudCipher("");
    EncryptionHeader loud(loudCipher);
    loud.setExpect(wrong);
    stream::MemoryInput loudIn(disk);
    try {
        loud.read(loudIn, true);
        ADD_FAILURE() << "no exception";
    } catch (const format::Exception& e) {
        EXPECT_EQ(e.message(), "bad password in format::zip::EncryptionHeader::read()");
    }
}

TEST(EncryptionHeaderTest, WritingNeedsAnExpectValueAndWritesNothingWithout) {
    algorithm::zip::TraditionalCipher cipher("");
    EncryptionHeader header(cipher);
    stream::MemoryOutput out;
    try {
        header.write(out);
        ADD_FAILURE() << "no exception";
    } catch (const format::Exception& e) {
        EXPECT_EQ(e.message(),
                  "must have an expect value in format::zip::EncryptionHeader::write()");
    }
    EXPECT_TRUE(out.data().empty());
}

TEST(EncryptionHeaderTest, HeadersWrittenAtDifferentTicksDiffer) {
    std::array<std::uint8_t, 12> first{};
    std::array<std::uint8_t, 12> second{};
    writeHeader("", 7, &first);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    writeHeader("", 7, &second);
    EXPECT_NE(std::vector<std::uint8_t>(first.begin(), first.begin() + 11),
              std::vector<std::uint8_t>(second.begin(), second.begin() + 11));
}
