#include "format/zip/EntryDecryption.h"

#include <vector>

#include "algorithm/zip/TraditionalCipher.h"
#include "algorithm/zip/WinZipAes.h"
#include "base/Exception.h"
#include "format/zip/EncryptionHeader.h"
#include "format/zip/LocalHeader.h"
#include "stream/SafeInput.h"

namespace format {
namespace zip {

namespace {

class TraditionalDecryption : public EntryDecryption {
  public:
    explicit TraditionalDecryption(const std::string& password) : cipher_(password) {}

    // The check byte: the high byte of the DOS time with a data descriptor, else of the CRC-32.
    bool readHeader(stream::InputStream& input, const EntryValues& values) {
        EncryptionHeader header(cipher_);
        const bool descriptor = (values.flags & kFlagDataDescriptor) != 0;
        header.setExpect(
            static_cast<std::uint8_t>(descriptor ? values.time >> 8 : values.crc >> 24));
        header.read(input, false);
        return header.isValid();
    }

    algorithm::Cipher& cipher() override { return cipher_; }
    std::uint64_t overhead() const override { return EncryptionHeader::kSize; }

  private:
    algorithm::zip::TraditionalCipher cipher_;
};

class AesDecryption : public EntryDecryption {
  public:
    AesDecryption(std::unique_ptr<algorithm::zip::WinZipAesKeys> keys, const EntryValues& values)
        : keys_(std::move(keys)), cipher_(*keys_), values_(values) {}

    algorithm::Cipher& cipher() override { return cipher_; }
    std::uint64_t overhead() const override {
        return algorithm::zip::aesOverhead(values_.aesStrength);
    }
    // AE-2 leaves the CRC-32 out (zero): the authentication code stands for it.
    bool checksCrc() const override { return values_.aesVersion != 2; }

    void finish(stream::InputStream& rawInput) override {
        stream::SafeInput input(rawInput);
        std::uint8_t stored[algorithm::zip::kAesCodeSize];
        for (std::uint8_t& byte : stored) {
            byte = static_cast<std::uint8_t>(input.get());
        }
        const auto computed = cipher_.code();
        unsigned differences = 0;
        for (std::size_t i = 0; i < computed.size(); ++i) {
            differences |= static_cast<unsigned>(computed[i] ^ stored[i]);
        }
        if (differences != 0) {
            throw brindle5::exception::BadData(
                "authentication code mismatch in zip reader; the data was altered or is damaged");
        }
    }

  private:
    std::unique_ptr<algorithm::zip::WinZipAesKeys> keys_;
    algorithm::zip::WinZipAesCipher cipher_;
    EntryValues values_;
};

}  // namespace

std::unique_ptr<EntryDecryption> EntryDecryption::open(stream::InputStream& rawInput,
                                                       const EntryValues& values,
                                                       const std::string& password) {
    stream::SafeInput input(rawInput);
    if (values.aesStrength == 0) {
        if (values.compressedSize < EncryptionHeader::kSize) {
            throw brindle5::exception::BadFormat(
                "encrypted file is shorter than its encryption header in zip reader");
        }
        auto traditional = std::make_unique<TraditionalDecryption>(password);
        if (!traditional->readHeader(input, values)) {
            return nullptr;
        }
        return traditional;
    }
    algorithm::zip::AesStrength sizes = {};
    if (!algorithm::zip::aesStrength(values.aesStrength, sizes)) {
        throw brindle5::exception::UnsupportedMethod("unknown AES key strength in zip reader");
    }
    if (values.compressedSize < algorithm::zip::aesOverhead(values.aesStrength)) {
        throw brindle5::exception::BadFormat(
            "AES encrypted file is shorter than its salt, verifier and code in zip reader");
    }
    std::vector<std::uint8_t> header(sizes.saltLength + algorithm::zip::kAesVerifierSize);
    for (std::uint8_t& byte : header) {
        byte = static_cast<std::uint8_t>(input.get());
    }
    auto keys = std::make_unique<algorithm::zip::WinZipAesKeys>(values.aesStrength, password,
                                                                header.data());
    if (!keys->fits(header.data() + sizes.saltLength)) {
        return nullptr;
    }
    return std::make_unique<AesDecryption>(std::move(keys), values);
}

}  // namespace zip
}  // namespace format
