#include "archive/Items.h"

namespace vessel5 {

void FileItem::reset() {
    name.clear();
    note.reset();
    compressedSize.reset();
    uncompressedSize.reset();
    type.reset();
    creator.reset();
    firstFlag = false;
    secondFlag = false;
    versionMadeBy = 0;
    externalAttributes = 0;
}

void FolderItem::reset() {
    name.clear();
    note.reset();
}

}  // namespace vessel5
