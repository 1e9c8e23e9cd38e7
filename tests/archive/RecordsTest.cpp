// Entry records, optional values and settings: what a reader or handler sees after a reset.
#include <gtest/gtest.h>

#include "archive/Items.h"
#include "archive/Settings.h"

namespace {

TEST(Optional, SettingMakesKnownAndResetForgets) {
    vessel5::OptionalUInt64 size;
    EXPECT_FALSE(size.known());
    EXPECT_EQ(size.value(), 0u);
    size.set(0);  // a known zero differs from an unknown one
    EXPECT_TRUE(size.known());
    size.set(0x100000000ull);
    EXPECT_EQ(size.value(), 0x100000000ull);
    size.reset();
    EXPECT_FALSE(size.known());
    EXPECT_EQ(size.value(), 0u);
}

TEST(FileItem, ResetShowsEmptyNameUnknownSizesAndUnknownTypeCodes) {
    vessel5::FileItem item;
    item.name = "docs/a.txt";
    item.note.set("remark");
    item.compressedSize.set(10);
    item.uncompressedSize.set(20);
    item.type.set(format::data::OSType("TEXT"));
    item.creator.set(format::data::OSType("ttxt"));
    item.firstFlag = true;
    item.secondFlag = true;

    item.reset();

    EXPECT_EQ(item.name, "");
    EXPECT_FALSE(item.note.known());
    EXPECT_EQ(item.note.value(), "");
    EXPECT_FALSE(item.compressedSize.known());
    EXPECT_EQ(item.compressedSize.value(), 0u);
    EXPECT_FALSE(item.uncompressedSize.known());
    EXPECT_EQ(item.uncompressedSize.value(), 0u);
    EXPECT_FALSE(item.type.known());
    EXPECT_EQ(item.type.value().text(), "????");
    EXPECT_FALSE(item.creator.known());
    EXPECT_EQ(item.creator.value().value(), 0x3F3F3F3Fu);
    EXPECT_FALSE(item.firstFlag);
    EXPECT_FALSE(item.secondFlag);
}

TEST(FileItem, FreshRecordEqualsResetRecord) {
    vessel5::FileItem item;
    EXPECT_EQ(item.name, "");
    EXPECT_FALSE(item.compressedSize.known());
    EXPECT_EQ(item.type.value().text(), "????");
}

TEST(FolderItem, ResetClearsNameAndNote) {
    vessel5::FolderItem folder;
    folder.name = "docs";
    folder.note.set("x");
    folder.reset();
    EXPECT_EQ(folder.name, "");
    EXPECT_FALSE(folder.note.known());
    EXPECT_EQ(folder.note.value(), "");
}

TEST(Settings, ResetKeepsPathOffsetAndFormatAndResetsTheRest) {
    vessel5::Settings settings;
    EXPECT_EQ(settings.totalCompressedSize, 0xFFFFFFFFu);
    EXPECT_EQ(settings.totalUncompressedSize, 0xFFFFFFFFu);

    settings.path = "a.zip";
    settings.startOffset = 512;
    settings.format = 5;
    settings.entryCount = 3;
    settings.archiveName = "docs/";
    settings.totalCompressedSize = 1;
    settings.totalUncompressedSize = 2;
    settings.totalCompressedSize64.set(3);
    settings.totalUncompressedSize64.set(4);
    settings.multiVolume = true;

    settings.reset();

    EXPECT_EQ(settings.path, "a.zip");
    EXPECT_EQ(settings.startOffset, 512u);
    EXPECT_EQ(settings.format, 5);
    EXPECT_EQ(settings.entryCount, 0);
    EXPECT_EQ(settings.archiveName, "");
    EXPECT_EQ(settings.totalCompressedSize, 0xFFFFFFFFu);
    EXPECT_EQ(settings.totalUncompressedSize, 0xFFFFFFFFu);
    EXPECT_FALSE(settings.totalCompressedSize64.known());
    EXPECT_EQ(settings.totalCompressedSize64.value(), 0u);
    EXPECT_FALSE(settings.totalUncompressedSize64.known());
    EXPECT_FALSE(settings.multiVolume);
}

}  // namespace
