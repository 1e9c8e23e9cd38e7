#include "format/zip/ZipReaderFactory.h"

#include "format/zip/ZipReader.h"

namespace format {
namespace zip {

std::unique_ptr<vessel5::FormatReader> createZipReader(std::uint32_t startOffset,
                                                       vessel5::Archive& archive) {
    return std::make_unique<ZipReader>(startOffset, archive);
}

void registerZipFormat() {
    vessel5::registerZipReader(&createZipReader);
}

}  // namespace zip
}  // namespace format
