#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "algorithm/CRC32.h"
#include "algorithm/zip/TraditionalCipher.h"
#include "base/Exception.h"
#include "algorithm/CipherInput.h"
#include "algorithm/CipherOutput.h"
#include "stream/TestStreams.h"
#include "tests/support/TestSupport.h"

namespace {

using algorithm::zip::TraditionalCipher;
using teststreams::CountingInput;
using teststreams::pattern;
using teststreams::RecordingOutput;

std::vector<std::uint8_t> fromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

struct Keys {
    std::uint32_t k0, k1, k2;
    bool operator==(const Keys& o) const { return k0 == o.k0 && k1 == o.k1 && k2 == o.k2; }
};
Keys keysOf(const TraditionalCipher& c) {
    return {c.key0(), c.key1(), c.key2()};
}

TEST(Cipher, BaseRefusesProcessAndLeavesBuffersAlone) {
    algorithm::Cipher base;
    std::uint8_t bytes[3] = {1, 2, 3};
    try {
        base.process(bytes, 3);
        FAIL() << "no exception";
    } catch (const algorithm::Exception& e) {
        EXPECT_EQ(e.kind(), "algorithm");
        EXPECT_EQ(e.message(),
                  "use encrypt() or decrypt() instead of algorithm::Cipher::process()");
    }
    base.reset();
    base.encrypt(bytes, 3);
    base.decrypt(bytes, 3);
    base.finish();
    EXPECT_EQ(bytes[0] + bytes[1] + bytes[2], 6);
    TraditionalCipher traditional;
    EXPECT_THROW(traditional.process(bytes, 3), algorithm::Exception);
}

TEST(TraditionalCipher, EmptyPasswordLeavesTheStartKeys) {
    TraditionalCipher cipher;
    EXPECT_EQ(keysOf(cipher), (Keys{0x12345678u, 0x23456789u, 0x34567890u}));
    // The first stream byte comes from key2 = 0x34567890: t = 0x7892, (t * (t ^ 1)) >> 8.
    std::uint8_t zero = 0;
    cipher.encrypt(&zero, 1);
    EXPECT_EQ(zero, static_cast<std::uint8_t>((0x7892u * 0x7893u) >> 8));
    cipher.reset();
    EXPECT_EQ(keysOf(cipher), (Keys{0x12345678u, 0x23456789u, 0x34567890u}));
    // Zero-length calls change nothing.
    cipher.encrypt(nullptr, 0);
    cipher.decrypt(nullptr, 0);
    EXPECT_EQ(keysOf(cipher), (Keys{0x12345678u, 0x23456789u, 0x34567890u}));
}

TEST(TraditionalCipher, DecryptsAnEntryWrittenByInfoZip) {
    // "zip -0 -P secret" of a 31-byte text: 12-byte header, then the stored data. The entry has a
    // data descriptor, so the header's last byte checks against the high byte of the DOS time.
    const auto encrypted = fromHex(
        "c94cfe251dedb1911d79d7533356f30824ab7fb3c0b9da341a16f45b14252e6b3e54b2b50246c8ac3bf820");
    TraditionalCipher cipher("secret");
    auto bytes = encrypted;
    cipher.decrypt(bytes.data(), 12);
    EXPECT_EQ(bytes[11], 0x5F);
    cipher.decrypt(bytes.data() + 12, static_cast<std::uint32_t>(bytes.size() - 12));
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.end()), "Hello, traditional Zip cipher!\n");
    // The password counts only at reset().
    cipher.setPassword("");
    EXPECT_EQ(cipher.password(), "");
    cipher.reset();
    bytes = encrypted;
    cipher.decrypt(bytes.data(), 12);
    cipher.decrypt(bytes.data() + 12, static_cast<std::uint32_t>(bytes.size() - 12));
    EXPECT_NE(std::string(bytes.begin() + 12, bytes.end()), "Hello, traditional Zip cipher!\n");
}

TEST(TraditionalCipher, EmptyPasswordHeadersOfAnotherToolCheck) {
    // Every encrypted entry of a fixture made with the empty password: the decrypted header's
    // last byte is the high byte of the entry's CRC (no data descriptors in this archive).
    const std::string dir = testsupport::fixturesDir();
    const std::string path = dir.empty() ? "" : dir + "/encrypted/xf-enc-empty-izip-deflate.zip";
    ZIPSFX_NEED_FIXTURE(!path.empty() && testsupport::fileExists(path),
                        "shared fixture encrypted/xf-enc-empty-izip-deflate.zip not found");
    const auto zip = testsupport::readFile(path);
    auto u16 = [&](std::size_t at) { return zip[at] | zip[at + 1] << 8; };
    auto u32 = [&](std::size_t at) {
        return std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16;
    };
    int checked = 0;
    for (std::size_t at = 0; at + 30 <= zip.size() && u32(at) == 0x04034B50u;) {
        std::uint32_t compressed = u32(at + 18);
        std::size_t data = at + 30 + u16(at + 26) + u16(at + 28);
        if ((u16(at + 6) & 1) != 0 && compressed >= 12) {
            std::uint8_t header[12];
            std::memcpy(header, &zip[data], 12);
            TraditionalCipher cipher;
            cipher.decrypt(header, 12);
            EXPECT_EQ(header[11], u32(at + 14) >> 24) << "entry at " << at;
            ++checked;
        }
        at = data + compressed;
    }
    EXPECT_GE(checked, 3);
}

