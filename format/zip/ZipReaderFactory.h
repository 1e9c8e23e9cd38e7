// Makes the Zip reader for the archive object. Programs that extract call registerZipFormat() once
// at start, before the first decode.
#pragma once

#include <cstdint>
#include <memory>

#include "archive/FormatReader.h"

namespace format {
namespace zip {

std::unique_ptr<vessel5::FormatReader> createZipReader(std::uint32_t startOffset,
                                                       vessel5::Archive& archive);

// Registers createZipReader with the archive object.
void registerZipFormat();

}  // namespace zip
}  // namespace format
