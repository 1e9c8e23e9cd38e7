// The Zip records' write members and the extra-field builders, apart from their readers: only the
// tool and the tests write records, and a program that only reads (the stub) links none of this.
#include "algorithm/Cipher.h"
#include "algorithm/CipherOutput.h"
#include "algorithm/Random.h"
#include "algorithm/TickSeed.h"
#include "base/Exception.h"
#include "format/LittleEndianOutput.h"
#include "format/zip/CentralHeader.h"
#include "format/zip/CommonFields.h"
#include "format/zip/EncryptionHeader.h"
#include "format/zip/EndHeader.h"
#include "format/zip/ExtraFields.h"
#include "format/zip/LocalHeader.h"
#include "format/zip/Zip64EndHeader.h"

namespace format {
namespace zip {

namespace {

void appendLittle(std::string& out, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

}  // namespace

void CentralHeader::writeCommon(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    writeCommonFields(out, *this,
                      "file name is too long in format::zip::CentralHeader::writeCommon()",
                      "extra field is too long in format::zip::CentralHeader::writeCommon()");
}

void CentralHeader::write(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(kSignature.data(), 4);
    out.put16(versionMadeBy);
    writeCommon(out);
    if (comment.size() > kMaxFieldLength) {
        throw format::Exception("file comment is too long in format::zip::CentralHeader::write()");
    }
    out.put16(static_cast<std::uint16_t>(comment.size()));
    out.put16(diskNumberStart);
    out.put16(internalAttributes);
    out.put32(externalAttributes);
    out.put32(localHeaderOffset);
    out.putBytes(name);
    out.putBytes(extra);
    out.putBytes(comment);
}

void CentralHeader::writeLocal(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(LocalHeader::kSignature.data(), 4);
    writeCommon(out);
    out.putBytes(name);
    out.putBytes(extra);
}

void LocalHeader::write(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(kSignature.data(), 4);
    writeCommonFields(out, *this, "file name is too long in format::zip::LocalHeader::write()",
                      "extra data is too long in format::zip::LocalHeader::write()");
    out.putBytes(name);
    out.putBytes(extra);
}

void EndHeader::write(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(kSignature.data(), 4);
    out.put16(diskNumber);
    out.put16(centralDisk);
    out.put16(diskEntries);
    out.put16(totalEntries);
    out.put32(centralSize);
    out.put32(centralOffset);
    if (comment.size() > kMaxFieldLength) {
        throw format::Exception("file comment is too long in format::zip::CentralHeader::write()");
    }
    out.put16(static_cast<std::uint16_t>(comment.size()));
    out.putBytes(comment);
}

void Zip64EndHeader::write(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(kSignature.data(), 4);
    out.put64(recordSize);
    out.put16(versionMadeBy);
    out.put16(versionNeeded);
    out.put32(diskNumber);
    out.put32(centralDisk);
    out.put64(diskEntries);
    out.put64(totalEntries);
    out.put64(centralSize);
    out.put64(centralOffset);
}

void Zip64Locator::write(stream::OutputStream& output) {
    LittleEndianOutput out(output);
    out.write(kSignature.data(), 4);
    out.put32(endDisk);
    out.put64(endOffset);
    out.put32(totalDisks);
}

void EncryptionHeader::write(stream::OutputStream& output) {
    stream::CipherOutput encrypting(output, cipher_);
    algorithm::TickSeed clock;
    algorithm::Random random(clock.ticks());
    for (std::size_t i = 0; i + 1 < kSize; ++i) {
        bytes_[i] = static_cast<std::uint8_t>(random.nextInt() & 0xFF);
    }
    if (!hasExpect_) {
        throw format::Exception(
            "must have an expect value in format::zip::EncryptionHeader::write()");
    }
    bytes_[kSize - 1] = expect_;
    encrypting.write(bytes_.data(), kSize);
}

std::string timestampExtraBlock(std::int64_t secondsSince1970) {
    // The field holds 32 signed bits; times beyond them are clamped.
    if (secondsSince1970 > 0x7FFFFFFF) {
        secondsSince1970 = 0x7FFFFFFF;
    }
    if (secondsSince1970 < -0x7FFFFFFF - 1) {
        secondsSince1970 = -0x7FFFFFFF - 1;
    }
    std::string block;
    appendLittle(block, kTimestampExtraTag, 2);
    appendLittle(block, 5, 2);
    block.push_back(0x01);  // modification time present
    appendLittle(block, static_cast<std::uint32_t>(static_cast<std::int32_t>(secondsSince1970)), 4);
    return block;
}

std::string zip64ExtraBlock(const std::uint64_t* values, std::size_t count) {
    std::string block;
    appendLittle(block, kZip64ExtraTag, 2);
    appendLittle(block, 8 * count, 2);
    for (std::size_t i = 0; i < count; ++i) {
        appendLittle(block, values[i], 8);
    }
    return block;
}

std::string aesExtraBlock(const AesExtra& aes) {
    const char block[] = {static_cast<char>(kAesExtraTag & 0xFF),
                          static_cast<char>(kAesExtraTag >> 8),
                          7,
                          0,
                          static_cast<char>(aes.version & 0xFF),
                          static_cast<char>(aes.version >> 8),
                          'A',
                          'E',
                          static_cast<char>(aes.strength),
                          static_cast<char>(aes.method & 0xFF),
                          static_cast<char>(aes.method >> 8)};
    return std::string(block, sizeof block);
}

}  // namespace zip
}  // namespace format