TEST(TraditionalCipher, EncryptThenDecryptGivesThePlainBytes) {
    const auto plain = pattern(1000);
    for (const std::string& password :
         {std::string(), std::string("secret"), std::string("\xFF\x00\x80", 3)}) {
        TraditionalCipher cipher(password);
        auto bytes = plain;
        cipher.encrypt(bytes.data(), 500);
        cipher.encrypt(bytes.data() + 500, 500);
        EXPECT_NE(bytes, plain);
        Keys afterEncrypt = keysOf(cipher);
        cipher.reset();
        cipher.decrypt(bytes.data(), 1000);
        EXPECT_EQ(bytes, plain);
        // Both directions update the keys with the plain bytes, so they end alike.
        EXPECT_EQ(keysOf(cipher), afterEncrypt);
    }
}

TEST(TraditionalCipher, OnlyTheLowByteOfAPasswordCharacterCounts) {
    // std::string holds bytes; a char with the top bit set must not sign-extend into the keys.
    TraditionalCipher high(std::string(1, '\xE9'));
    algorithm::CRC32 crc(0x12345678u);
    crc.update(std::uint8_t(0xE9));
    EXPECT_EQ(high.key0(), crc.value());
}

TEST(CipherInput, BlockBytewiseAndSkipAdvanceTheKeysAlike) {
    const auto plain = pattern(300);
    TraditionalCipher writer("pw");
    auto encrypted = plain;
    writer.encrypt(encrypted.data(), 300);

    // Block read.
    TraditionalCipher blockCipher("pw");
    CountingInput blockSource(encrypted);
    stream::CipherInput blockInput(blockSource, blockCipher);
    std::vector<std::uint8_t> block(200);
    ASSERT_EQ(blockInput.read(block.data(), 200), 200u);
    EXPECT_EQ(block, std::vector<std::uint8_t>(plain.begin(), plain.begin() + 200));

    // Byte by byte.
    TraditionalCipher byteCipher("pw");
    CountingInput byteSource(encrypted);
    stream::CipherInput byteInput(byteSource, byteCipher);
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(byteInput.get(), plain[i]);
    }

    // Skipped.
    TraditionalCipher skipCipher("pw");
    CountingInput skipSource(encrypted);
    stream::CipherInput skipInput(skipSource, skipCipher);
    EXPECT_EQ(skipInput.skip(200), 200u);

    EXPECT_EQ(keysOf(byteCipher), keysOf(blockCipher));
    EXPECT_EQ(keysOf(skipCipher), keysOf(blockCipher));
    // And each continues with the right plain bytes.
    EXPECT_EQ(blockInput.get(), plain[200]);
    EXPECT_EQ(byteInput.get(), plain[200]);
    EXPECT_EQ(skipInput.get(), plain[200]);
    RecordingOutput out;
    EXPECT_EQ(skipInput.copy(out, stream::ALL), 99u);
    EXPECT_EQ(out.data, std::vector<std::uint8_t>(plain.begin() + 201, plain.end()));
    // The end passes through as -1 and a short count, without touching the keys.
    Keys atEnd = keysOf(skipCipher);
    EXPECT_EQ(skipInput.get(), -1);
    EXPECT_EQ(skipInput.read(block.data(), 10), 0u);
    EXPECT_EQ(skipInput.skip(10), 0u);
    EXPECT_EQ(keysOf(skipCipher), atEnd);
    EXPECT_EQ(skipInput.tell(), 300u);
}

TEST(CipherOutput, EncryptsEveryWayOfWritingAndLeavesTheCallerPlain) {
    const auto plain = pattern(600);
    TraditionalCipher cipher("pw");
    RecordingOutput out;
    stream::CipherOutput output(out, cipher);
    const auto copyOfPlain = plain;
    output.put(plain[0]);
    output.write(plain.data() + 1, 299);
    EXPECT_EQ(plain, copyOfPlain);
    CountingInput in(std::vector<std::uint8_t>(plain.begin() + 300, plain.end()));
    EXPECT_EQ(output.copyFrom(in, stream::ALL), 300u);
    output.fill(5000, 0);
    output.flush();
    EXPECT_EQ(output.tell(), 5600u);

    std::vector<std::uint8_t> expected = plain;
    expected.insert(expected.end(), 5000, 0);
    TraditionalCipher reader("pw");
    auto bytes = out.data;
    reader.decrypt(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    EXPECT_EQ(bytes, expected);
}

}  // namespace
