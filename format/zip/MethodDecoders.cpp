#include "format/zip/MethodDecoders.h"

#include <iterator>

#include "algorithm/Copy.h"
#include "algorithm/zip/BZip2Decompressor.h"
#include "algorithm/zip/Decompressor.h"
#include "algorithm/zip/Deflate64Decompressor.h"
#include "algorithm/zip/ImplodeDecompressor.h"
#include "algorithm/zip/LzmaDecoder.h"
#include "algorithm/zip/ReduceDecompressor.h"
#include "algorithm/zip/ShrinkDecompressor.h"
#include "base/Exception.h"
#include "format/zip/MethodNames.h"
#include "format/zip/ZipReader.h"

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

// Deflated, Deflate64 and BZip2 data mark their own end.
class SelfEndingDecoder : public EntryDecoder {
  public:
    using EntryDecoder::EntryDecoder;

  protected:
    std::uint64_t run(stream::InputStream& input, stream::OutputStream& output) override {
        return algorithm().process(input, output);
    }
};

template <class Decoder, class Algorithm, class... Arguments>
std::unique_ptr<EntryDecoder> make(vessel5::Archive& archive, Arguments... arguments) {
    return std::make_unique<Decoder>(archive, std::make_unique<Algorithm>(arguments...));
}

// The compression factor of a reduced entry is its method less one.
template <std::uint8_t kFactor>
std::unique_ptr<EntryDecoder> reduced(std::uint16_t, vessel5::Archive& archive) {
    return make<UncompressedSizeDecoder, algorithm::zip::ReduceDecompressor>(archive, kFactor);
}

// Ordered by number. Methods without a decoder are here for their names (and are refused).
const ZipMethod kMethods[] = {
    {0, "Stored", 10, true,
     [](std::uint16_t, vessel5::Archive& archive) {
         return make<CompressedSizeDecoder, algorithm::Copy>(archive, kCopyBlock);
     }},
    {1, "Shrunk", 10, true,
     [](std::uint16_t, vessel5::Archive& archive) {
         return make<CompressedSizeDecoder, algorithm::zip::ShrinkDecompressor>(archive);
     }},
    {2, "Reduced1", 10, false, reduced<1>},
    {3, "Reduced2", 10, false, reduced<2>},
    {4, "Reduced3", 10, false, reduced<3>},
    {5, "Reduced4", 10, false, reduced<4>},
    {6, "Imploded", 10, false,
     [](std::uint16_t flags, vessel5::Archive& archive) -> std::unique_ptr<EntryDecoder> {
         // Flag bit 1: 8K dictionary; bit 2: three trees (literals coded too).
         return std::make_unique<ImplodeDecoder>(
             archive, std::make_unique<algorithm::zip::ImplodeDecompressor>((flags & 0x02) != 0,
                                                                            (flags & 0x04) != 0));
     }},
    {7, "Tokenized", 10, false, nullptr},
    {8, "Deflated", 20, false,
     [](std::uint16_t, vessel5::Archive& archive) {
         return make<SelfEndingDecoder, algorithm::zip::Decompressor>(archive);
     }},
    {9, "Deflate64", 21, false,
     [](std::uint16_t, vessel5::Archive& archive) {
         return make<SelfEndingDecoder, algorithm::zip::Deflate64Decompressor>(archive);
     }},
    {10, "PKWARE DCL Imploded", 25, false, nullptr},
    {12, "BZip2", 46, false,
     [](std::uint16_t, vessel5::Archive& archive) {
         return make<SelfEndingDecoder, algorithm::zip::BZip2Decompressor>(archive);
     }},
    {14, "LZMA", 63, false,
     [](std::uint16_t flags, vessel5::Archive& archive) -> std::unique_ptr<EntryDecoder> {
         // Flag bit 1: the stream ends with an end marker.
         return make<UncompressedSizeDecoder, algorithm::zip::LzmaDecoder>(archive,
                                                                           (flags & 0x02) != 0);
     }},
    {16, "IBM z/OS CMPSC", 63, false, nullptr},
    {18, "IBM TERSE", 63, false, nullptr},
    {19, "IBM LZ77", 63, false, nullptr},
    {20, "Zstandard", 63, false, nullptr},
    {93, "Zstandard", 63, false, nullptr},
    {94, "MP3", 63, false, nullptr},
    {95, "XZ", 63, false, nullptr},
    {96, "JPEG", 63, false, nullptr},
    {97, "WavPack", 63, false, nullptr},
    {98, "PPMd", 63, false, nullptr},
    {99, "AES encrypted", 51, false, nullptr},
};

}  // namespace

const ZipMethod* findMethod(std::uint16_t method) {
    for (const ZipMethod& row : kMethods) {
        if (row.number == method) {
            return &row;
        }
    }
    return nullptr;
}

bool isSupportedMethod(std::uint16_t method) {
    const ZipMethod* row = findMethod(method);
    return row != nullptr && row->makeDecoder != nullptr;
}

std::uint8_t newestVersionNeeded(std::uint16_t method) {
    const ZipMethod* row = findMethod(method);
    return row != nullptr && row->versionNeeded > kNewestVersionNeeded
               ? row->versionNeeded
               : static_cast<std::uint8_t>(kNewestVersionNeeded);
}

bool takesCompressedSize(std::uint16_t method) {
    const ZipMethod* row = findMethod(method);
    return row != nullptr && row->takesCompressedSize;
}

std::unique_ptr<EntryDecoder> createEntryDecoder(std::uint16_t method, std::uint16_t flags,
                                                 vessel5::Archive& archive) {
    const ZipMethod* row = findMethod(method);
    if (row == nullptr || row->makeDecoder == nullptr) {
        throw brindle5::exception::UnsupportedMethod(unsupportedMethodText(method) +
                                                     " in zip reader");
    }
    return row->makeDecoder(flags, archive);
}

}  // namespace zip
}  // namespace format
