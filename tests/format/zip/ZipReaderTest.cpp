// The Zip reader end to end through the archive object: finding the directory, describing the
// archive, refusing what it does not support, and extracting entries.
#include <gtest/gtest.h>

#include "format/zip/ZipReader.h"
#include "io/FatTime.h"
#include "io/File.h"
#include "tests/support/ZipBuilder.h"
#include "tests/format/zip/ZipTestSupport.h"

using ziptest::build;
using ziptest::EntryPlan;
using ziptest::Extraction;

namespace {

using Tree = std::map<std::string, std::string>;

const std::vector<EntryPlan> kNested = {
    {"docs/", ""},
    {"docs/a.txt", "alpha\n"},
    {"docs/deep/b.bin", std::string("\0\1\2\3\xff", 5)},
    {"docs/empty.txt", ""},
    {"docs/none/", ""},
};

const Tree kNestedTree = {
    {"docs/", ""},          {"docs/a.txt", "alpha\n"},
    {"docs/deep/", ""},     {"docs/deep/b.bin", std::string("\0\1\2\3\xff", 5)},
    {"docs/empty.txt", ""}, {"docs/none/", ""},
};

}  // namespace

TEST(ZipReaderTest, ExtractsFoldersFilesAndEmptyFilesInOrder) {
    Extraction x(build(kNested).bytes);
    EXPECT_EQ(x.run(), "");
    EXPECT_EQ(x.tree(), kNestedTree);
    EXPECT_EQ(x.events().log,
              (std::vector<std::string>{"destinationWanted", "started 11", "itemDone", "itemDone",
                                        "itemDone", "ended", "decoded"}));
    ASSERT_EQ(x.events().itemNames.size(), 3u);
    EXPECT_EQ(x.events().itemNames[0],
              testsupport::join(testsupport::join(x.out(), "docs"), "a.txt"));
}

TEST(ZipReaderTest, GivesEachFileTheDosTimeOfItsLocalHeader) {
    EntryPlan e{"t.txt", "time"};
    e.date = (45 << 9) | (7 << 5) | 14;  // 2025-07-14
    e.time = (9 << 11) | (30 << 5) | 5;  // 09:30:10
    Extraction x(build({e}).bytes);
    ASSERT_EQ(x.run(), "");
    io::File file(testsupport::join(x.out(), "t.txt"));
    EXPECT_EQ(file.modificationFileTime(), io::FatTime(e.date, e.time).utc());
}

TEST(ZipReaderTest, AnInvalidDosDateKeepsTheFile) {
    EntryPlan e{"t.txt", "no date"};
    e.date = 0;  // month 0: no such date
    Extraction x(build({e}).bytes);
    EXPECT_EQ(x.run(), "");
    EXPECT_EQ(x.tree(), (Tree{{"t.txt", "no date"}}));
}

TEST(ZipReaderTest, ReadsOffsetsFromTheArchiveStartAndFromTheFileStart) {
    const std::string program(70144, 'M');
    for (bool absolute : {false, true}) {
        ziptest::ArchivePlan plan;
        plan.prefix = program;
        plan.absoluteOffsets = absolute;
        auto built = build(kNested, plan);
        Extraction x(built.bytes, static_cast<std::uint32_t>(program.size()));
        EXPECT_EQ(x.run(), "") << absolute;
        EXPECT_EQ(x.tree(), kNestedTree) << absolute;
    }
}

TEST(ZipReaderTest, LocatesTheCentralDirectoryByEitherConvention) {
    const std::string program(1000, 'M');
    for (bool absolute : {false, true}) {
        ziptest::ArchivePlan plan;
        plan.prefix = program;
        plan.absoluteOffsets = absolute;
        auto built = build(kNested, plan);
        testsupport::TempDir dir;
        testsupport::writeFile(dir / "a.zip", built.bytes);
        vessel5::Archive archive;
        archive.open(dir / "a.zip");
        archive.settings().startOffset = 1000;
        archive.scan();
        auto* reader = dynamic_cast<format::zip::ZipReader*>(archive.reader());
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->centralPosition(), built.centralPosition);
        EXPECT_EQ(reader->endPosition(), built.endPosition);
    }
}

