// Known answers of the cryptography backend (libtomcrypt natively, CNG under Wine): the AES
// vectors of FIPS-197, HMAC-SHA1 of RFC 2202 and PBKDF2-HMAC-SHA1 of RFC 6070.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Crypto.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace platform::crypto;

Bytes fromHex(const std::string& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::string toHex(const std::uint8_t* bytes, std::size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < length; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

Bytes counting(std::size_t length) {
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i);
    }
    return bytes;
}

Bytes textBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(CryptoTest, AesBlocksMatchFips197) {
    struct Case {
        std::size_t keyLength;
        const char* cipherText;
    };
    const Case cases[] = {{16, "69c4e0d86a7b0430d8cdb78070b4c55a"},
                          {24, "dda97ca4864cdfe06eaf70a0ec0d7191"},
                          {32, "8ea2b7ca516745bfeafc49904b496089"}};
    const Bytes plain = fromHex("00112233445566778899aabbccddeeff");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyLength);
        Aes aes;
        const Bytes key = counting(c.keyLength);
        ASSERT_TRUE(aes.setKey(key.data(), key.size()));
        // Three blocks at once, the same plain block each time: each comes out alike (ECB).
        Bytes blocks;
        for (int i = 0; i < 3; ++i) {
            blocks.insert(blocks.end(), plain.begin(), plain.end());
        }
        Bytes out(blocks.size());
        ASSERT_TRUE(aes.encryptBlocks(blocks.data(), out.data(), 3));
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(toHex(out.data() + 16 * i, 16), c.cipherText);
        }
        // In place.
        ASSERT_TRUE(aes.encryptBlocks(blocks.data(), blocks.data(), 3));
        EXPECT_EQ(blocks, out);
    }
}

TEST(CryptoTest, AesRefusesOtherKeyLengthsAndUseWithoutKey) {
    Aes aes;
    Bytes block(16);
    EXPECT_FALSE(aes.encryptBlocks(block.data(), block.data(), 1));
    const Bytes key = counting(20);
    EXPECT_FALSE(aes.setKey(key.data(), key.size()));
    EXPECT_FALSE(aes.encryptBlocks(block.data(), block.data(), 1));
}

TEST(CryptoTest, HmacSha1MatchesRfc2202) {
    struct Case {
        Bytes key;
        Bytes data;
        const char* code;
    };
    const Case cases[] = {
        {Bytes(20, 0x0b), textBytes("Hi There"), "b617318655057264e28bc0b6fb378c8ef146be00"},
        {textBytes("Jefe"), textBytes("what do ya want for nothing?"),
         "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {Bytes(20, 0xaa), Bytes(50, 0xdd), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {Bytes(80, 0xaa), textBytes("Test Using Larger Than Block-Size Key - Hash Key First"),
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        // In one piece, and byte by byte: the code is the same.
        HmacSha1 whole;
        std::uint8_t code[kSha1Size];
        ASSERT_TRUE(whole.start(c.key.data(), c.key.size()));
        ASSERT_TRUE(whole.update(c.data.data(), c.data.size()));
        ASSERT_TRUE(whole.finish(code));
        EXPECT_EQ(toHex(code, sizeof code), c.code);

        HmacSha1 pieces;
        ASSERT_TRUE(pieces.start(c.key.data(), c.key.size()));
        for (std::uint8_t byte : c.data) {
            ASSERT_TRUE(pieces.update(&byte, 1));
        }
        ASSERT_TRUE(pieces.update(nullptr, 0));
        ASSERT_TRUE(pieces.finish(code));
        EXPECT_EQ(toHex(code, sizeof code), c.code);
    }
}

TEST(CryptoTest, HmacSha1TakesAnEmptyKeyAndStartsAfresh) {
    // HMAC-SHA1 with an empty key over an empty message (as Python's hmac computes it).
    HmacSha1 hmac;
    std::uint8_t code[kSha1Size];
    ASSERT_TRUE(hmac.start(nullptr, 0));
    ASSERT_TRUE(hmac.finish(code));
    EXPECT_EQ(toHex(code, sizeof code), "fbdb1d1b18aa6c08324b7d64b71fb76370690e1d");
    // finish() ends the code: more data needs a new start.
    EXPECT_FALSE(hmac.update(code, 1));
    const Bytes key = textBytes("Jefe");
    const Bytes data = textBytes("what do ya want for nothing?");
    ASSERT_TRUE(hmac.start(key.data(), key.size()));
    ASSERT_TRUE(hmac.update(data.data(), data.size()));
    ASSERT_TRUE(hmac.finish(code));
    EXPECT_EQ(toHex(code, sizeof code), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
}

TEST(CryptoTest, Pbkdf2HmacSha1MatchesRfc6070) {
    struct Case {
        std::string password;
        std::string salt;
        unsigned iterations;
        const char* key;
    };
    const Case cases[] = {
        {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096,
         "56fa6aa75548099dcc37d7f03425e0c3"},
        // The empty password (a Zip entry is tried with it first), as Python's hashlib derives
        // it.
        {"", "salt", 1000, "ea0add357d61a71039c093d7841509873e2a5285"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const std::size_t length = std::string(c.key).size() / 2;
        Bytes key(length);
        const Bytes salt = textBytes(c.salt);
        ASSERT_TRUE(
            pbkdf2HmacSha1(c.password, salt.data(), salt.size(), c.iterations, key.data(), length));
        EXPECT_EQ(toHex(key.data(), key.size()), c.key);
    }
}

TEST(CryptoTest, RandomBytesDifferFromCallToCall) {
    Bytes first(32);
    Bytes second(32);
    ASSERT_TRUE(randomBytes(first.data(), first.size()));
    ASSERT_TRUE(randomBytes(second.data(), second.size()));
    // 256 random bits twice alike, or all zeros, would mean no random source at all.
    EXPECT_NE(first, second);
    EXPECT_NE(first, Bytes(32));
}

}  // namespace
