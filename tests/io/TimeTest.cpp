#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "IoTestSupport.h"
#include "base/Exception.h"
#include "io/FatTime.h"
#include "io/File.h"
#include "io/TimeUnits.h"
#include "platform/FileSystem.h"
#include "tests/support/TestSupport.h"

using iotest::staleHandle;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// 2021-09-09 01:46:40 UTC plus a fraction, a time no fresh file carries.
constexpr std::uint64_t kSomeTicks = io::ticksFromSeconds(1631152000) + 1234567;

}  // namespace

TEST(TimeUnits, SecondsAndTicks) {
    EXPECT_EQ(io::ticksFromSeconds(0), 116444736000000000u);
    EXPECT_EQ(io::secondsFromTicks(116444736000000000u), 0u);
    EXPECT_EQ(io::secondsFromTicks(116444736000000000u + 19999999), 1u);  // truncated
    EXPECT_EQ(io::ticksFromSeconds(0xFFFFFFFF), (0xFFFFFFFFull + 11644473600ull) * 10000000);
    EXPECT_EQ(io::secondsFromTicks(io::ticksFromSeconds(1700000000)), 1700000000u);
}

TEST(FileTimes, TicksRoundTripByPathAndByHandle) {
    TempDir dir;
    std::string path = dir / "t.txt";
    writeFile(path, "t");
    io::File byPath(path);
    byPath.setModificationFileTime(kSomeTicks);
    byPath.setAccessFileTime(kSomeTicks + 10000000);
    EXPECT_EQ(byPath.modificationFileTime(), kSomeTicks);
    EXPECT_EQ(byPath.accessFileTime(), kSomeTicks + 10000000);
    EXPECT_NE(byPath.creationFileTime(), 0u);

    io::File open(path);
    open.openRW();
    open.setModificationFileTime(kSomeTicks + 20000000);
    EXPECT_EQ(open.modificationFileTime(), kSomeTicks + 20000000);
    open.close();
    EXPECT_EQ(byPath.modificationFileTime(), kSomeTicks + 20000000);
    EXPECT_EQ(byPath.modificationTime(), io::secondsFromTicks(kSomeTicks + 20000000));
}

TEST(FileTimes, SecondsSetters) {
    TempDir dir;
    std::string path = dir / "s.txt";
    writeFile(path, "s");
    io::File file(path);
    file.setModificationTime(1000000000);
    file.setAccessTime(1100000000);
    // Not every file system keeps a settable creation time; the request is accepted anyway.
    EXPECT_NO_THROW(file.setCreationTime(900000000));
    EXPECT_EQ(file.modificationTime(), 1000000000u);
    EXPECT_EQ(file.modificationFileTime(), io::ticksFromSeconds(1000000000));
    EXPECT_EQ(file.accessTime(), 1100000000u);
}

// Folders have times too: their handles are opened with backup semantics.
TEST(FileTimes, Folders) {
    TempDir dir;
    io::File folder(dir.path());
    EXPECT_NE(folder.creationFileTime(), 0u);
    folder.setModificationFileTime(kSomeTicks);
    EXPECT_EQ(folder.modificationFileTime(), kSomeTicks);
    EXPECT_EQ(folder.modificationTime(), io::secondsFromTicks(kSomeTicks));
}

// While another holds the file, the seconds getter still answers (where the system refuses a
// second handle, from the runtime's status of the path).
TEST(FileTimes, SecondsGetterAnswersForAHeldFile) {
    TempDir dir;
    std::string path = dir / "held.txt";
    io::File holder;
    holder.create(path);
    holder.setModificationFileTime(io::ticksFromSeconds(1234567890));
    io::File other(path);
    EXPECT_EQ(other.modificationTime(), 1234567890u);
    holder.close();
}

TEST(FileTimes, MissingPathFailsInTicksAndQuietlyInSeconds) {
    TempDir dir;
    std::string missing = dir / "missing.txt";
    io::File file(missing);
    const std::vector<std::function<void()>> tickOperations = {
        [&] { file.creationFileTime(); },
        [&] { file.modificationFileTime(); },
        [&] { file.accessFileTime(); },
        [&] { file.setCreationFileTime(kSomeTicks); },
        [&] { file.setModificationFileTime(kSomeTicks); },
        [&] { file.setAccessFileTime(kSomeTicks); },
    };
    for (std::size_t i = 0; i < tickOperations.size(); ++i) {
        SCOPED_TRACE(i);
        try {
            tickOperations[i]();
            ADD_FAILURE() << "no exception";
        } catch (const io::Exception& e) {
            EXPECT_EQ(e.message(), "cannot open " + missing);
        }
    }
    EXPECT_EQ(file.modificationTime(), 0u);
    EXPECT_EQ(file.accessTime(), 0u);
    EXPECT_EQ(file.creationTime(), 0u);
    EXPECT_NO_THROW(file.setCreationTime(1));
    EXPECT_NO_THROW(file.setModificationTime(1));
    EXPECT_NO_THROW(file.setAccessTime(1));
    EXPECT_FALSE(file.exists());
}