TEST(ZipReaderTest, ScanSumsTheSizesAndKeepsTheArchiveNameOnlyForOneRoot) {
    struct Case {
        std::vector<EntryPlan> entries;
        std::string name;
    };
    const Case cases[] = {
        {{{"one.txt", "1"}}, "one.txt"},
        {{{"a.txt", "1"}, {"b.txt", "22"}}, ""},
        {{{"root/", ""}, {"root/a.txt", "1"}, {"root/sub/b.txt", "22"}}, "root/sub/b.txt"},
        {{{"root/a.txt", "1"}, {"other/b.txt", "22"}}, ""},
        {{{"root/a.txt", "1"}, {"top.txt", "22"}}, ""},
        // The flag tells only the last comparison with the first root.
        {{{"root/a.txt", "1"}, {"other/b.txt", "22"}, {"root/c.txt", "3"}}, "root/c.txt"},
    };
    for (const auto& c : cases) {
        testsupport::TempDir dir;
        testsupport::writeFile(dir / "a.zip", build(c.entries).bytes);
        vessel5::Archive archive;
        archive.open(dir / "a.zip");
        archive.scan();
        EXPECT_EQ(archive.settings().archiveName, c.name);
        EXPECT_EQ(archive.settings().entryCount, static_cast<std::int32_t>(c.entries.size()));
    }

    std::vector<EntryPlan> three = {
        {"a", std::string(100, 'a')}, {"b", std::string(2000, 'b')}, {"c", std::string(3, 'c')}};
    three[1].encrypt = true;
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "a.zip", build(three).bytes);
    vessel5::Archive archive;
    archive.open(dir / "a.zip");
    archive.scan();
    // Stored: compressed equals uncompressed, less the encryption header of the one encrypted.
    EXPECT_EQ(archive.settings().totalUncompressedSize, 2103u);
    EXPECT_EQ(archive.settings().totalCompressedSize, 2103u);
}

TEST(ZipReaderTest, ACommentHoldingTheEndSignatureDoesNotMisleadTheSearch) {
    ziptest::ArchivePlan plan;
    // Too close to the end to be a record of its own: the real record is found.
    plan.comment = std::string("PK\5\6 near the end", 17);
    Extraction x(build(kNested, plan).bytes);
    EXPECT_EQ(x.run(), "");
    EXPECT_EQ(x.tree(), kNestedTree);
}

TEST(ZipReaderTest, ACommentHoldingAFalseEndRecordDoesNotHideTheRealOne) {
    // The signature in the comment is nearer to the end, but its comment length does not reach
    // the end of the file, while the real record's does: the archive extracts as usual.
    ziptest::ArchivePlan plan;
    plan.comment = std::string("PK\5\6", 4) + std::string(30, '\x7f');
    Extraction x(build(kNested, plan).bytes);
    EXPECT_EQ(x.run(), "");
    EXPECT_EQ(x.tree(), kNestedTree);
}

TEST(ZipReaderTest, RefusesUnsupportedArchivesBeforeWritingAnything) {
    struct Case {
        std::string name;
        std::function<void(std::vector<EntryPlan>&, ziptest::ArchivePlan&)> change;
        std::string message;
    };
    const Case cases[] = {
        {"multi-disk", [](auto&, auto& plan) { plan.diskNumber = 1; },
         "Unsupported format exception: expansion of segmented multi-part archives not supported "
         "by zip reader."},
        {"version 6.4", [](auto& entries, auto&) { entries[2].versionNeeded = 64; },
         "Unsupported method exception: unsupported version needed to extract 6.4 for "
         "docs/deep/b.bin in zip reader."},
        // BZip2 entries declare 4.6, one more than the rest: their method allows no more.
        {"BZip2 version 4.7",
         [](auto& entries, auto&) {
             entries[2].method = 12;
             entries[2].versionNeeded = 47;
         },
         "Unsupported method exception: unsupported version needed to extract 4.7 for "
         "docs/deep/b.bin in zip reader."},
        {"method 7", [](auto& entries, auto&) { entries[2].method = 7; },
         "Unsupported method exception: unsupported compression method 7 (Tokenized) for "
         "docs/deep/b.bin in zip reader."},
        {"method 10", [](auto& entries, auto&) { entries[2].method = 10; },
         "Unsupported method exception: unsupported compression method 10 (PKWARE DCL Imploded) "
         "for "
         "docs/deep/b.bin in zip reader."},
        {"method 98", [](auto& entries, auto&) { entries[2].method = 98; },
         "Unsupported method exception: unsupported compression method 98 (PPMd) for "
         "docs/deep/b.bin in zip reader."},
        {"AES",
         [](auto& entries, auto&) {
             entries[2].alterCentral = [](format::zip::CentralHeader& c) { c.method = 99; };
         },
         "Unsupported method exception: AES encryption without a known key strength for "
         "docs/deep/b.bin in zip reader."},
        {"bad central signature",
         [](auto& entries, auto&) {
             entries[2].alterCentral = [](format::zip::CentralHeader& c) { c.name = "x"; };
         },
         ""},
    };
    for (const auto& c : cases) {
        std::vector<EntryPlan> entries = kNested;
        ziptest::ArchivePlan plan;
        c.change(entries, plan);
        Extraction x(build(entries, plan).bytes);
        std::string result = x.run();
        if (!c.message.empty()) {
            EXPECT_EQ(result, c.message) << c.name;
            EXPECT_EQ(x.tree(), Tree{}) << c.name;
        }
    }
    // Version 4.5 (Zip64), the highest accepted, with a high byte that is not looked at.
    std::vector<EntryPlan> entries = kNested;
    entries[1].versionNeeded = 0x032D;
    Extraction x(build(entries).bytes);
    EXPECT_EQ(x.run(), "");
}

