#include "format/zip/MethodDecoders.h"

#include "algorithm/Copy.h"
#include "algorithm/zip/Decompressor.h"
#include "algorithm/zip/ImplodeDecompressor.h"
#include "algorithm/zip/LzmaDecoder.h"
#include "algorithm/zip/ReduceDecompressor.h"
#include "algorithm/zip/ShrinkDecompressor.h"
#include "base/Exception.h"
#include "format/zip/MethodNames.h"

namespace format {
namespace zip {

namespace {

constexpr std::uint32_t kCopyBlock = 0x10000;

// Stored and shrunk data: the algorithm is told how many compressed bytes to consume.
class CompressedSizeDecoder : public EntryDecoder {
  public:
    using EntryDecoder::EntryDecoder;

  protected:
    std::uint64_t run(stream::InputStream& input, stream::OutputStream& output) override {
        return algorithm().process(input, output, compressedSize);
    }
};

// Reduced data: the algorithm is told how many bytes to produce.
class UncompressedSizeDecoder : public EntryDecoder {
  public:
    using EntryDecoder::EntryDecoder;

  protected:
    std::uint64_t run(stream::InputStream& input, stream::OutputStream& output) override {
        return algorithm().process(input, output, uncompressedSize);
    }
};

// Imploded data does not mark its end: the decompressor is given the size before each run.
class ImplodeDecoder : public EntryDecoder {
  public:
    ImplodeDecoder(vessel5::Archive& archive,
                   std::unique_ptr<algorithm::zip::ImplodeDecompressor> implode)
        : EntryDecoder(archive, std::move(implode)) {}

  protected:
    std::uint64_t run(stream::InputStream& input, stream::OutputStream& output) override {
        auto& implode = static_cast<algorithm::zip::ImplodeDecompressor&>(algorithm());
        implode.reset();
        implode.setSize(uncompressedSize);
        const std::uint64_t written = implode.process(input, output);
        implode.finish();
        return written;
    }
};

// Deflated data marks its own end.
class SelfEndingDecoder : public EntryDecoder {
  public:
    using EntryDecoder::EntryDecoder;

  protected:
    std::uint64_t run(stream::InputStream& input, stream::OutputStream& output) override {
        return algorithm().process(input, output);
    }
};

}  // namespace

bool isSupportedMethod(std::uint8_t method) {
    return method <= 6 || method == 8 || method == 14;
}

bool takesCompressedSize(std::uint8_t method) {
    return method == 0 || method == 1;
}

std::unique_ptr<EntryDecoder> createEntryDecoder(std::uint8_t method, std::uint16_t flags,
                                                 vessel5::Archive& archive) {
    switch (method) {
        case 0:
            return std::make_unique<CompressedSizeDecoder>(
                archive, std::make_unique<algorithm::Copy>(kCopyBlock));
        case 1:
            return std::make_unique<CompressedSizeDecoder>(
                archive, std::make_unique<algorithm::zip::ShrinkDecompressor>());
        case 2:
        case 3:
        case 4:
        case 5:
            // The compression factor is the method less one.
            return std::make_unique<UncompressedSizeDecoder>(
                archive, std::make_unique<algorithm::zip::ReduceDecompressor>(
                             static_cast<std::uint8_t>(method - 1u)));
        case 6:
            // Flag bit 1: 8K dictionary; bit 2: three trees (literals coded too).
            return std::make_unique<ImplodeDecoder>(
                archive, std::make_unique<algorithm::zip::ImplodeDecompressor>(
                             (flags & 0x02) != 0, (flags & 0x04) != 0));
        case 8:
            return std::make_unique<SelfEndingDecoder>(
                archive, std::make_unique<algorithm::zip::Decompressor>());
        case 14:
            // Flag bit 1: the stream ends with an end marker.
            return std::make_unique<UncompressedSizeDecoder>(
                archive, std::make_unique<algorithm::zip::LzmaDecoder>((flags & 0x02) != 0));
        default:
            throw brindle5::exception::UnsupportedMethod(unsupportedMethodText(method) +
                                                         " in zip reader");
    }
}

}  // namespace zip
}  // namespace format
