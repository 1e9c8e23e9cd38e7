// Extraction by several threads against the one-thread run: the same files, names, times, events
// and failures, and nothing left half written after a failure or a cancel. Each case runs with
// four worker threads, so that the entries really overlap (also under ThreadSanitizer).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "archive/Archive.h"
#include "tests/format/zip/ZipTestSupport.h"
#include "tests/support/ZipBuilder.h"

using ziptest::build;
using ziptest::EntryPlan;
using ziptest::Extraction;

namespace {

using Tree = std::map<std::string, std::string>;

constexpr unsigned kThreads = 4;

// Deflate data made of stored blocks: the Inflate decoder runs over it like over any deflated
// entry.
std::string storedDeflate(const std::string& data) {
    std::string out;
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(data.size() - at, 0xFFFF);
        const bool last = at + length == data.size();
        out += static_cast<char>(last ? 1 : 0);
        testsupport::put16(out, static_cast<std::uint32_t>(length));
        testsupport::put16(out, static_cast<std::uint32_t>(~length & 0xFFFF));
        out.append(data, at, length);
        at += length;
    } while (at < data.size());
    return out;
}

EntryPlan deflated(const std::string& name, const std::string& data) {
    EntryPlan plan(name, data);
    plan.method = 8;
    plan.payload = storedDeflate(data);
    plan.usePayload = true;
    return plan;
}

// Data that differs from entry to entry and from place to place.
std::string dataOf(std::size_t index, std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>('a' + (i * 7 + index * 13 + i / 251) % 26);
    }
    return data;
}

// Many files of mixed sizes and methods below one folder, some encrypted (under the empty
// password), each with its own time; then `collisions` entries that all name "same.txt".
std::vector<EntryPlan> manyEntries(std::size_t files, std::size_t collisions = 0) {
    const std::size_t sizes[] = {0, 1, 700, 70000, 150000, 3000};
    std::vector<EntryPlan> entries = {{"docs/", ""}};
    for (std::size_t i = 0; i < files; ++i) {
        const std::string name = "docs/f" + std::to_string(i) + ".txt";
        const std::string data = dataOf(i, sizes[i % 6]);
        EntryPlan plan = i % 3 == 1 ? deflated(name, data) : EntryPlan(name, data);
        plan.encrypt = i % 7 == 5;
        plan.time = static_cast<std::uint16_t>(0x6000 + (i % 30));
        plan.date = static_cast<std::uint16_t>(0x5A81 + i % 20);
        entries.push_back(plan);
    }
    for (std::size_t i = 0; i < collisions; ++i) {
        entries.push_back(deflated("same.txt", "copy " + std::to_string(i)));
    }
    return entries;
}

// What a run shows: its result, the tree, each file's time, the handlers' events and the files it
// reports written.
struct Outcome {
    std::string result;
    Tree tree;
    std::map<std::string, std::filesystem::file_time_type> times;
    std::vector<std::string> log;
    std::vector<std::string> started;
    std::vector<std::string> written;
    std::vector<std::uint64_t> progress;
};

// `prepare` may put files in the destination first.
Outcome extract(const std::string& bytes, unsigned threads, int cancelAt = -1,
                const std::function<void(const std::string& out)>& prepare = nullptr) {
    Extraction x(bytes);
    x.archive().settings().threads = threads;
    x.events().cancelProgressAt = cancelAt;
    if (prepare) {
        prepare(x.out());
    }
    Outcome outcome;
    outcome.result = x.run();
    outcome.tree = x.tree();
    outcome.log = x.events().log;
    for (const std::string& name : x.events().itemNames) {
        outcome.started.push_back(std::filesystem::relative(name, x.out()).generic_string());
    }
    for (const vessel5::WrittenFile& file : x.archive().writtenFiles()) {
        const std::string relative = std::filesystem::relative(file.path, x.out()).generic_string();
        outcome.written.push_back(file.storedName + " -> " + relative);
        outcome.times[relative] = std::filesystem::last_write_time(file.path);
    }
    outcome.progress = x.events().progress;
    return outcome;
}