TEST(ZipReaderTest, ACentralRecordWithAnyWrongSignatureByteIsInvalid) {
    auto built = build(kNested);
    auto withSecondRecordSignature = [&](const char* signature) {
        std::string bytes = built.bytes;
        // The second central record: after the first one ("docs/", 46 + 5 bytes).
        bytes.replace(built.centralPosition + 51, 2, signature);
        return bytes;
    };
    Extraction px(withSecondRecordSignature("PX"));
    EXPECT_EQ(px.run(), "Bad format exception: invalid central header in zip reader.");
    Extraction qk(withSecondRecordSignature("QK"));
    EXPECT_EQ(qk.run(), "Bad format exception: invalid central header in zip reader.");
}

TEST(ZipReaderTest, AnEmptyCentralDirectoryExtractsNothing) {
    Extraction x(build({}).bytes);
    EXPECT_EQ(x.run(), "");
    EXPECT_EQ(x.tree(), Tree{});
    EXPECT_EQ(x.events().log,
              (std::vector<std::string>{"destinationWanted", "started 0", "ended", "decoded"}));
}

TEST(ZipReaderTest, DataDescriptorsTakeCrcAndSizesFromTheCentralRecord) {
    std::vector<EntryPlan> entries = kNested;
    for (auto& e : entries) {
        e.descriptor = true;
    }
    Extraction x(build(entries).bytes);
    EXPECT_EQ(x.run(), "");
    EXPECT_EQ(x.tree(), kNestedTree);
}

TEST(ZipReaderTest, EncryptedEntriesWithTheEmptyPassword) {
    for (bool descriptor : {false, true}) {
        std::vector<EntryPlan> entries = kNested;
        for (auto& e : entries) {
            if (e.name.back() != '/') {
                e.encrypt = true;
                e.descriptor = descriptor;
            }
        }
        Extraction x(build(entries).bytes);
        EXPECT_EQ(x.run(), "") << descriptor;
        EXPECT_EQ(x.tree(), kNestedTree) << descriptor;
    }
}

TEST(ZipReaderTest, TheCheckByteOfADescriptorEntryIsTheHighByteOfItsTime) {
    // Made with the check byte of the other rule: the entry must be refused.
    EntryPlan e{"a.txt", "secret"};
    e.encrypt = true;
    e.time = 0x1234;
    auto built = build({e});
    // Mark the entry as having a descriptor afterwards, keeping the CRC-based check byte.
    std::string bytes = built.bytes;
    bytes[built.localOffsets[0] + 6] |= 8;
    bytes[built.centralPosition + 8] |= 8;
    Extraction x(bytes);
    // The empty password is tried and does not fit; no one is there to ask for another.
    EXPECT_EQ(x.run(), "Password exception: a password is needed for a.txt in zip reader.");
    EXPECT_EQ(x.tree(), Tree{});
}

TEST(ZipReaderTest, FailedEntriesLeaveNoFileBehind) {
    struct Case {
        std::string name;
        std::function<void(EntryPlan&)> change;
        std::string message;
        // Whether the entry before the failing one was written: a password is settled before
        // anything is.
        bool firstStays = true;
    };
    const Case cases[] = {
        {"wrong password",
         [](EntryPlan& e) {
             e.encrypt = true;
             e.password = "secret";
         },
         "Password exception: a password is needed for second.txt in zip reader.", false},
        {"altered stored data",
         [](EntryPlan& e) { e.alter = [](std::string& data) { data[3] ^= 0x20; }; },
         "Bad data exception: CRC mismatch in zip reader; data is invalid."},
        {"stored data cut short",
         [](EntryPlan& e) {
             e.alterCentral = [](format::zip::CentralHeader& c) { c.compressedSize += 10; };
             e.descriptor = true;
         },
         "Bad data exception: size mismatch in zip reader: the data is longer than the declared "
         "22 bytes; data is invalid."},
        {"encrypted entry shorter than its header",
         [](EntryPlan& e) {
             e.encrypt = true;
             e.descriptor = true;
             e.alterCentral = [](format::zip::CentralHeader& c) { c.compressedSize = 5; };
         },
         "Bad format exception: encrypted file is shorter than its encryption header in zip "
         "reader."},
    };
    for (const auto& c : cases) {
        std::vector<EntryPlan> entries = {{"first.txt", "first"},
                                          {"second.txt", "the second file's data"},
                                          {"third.txt", "third"}};
        c.change(entries[1]);
        Extraction x(build(entries).bytes);
        EXPECT_EQ(x.run(), c.message) << c.name;
        // Entries before the failing one stay.
        EXPECT_EQ(x.tree(), c.firstStays ? (Tree{{"first.txt", "first"}}) : Tree{}) << c.name;
    }
}

