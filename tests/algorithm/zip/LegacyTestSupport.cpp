#include "tests/algorithm/zip/LegacyTestSupport.h"

#include <stdexcept>

#include "algorithm/zip/ImplodeDecompressor.h"
#include "algorithm/zip/ReduceDecompressor.h"
#include "algorithm/zip/ShrinkDecompressor.h"
#include "stream/MemoryStream.h"

namespace legacytest {

namespace {

std::uint32_t le(const std::vector<std::uint8_t>& b, std::size_t at, unsigned width) {
    if (at + width > b.size()) {
        throw std::runtime_error("local header runs past the end of the archive");
    }
    std::uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
        value |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    }
    return value;
}

}  // namespace

std::vector<LocalEntry> readLocalEntries(const std::vector<std::uint8_t>& archive) {
    std::vector<LocalEntry> entries;
    std::size_t at = 0;
    while (at + 30 <= archive.size() && le(archive, at, 4) == 0x04034b50) {
        LocalEntry e;
        e.flags = le(archive, at + 6, 2);
        e.method = le(archive, at + 8, 2);
        e.crc = le(archive, at + 14, 4);
        std::uint32_t compressed = le(archive, at + 18, 4);
        e.uncompressedSize = le(archive, at + 22, 4);
        std::uint32_t nameLength = le(archive, at + 26, 2);
        std::uint32_t extraLength = le(archive, at + 28, 2);
        if (e.flags & 8) {
            throw std::runtime_error("the walker does not follow data descriptors");
        }
        std::size_t data = at + 30 + nameLength + extraLength;
        if (data + compressed > archive.size()) {
            throw std::runtime_error("entry data runs past the end of the archive");
        }
        e.name.assign(archive.begin() + at + 30, archive.begin() + at + 30 + nameLength);
        e.data.assign(archive.begin() + data, archive.begin() + data + compressed);
        entries.push_back(std::move(e));
        at = data + compressed;
    }
    return entries;
}

std::vector<std::uint8_t> decodeEntry(const LocalEntry& entry,
                                      const std::vector<std::uint8_t>& data) {
    stream::MemoryInput input(data);
    stream::MemoryOutput output;
    std::uint64_t produced = 0;
    switch (entry.method) {
        case 0:
            output.write(data.data(), static_cast<std::uint32_t>(data.size()));
            produced = data.size();
            break;
        case 1: {
            algorithm::zip::ShrinkDecompressor shrink;
            produced = shrink.process(input, output, data.size());
            break;
        }
        case 2:
        case 3:
        case 4:
        case 5: {
            algorithm::zip::ReduceDecompressor reduce(entry.method - 1);
            produced = reduce.process(input, output, entry.uncompressedSize);
            break;
        }
        case 6: {
            algorithm::zip::ImplodeDecompressor implode((entry.flags & 2) != 0,
                                                        (entry.flags & 4) != 0);
            implode.reset();
            implode.setSize(entry.uncompressedSize);
            produced = implode.process(input, output);
            implode.finish();
            break;
        }
        default:
            throw std::runtime_error("method " + std::to_string(entry.method) + " is not legacy");
    }
    if (produced != output.data().size()) {
        throw std::runtime_error("the decoder's count differs from what it wrote");
    }
    return output.data();
}

BitWriter& BitWriter::put(std::uint32_t value, unsigned bits) {
    for (unsigned i = 0; i < bits; ++i) {
        if (used_ == 0) {
            bytes_.push_back(0);
        }
        bytes_.back() |= static_cast<std::uint8_t>(((value >> i) & 1u) << used_);
        used_ = (used_ + 1) % 8;
    }
    return *this;
}

std::vector<std::uint8_t> BitWriter::bytes() const {
    return bytes_;
}

}  // namespace legacytest