std::uint64_t totalSize(const std::vector<EntryPlan>& entries) {
    std::uint64_t total = 0;
    for (const EntryPlan& entry : entries) {
        total += entry.data.size();
    }
    return total;
}

void expectSameAsOneThread(const Outcome& one, const Outcome& many, const std::string& what) {
    EXPECT_EQ(many.result, one.result) << what;
    EXPECT_EQ(many.tree, one.tree) << what;
    EXPECT_EQ(many.times.size(), one.times.size()) << what;
    for (const auto& time : one.times) {
        EXPECT_TRUE(many.times.count(time.first) && many.times.at(time.first) == time.second)
            << what << ": " << time.first;
    }
    EXPECT_EQ(many.log, one.log) << what;
    // Entries after a failure may have started on other threads (their files are gone again):
    // what one thread started comes first, in the same order.
    ASSERT_GE(many.started.size(), one.started.size()) << what;
    EXPECT_TRUE(std::equal(one.started.begin(), one.started.end(), many.started.begin())) << what;
    if (one.result.empty()) {
        EXPECT_EQ(many.started.size(), one.started.size()) << what;
    }
    EXPECT_EQ(many.written, one.written) << what;
}

}  // namespace

TEST(ParallelExtractionTest, WritesTheSameFilesNamesTimesAndEventsAsOneThread) {
    const std::vector<EntryPlan> entries = manyEntries(60, 12);
    const std::string bytes = build(entries).bytes;
    // A name taken before the run: every colliding entry moves on to a numbered name.
    auto taken = [](const std::string& out) {
        testsupport::writeFile(testsupport::join(out, "same.txt"), "there before");
    };
    const Outcome one = extract(bytes, 1, -1, taken);
    const Outcome many = extract(bytes, kThreads, -1, taken);
    ASSERT_EQ(one.result, "");
    expectSameAsOneThread(one, many, "four threads");

    // The tree is the archive's, not merely the same twice.
    EXPECT_EQ(many.tree.size(), 1u + 60u + 12u + 1u);
    for (std::size_t i = 0; i < 60; ++i) {
        const std::string name = "docs/f" + std::to_string(i) + ".txt";
        EXPECT_EQ(many.tree.at(name), entries[1 + i].data) << name;
    }
    EXPECT_EQ(many.tree.at("same.txt"), "there before");
    // Each colliding entry in a file of its own, numbered in directory order as on one thread.
    ASSERT_EQ(many.written.size(), 72u);
    for (std::size_t i = 0; i < 12; ++i) {
        const std::string& written = many.written[60 + i];
        const std::string path = written.substr(written.find(" -> ") + 4);
        EXPECT_NE(path, "same.txt");
        EXPECT_EQ(many.tree.count(path) ? many.tree.at(path) : "(missing)",
                  "copy " + std::to_string(i));
    }
    EXPECT_EQ(std::count(many.log.begin(), many.log.end(), "itemDone"), 72);

    // Progress counts every worker's bytes: it never goes back and ends at the whole.
    ASSERT_FALSE(many.progress.empty());
    EXPECT_TRUE(std::is_sorted(many.progress.begin(), many.progress.end()));
    EXPECT_EQ(many.progress.back(), totalSize(entries));
}