TEST(ZipReaderTest, AFailureHandlerThatObjectsKeepsThePartialFile) {
    std::vector<EntryPlan> entries = {{"a.txt", "some data"}};
    entries[0].alter = [](std::string& data) { data[0] = 'S'; };
    Extraction x(build(entries).bytes);
    x.events().answerItemFailed = false;
    EXPECT_NE(x.run(), "");
    EXPECT_EQ(x.tree(), (Tree{{"a.txt", "Some data"}}));
}

TEST(ZipReaderTest, ProgressPositionsRunAcrossEntriesAndSkippedOnes) {
    std::vector<EntryPlan> entries = {{"a.bin", std::string(40000, 'a')},
                                      {"b.bin", std::string(70000, 'b')}};
    Extraction skipped(build(entries).bytes);
    skipped.events().answerItemStarted = false;
    EXPECT_EQ(skipped.run(), "");
    EXPECT_TRUE(skipped.tree().empty());
    EXPECT_EQ(skipped.events().progress, (std::vector<std::uint64_t>{40000, 110000}));

    // The stored copy writes blocks of up to 65,536 bytes; each block of 16,384 bytes or more
    // is reported once, at the archive-wide position after it.
    Extraction extracted(build(entries).bytes);
    EXPECT_EQ(extracted.run(), "");
    EXPECT_EQ(extracted.events().progress, (std::vector<std::uint64_t>{40000, 40000 + 65536}));
}

TEST(ZipReaderTest, ACancelDuringAnEntryRemovesItsPartialFile) {
    std::vector<EntryPlan> entries = {{"a.bin", std::string(40000, 'a')},
                                      {"b.bin", std::string(70000, 'b')}};
    Extraction x(build(entries).bytes);
    x.events().cancelProgressAt = 1;
    EXPECT_EQ(x.run(), "Evacuation exception: .");
    const auto tree = x.tree();
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(tree.begin()->first, "a.bin");
    EXPECT_EQ(tree.begin()->second.size(), 40000u);
}

TEST(ZipReaderTest, AnExistingTopLevelFolderIsRenamedOnceForTheWholeArchive) {
    std::vector<EntryPlan> entries = {
        {"docs/", ""}, {"docs/a.txt", "a"}, {"docs/b.txt", "b"}, {"new/", ""}, {"new/c.txt", "c"}};
    Extraction x(build(entries).bytes);
    std::filesystem::create_directories(std::filesystem::path(x.out()) / "docs");
    EXPECT_EQ(x.run(), "");
    EXPECT_EQ(x.tree(), (Tree{{"docs/", ""},
                              {"docs_1/", ""},
                              {"docs_1/a.txt", "a"},
                              {"docs_1/b.txt", "b"},
                              {"new/", ""},
                              {"new/c.txt", "c"}}));
}

TEST(ZipReaderTest, HostileNamesStayInsideTheDestination) {
    std::vector<EntryPlan> entries = {
        {"../evil.txt", "1"}, {"/abs/x.txt", "2"}, {"a/../../up.txt", "3"}};
    Extraction x(build(entries).bytes);
    x.run();
    const auto parent = std::filesystem::path(x.out()).parent_path();
    for (const auto& item : std::filesystem::recursive_directory_iterator(parent)) {
        std::string relative = std::filesystem::relative(item.path(), parent).generic_string();
        EXPECT_TRUE(relative == "archive.zip" || relative.rfind("out", 0) == 0) << relative;
    }
}

TEST(ZipReaderTest, AScanHandlerThatAnswersFalseCancelsTheScan) {
    struct Case {
        int list;
        int answersBeforeFalse;
    };
    // Before each record; each file; each folder (kNested starts with a folder).
    const Case cases[] = {
        {vessel5::kScanNext, 2}, {vessel5::kScanFile, 1}, {vessel5::kScanFolder, 0}};
    for (const auto& c : cases) {
        testsupport::TempDir dir;
        testsupport::writeFile(dir / "a.zip", build(kNested).bytes);
        vessel5::Archive archive;
        int answers = c.answersBeforeFalse;
        if (c.list == vessel5::kScanNext) {
            archive.onScanNext([](void* user) { return (*static_cast<int*>(user))-- > 0; },
                               &answers);
        } else {
            archive.add(c.list, vessel5::Handler1([](std::uint64_t, void* user) {
                            return (*static_cast<int*>(user))-- > 0;
                        }),
                        &answers);
        }
        archive.open(dir / "a.zip");
        EXPECT_THROW(archive.scan(), brindle5::exception::Evacuation) << c.list;
    }
}