TEST(FileTimes, FailingHandleNamesTheTimeAndThePath) {
    TempDir dir;
    std::string path = dir / "h.txt";
    writeFile(path, "h");
    struct Case {
        std::function<void(io::File&)> action;
        std::string message;
    };
    const std::vector<Case> cases = {
        {[](io::File& f) { f.creationFileTime(); }, "cannot get the creation time of "},
        {[](io::File& f) { f.modificationFileTime(); }, "cannot get the modification time of "},
        {[](io::File& f) { f.accessFileTime(); }, "cannot get the access time of "},
        {[](io::File& f) { f.setCreationFileTime(kSomeTicks); },
         "cannot set the creation time of "},
        {[](io::File& f) { f.setModificationFileTime(kSomeTicks); },
         "cannot set the modification time of "},
        {[](io::File& f) { f.setAccessFileTime(kSomeTicks); }, "cannot set the access time of "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        io::File file(staleHandle(path), path);
        try {
            c.action(file);
            ADD_FAILURE() << "no exception";
        } catch (const io::Exception& e) {
            EXPECT_EQ(e.message(), c.message + path);
        }
    }
}

TEST(Attributes, ReadOnlyAndTheOtherFlags) {
    TempDir dir;
    std::string path = dir / "a.txt";
    writeFile(path, "a");
    io::File file(path);
    EXPECT_FALSE(file.isReadOnly());
    EXPECT_FALSE(file.isHidden());
    EXPECT_FALSE(file.isSystem());
    EXPECT_EQ(file.attributes() & platform::kAttributeDirectory, 0u);

    file.setReadOnly(true);
    EXPECT_TRUE(file.isReadOnly());
    EXPECT_NE(file.attributes() & platform::kAttributeReadOnly, 0u);
    // Setting another flag keeps the read-only one.
    file.setHidden(true);
    file.setSystem(true);
    file.setArchive(true);
    EXPECT_TRUE(file.isReadOnly());
#ifdef _WIN32
    EXPECT_TRUE(file.isHidden());
    EXPECT_TRUE(file.isSystem());
    EXPECT_TRUE(file.isArchive());
#else
    // No counterpart: accepted, and nothing changes.
    EXPECT_FALSE(file.isHidden());
    EXPECT_FALSE(file.isSystem());
    EXPECT_FALSE(file.isArchive());
#endif
    file.setHidden(false);
    file.setSystem(false);
    EXPECT_FALSE(file.isHidden());
    EXPECT_TRUE(file.isReadOnly());

    file.setAttributes(0);  // changes nothing
    EXPECT_TRUE(file.isReadOnly());
    file.clearAttributes();
    EXPECT_FALSE(file.isReadOnly());
    file.setAttributes(platform::kAttributeReadOnly);
    EXPECT_TRUE(file.isReadOnly());
    file.setReadOnly(false);
    EXPECT_FALSE(file.isReadOnly());

    io::File folder(dir.path());
    EXPECT_NE(folder.attributes() & platform::kAttributeDirectory, 0u);
    EXPECT_FALSE(folder.isReadOnly());
    EXPECT_EQ(file.spare(), 0u);
}

TEST(Attributes, MissingPath) {
    TempDir dir;
    std::string missing = dir / "missing";
    io::File file(missing);
    EXPECT_EQ(file.attributes(), platform::kInvalidAttributes);
    file.clearAttributes();  // never throw
    file.setAttributes(platform::kAttributeHidden);
    const std::vector<std::function<void()>> flagOperations = {
        [&] { file.isReadOnly(); },      [&] { file.isArchive(); },
        [&] { file.isSystem(); },        [&] { file.isHidden(); },
        [&] { file.setReadOnly(true); }, [&] { file.setArchive(false); },
        [&] { file.setSystem(true); },   [&] { file.setHidden(false); },
    };
    for (std::size_t i = 0; i < flagOperations.size(); ++i) {
        SCOPED_TRACE(i);
        try {
            flagOperations[i]();
            ADD_FAILURE() << "no exception";
        } catch (const io::Exception& e) {
            EXPECT_EQ(e.message(), "cannot get the attributes of " + missing);
        }
    }
}

// One table for both backends: the Windows call is the reference for what is accepted and for
// the ticks it gives (a local time; 29 February passes in every year).
TEST(FatTime, AcceptsAndRefusesLikeTheWindowsCall) {
    struct Case {
        const char* what;
        std::uint16_t date, time;
        bool valid;
        std::uint64_t local;
    };
    const std::vector<Case> cases = {
        {"1980-01-01 00:00:00", 0x0021, 0x0000, true, 119600064000000000},
        {"2024-06-15 13:45:30", 0x58CF, 0x6DAF, true, 133629327300000000},
        {"2107-12-31 23:59:58", 0xFF9F, 0xBF7D, true, 159992927980000000},
        {"2107-01-01 (year 127)", 0xFE21, 0x0000, true, 159677568000000000},
        {"2000-01-01 00:00:58", 0x2821, 0x001D, true, 125911584580000000},
        {"2000-01-31", 0x283F, 0x0000, true, 125937504000000000},
        {"2000-04-30", 0x289E, 0x0000, true, 126015264000000000},
        {"2000-02-29 (leap)", 0x285D, 0x0000, true, 125962560000000000},
        {"2024-02-29 (leap)", 0x585D, 0x0000, true, 133536384000000000},
        {"2001-02-29 is 2001-03-01", 0x2A5D, 0x0000, true, 126278784000000000},
        {"2100-02-29 is 2100-03-01", 0xF05D, 0x0000, true, 157520160000000000},
        {"month 0", 0x2801, 0x0000, false, 0},
        {"month 13", 0x29A1, 0x0000, false, 0},
        {"month 15", 0x29E1, 0x0000, false, 0},
        {"day 0", 0x2820, 0x0000, false, 0},
        {"2000-02-30", 0x285E, 0x0000, false, 0},
        {"2000-04-31", 0x289F, 0x0000, false, 0},
        {"hour 24", 0x2821, 0xC000, false, 0},
        {"hour 31", 0x2821, 0xF800, false, 0},
        {"minute 60", 0x2821, 0x0780, false, 0},
        {"minute 63", 0x2821, 0x07E0, false, 0},
        {"seconds field 30", 0x2821, 0x001E, false, 0},
        {"seconds field 31", 0x2821, 0x001F, false, 0},
        {"all zero", 0x0000, 0x0000, false, 0},
    };
    bool first = true;
    std::uint64_t offset = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            io::FatTime time(c.date, c.time);
            EXPECT_TRUE(c.valid);
            EXPECT_EQ(time.local(), c.local);
            // Every value moves by the zone's current offset, the same for all.
            std::uint64_t moved = time.local() - time.utc();
            if (first) {
                offset = moved;
                first = false;
            }
            EXPECT_EQ(moved, offset);
        } catch (const generic::exception& e) {
            EXPECT_FALSE(c.valid);
            EXPECT_EQ(e.kind(), "FAT time");
            EXPECT_EQ(e.message(), "failed to convert FAT time to local time");
        }
    }
    const char* zone = std::getenv("TZ");
    if (zone != nullptr && std::string(zone) == "UTC") {
        EXPECT_EQ(offset, 0u);
    }
}

