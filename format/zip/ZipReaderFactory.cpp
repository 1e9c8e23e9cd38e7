#include <memory>

#include "archive/FormatReader.h"

namespace vessel5 {

std::unique_ptr<FormatReader> createZipReader(std::uint32_t startOffset, Archive& archive) {
    (void)startOffset;
    (void)archive;
    return nullptr;
}

}  // namespace vessel5
