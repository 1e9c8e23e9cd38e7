#include <memory>

#include "format/zip/ZipReader.h"

namespace vessel5 {

std::unique_ptr<FormatReader> createZipReader(std::uint32_t startOffset, Archive& archive) {
    return std::make_unique<format::zip::ZipReader>(startOffset, archive);
}

}  // namespace vessel5