#ifndef _WIN32
// The direction of the zone's offset: a DOS time is local, so east of Greenwich the UTC instant
// is earlier and west of it later. Under TZ=UTC a wrong sign goes unseen, so the zones are set
// here (POSIX TZ strings: no DST, no time-zone database needed; the sign in them is west-positive).
TEST(FatTime, LocalTimeMovesToUtcAgainstTheZoneOffset) {
    const std::uint16_t date = 0x58CF;       // 2024-06-15
    const std::uint16_t time = 0x6DAF;       // 13:45:30
    const std::uint32_t asUtc = 1718459130;  // 2024-06-15 13:45:30 UTC, in seconds since 1970
    struct Case {
        const char* zone;
        std::int32_t offsetSeconds;  // east of UTC positive
    };
    const std::vector<Case> cases = {
        {"JST-9", 9 * 3600},
        {"EST5", -5 * 3600},
        {"NPT-5:45", 5 * 3600 + 45 * 60},
        {"UTC0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        testsupport::ScopedTimeZone zone(c.zone);
        io::FatTime fat(date, time);
        EXPECT_EQ(fat.local(), io::ticksFromSeconds(asUtc));
        EXPECT_EQ(fat.utc(), io::ticksFromSeconds(asUtc - c.offsetSeconds));
    }
}
#endif
