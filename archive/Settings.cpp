#include "archive/Settings.h"

namespace vessel5 {

void Settings::reset() {
    entryCount = 0;
    archiveName.clear();
    totalCompressedSize = 0xFFFFFFFFu;
    totalUncompressedSize = 0xFFFFFFFFu;
    totalCompressedSize64.reset();
    totalUncompressedSize64.reset();
    multiVolume = false;
}

}  // namespace vessel5
