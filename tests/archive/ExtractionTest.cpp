// Whole archives with hostile entry names, extracted by the archive object and the Zip reader:
// every entry lands inside the destination.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Traversal.h"
#include "archive/Archive.h"
#include "base/Exception.h"
#include "archive/UnixPermissions.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ZipBuilder.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

struct Entry {
    std::string name;
    std::string data;
    std::uint16_t madeBy = 20;
    std::uint32_t attributes = 0;
};

// A Zip archive of stored entries, names exactly as given, dated 1980-01-01 00:00.
std::string storedZip(const std::vector<Entry>& entries) {
    std::vector<ziptest::EntryPlan> plans;
    for (const Entry& entry : entries) {
        ziptest::EntryPlan plan(entry.name, entry.data);
        plan.time = 0;
        plan.date = 0x21;
        plan.versionMadeBy = entry.madeBy;
        plan.externalAttributes = entry.attributes;
        plans.push_back(std::move(plan));
    }
    return ziptest::build(plans).bytes;
}

// A scratch folder with the archive in it and an empty destination folder beside it.
struct Scene {
    explicit Scene(const std::vector<Entry>& entries) {
        zipPath = scratch / "hostile.zip";
        testsupport::writeFile(zipPath, storedZip(entries));
        destination = scratch / "dest";
        fs::create_directory(fs::path(destination));
    }
    // The scratch tree without the archive itself.
    std::vector<std::string> tree() const {
        std::vector<std::string> entries = traversal::tree(scratch.path());
        entries.erase(std::remove(entries.begin(), entries.end(), "hostile.zip"), entries.end());
        return entries;
    }
    TempDir scratch;
    std::string zipPath;
    std::string destination;
};

void extract(const Scene& scene, vessel5::Archive& archive) {
    archive.setDestinationFolder(scene.destination);
    archive.open(scene.zipPath);
    archive.decode();
    archive.close();
}

TEST(HostileArchive, EveryEntryLandsInsideTheDestination) {
    for (const traversal::Landing& c : traversal::cases()) {
        SCOPED_TRACE(c.stored);
        const bool folder = c.stored.back() == '/';
        Scene scene(std::vector<Entry>{{c.stored, folder ? "" : "payload"}});
        vessel5::Archive archive;
        extract(scene, archive);
        EXPECT_EQ(scene.tree(), traversal::expectedTree(c.landed));
        if (!folder) {
            EXPECT_EQ(testsupport::readFile(scene.destination + platform::kSeparator +
                                            fs::path(c.landed).make_preferred().string()),
                      testsupport::bytes("payload"));
        }
    }
}

TEST(HostileArchive, AllNamesInOneArchiveStayInside) {
    std::vector<Entry> entries;
    for (const traversal::Landing& c : traversal::cases()) {
        entries.push_back({c.stored, c.stored.back() == '/' ? "" : "x"});
    }
    Scene scene(entries);
    vessel5::Archive archive;
    extract(scene, archive);
    for (const std::string& entry : scene.tree()) {
        EXPECT_EQ(entry.rfind("dest/", 0), 0u) << entry;
    }
}

TEST(HostileArchive, AFileEntryWithoutAUsableNameIsSkippedAndTheRestExtracts) {
    Scene scene(std::vector<Entry>{{"first.txt", "1"}, {"../..", "2"}, {"last.txt", "3"}});
    vessel5::Archive archive;
    EXPECT_NO_THROW(extract(scene, archive));
    EXPECT_EQ(scene.tree(), (std::vector<std::string>{"dest/", "dest/first.txt", "dest/last.txt"}));
}

bool redirectOutside(std::uint64_t, void* user) {
    auto* archive = static_cast<vessel5::Archive*>(user);
    const std::string& name = archive->currentItem().name;
    archive->currentItem().name = name.substr(0, name.rfind(platform::kSeparator)) +
                                  platform::kSeparator + ".." + platform::kSeparator + "beside.txt";
    return true;
}

TEST(HostileArchive, OutputPathChangedByAHandlerMustStayInside) {
    Scene scene(std::vector<Entry>{{"a.txt", "1"}});
    vessel5::Archive archive;
    archive.onItemStarted(redirectOutside, &archive);
    EXPECT_THROW(extract(scene, archive), brindle5::exception::Output);
    EXPECT_EQ(scene.tree(), std::vector<std::string>{"dest/"});
}

}  // namespace

namespace {

TEST(UnixPermissions, BitsRecordedOnUnixAreAppliedWithoutSetIdOrSticky) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no Unix permission bits";
#else
    const std::uint16_t unix = 3 << 8 | 20;
    Scene scene({{"setup.sh", "#!/bin/sh\n", unix, 0100755u << 16},
                 {"private.txt", "p", unix, 0100640u << 16},
                 {"setid.sh", "s", unix, 0106755u << 16},
                 {"dos.txt", "d", 20, 0x20}});
    struct UsualMask {
        UsualMask() : saved(::umask(022)) {}
        ~UsualMask() { ::umask(saved); }
        mode_t saved;
    } mask;
    vessel5::Archive archive;
    vessel5::keepUnixPermissions(archive);
    extract(scene, archive);
    auto mode = [&](const std::string& name) {
        return fs::status(fs::path(scene.destination) / name).permissions();
    };
    using P = fs::perms;
    // With the usual umask 022 the bits recorded here pass unchanged.
    EXPECT_EQ(mode("setup.sh"),
              P::owner_all | P::group_read | P::group_exec | P::others_read | P::others_exec);
    EXPECT_EQ(mode("private.txt"), P::owner_read | P::owner_write | P::group_read);
    EXPECT_EQ(mode("setid.sh") & (P::set_uid | P::set_gid | P::sticky_bit), P::none);
    // A file from a system without such bits keeps what file creation gave it.
    EXPECT_EQ(mode("dos.txt") & P::owner_exec, P::none);
#endif
}

}  // namespace