TEST(ParallelExtractionTest, AFailedEntryEndsTheRunWithTheFailureOneThreadReports) {
    struct Case {
        std::string name;
        std::function<void(std::vector<EntryPlan>&)> damage;
        std::string message;
    };
    const std::string badBlock = std::string(1, '\x07');  // a final block of the reserved type
    const Case cases[] = {
        {"a damaged deflated entry in the middle",
         [&](std::vector<EntryPlan>& e) { e[20].payload = badBlock; }, "for docs/f19.txt"},
        {"a wrong CRC on a large entry, then an entry that fails at once",
         [&](std::vector<EntryPlan>& e) {
             e[20] = EntryPlan("docs/big.bin", dataOf(99, 3 << 20));
             e[20].alterCentral = [](format::zip::CentralHeader& c) { c.crc ^= 1; };
             e[20].alterLocal = [](format::zip::LocalHeader& l) { l.crc ^= 1; };
             e[22] = deflated("docs/quick.txt", "quick");
             e[22].payload = badBlock;
         },
         "CRC mismatch in zip reader"},
        {"stored data cut short",
         [&](std::vector<EntryPlan>& e) {
             e[30].descriptor = true;
             e[30].alterCentral = [](format::zip::CentralHeader& c) { c.compressedSize += 9; };
         },
         "size mismatch in zip reader"},
    };
    for (const Case& c : cases) {
        std::vector<EntryPlan> entries = manyEntries(40);
        c.damage(entries);
        const std::string bytes = build(entries).bytes;
        const Outcome one = extract(bytes, 1);
        const Outcome many = extract(bytes, kThreads);
        EXPECT_NE(one.result.find(c.message), std::string::npos) << c.name << ": " << one.result;
        expectSameAsOneThread(one, many, c.name);
        EXPECT_EQ(std::count(many.log.begin(), many.log.end(), "itemFailed"), 1) << c.name;
    }
}

TEST(ParallelExtractionTest, ACancelLeavesOnlyWholeFilesOfEntriesInOrder) {
    std::vector<EntryPlan> entries;
    for (std::size_t i = 0; i < 40; ++i) {
        entries.push_back(deflated("f" + std::to_string(100 + i) + ".bin", dataOf(i, 200000)));
    }
    const std::string bytes = build(entries).bytes;
    for (int cancelAt : {0, 3, 20}) {
        const Outcome many = extract(bytes, kThreads, cancelAt);
        const std::string what = "cancel at progress call " + std::to_string(cancelAt);
        EXPECT_EQ(many.result, "Evacuation exception: .") << what;
        // The files left are the first entries, each whole, and exactly those reported written.
        std::size_t i = 0;
        for (const auto& file : many.tree) {
            ASSERT_LT(i, entries.size()) << what;
            EXPECT_EQ(file.first, entries[i].name) << what;
            EXPECT_TRUE(file.second == entries[i].data) << what << ": " << file.first;
            ++i;
        }
        EXPECT_LT(i, entries.size()) << what;
        EXPECT_EQ(many.written.size(), i) << what;
        EXPECT_EQ(std::count(many.log.begin(), many.log.end(), "itemDone"),
                  static_cast<std::ptrdiff_t>(i))
            << what;
    }
}

TEST(ParallelExtractionTest, SkippedEntriesAndAnObjectingFailureHandlerAsOnOneThread) {
    // Entries the handler skips are counted in the progress and never written; a failure handler
    // that objects keeps the failed entry's partial file, as on one thread.
    std::vector<EntryPlan> entries = manyEntries(20);
    entries[10].alter = [](std::string& data) { data[0] ^= 1; };
    const std::string bytes = build(entries).bytes;
    for (bool keep : {false, true}) {
        Outcome outcomes[2];
        const unsigned threads[2] = {1, kThreads};
        for (int k = 0; k < 2; ++k) {
            Extraction x(bytes);
            x.archive().settings().threads = threads[k];
            x.events().answerItemFailed = !keep;
            outcomes[k].result = x.run();
            outcomes[k].tree = x.tree();
            outcomes[k].log = x.events().log;
        }
        EXPECT_EQ(outcomes[1].result, outcomes[0].result) << keep;
        EXPECT_EQ(outcomes[1].tree, outcomes[0].tree) << keep;
        EXPECT_EQ(outcomes[1].log, outcomes[0].log) << keep;
        EXPECT_EQ(outcomes[1].tree.count("docs/f9.txt"), keep ? 1u : 0u) << keep;
    }

    Extraction skipped(bytes);
    skipped.archive().settings().threads = kThreads;
    skipped.events().answerItemStarted = false;
    EXPECT_EQ(skipped.run(), "");
    EXPECT_EQ(skipped.tree(), (Tree{{"docs/", ""}}));
    EXPECT_EQ(skipped.events().progress.back(), totalSize(entries));
}
