// Encrypted entries written by the tool's writer and read back by the stub's reader: AES-256
// and the traditional cipher, the password asked for and checked before anything is written,
// three questions at most, entries under different passwords, and data or codes altered.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "archive/Archive.h"
#include "base/Exception.h"
#include "format/zip/ExtraFields.h"
#include "format/zip/LocalHeader.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ZipCheck.h"
#include "tools/zipsfx/ZipWriter.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::writeFile;
using tools::Encryption;

std::string noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (char& c : data) {
        c = static_cast<char>(random());
    }
    return data;
}

std::string text(std::size_t lines) {
    std::string t;
    for (std::size_t i = 0; i < lines; ++i) {
        t += "line " + std::to_string(i) + " of a text that deflate shrinks\n";
    }
    return t;
}

std::string readText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// Files to zip: one that deflates, one that is stored, an empty one.
struct Sources {
    TempDir dir;
    std::string root = dir / "tree";
    Sources() {
        fs::create_directories(root);
        writeFile(root + "/a.txt", text(3000));
        writeFile(root + "/b.bin", noise(70000, 7));
        writeFile(root + "/c.txt", std::string());
    }
};

// One password (and encryption) per source file, in the order collectSources gives them.
struct Protection {
    Encryption encryption;
    std::string password;
};

std::string zipTo(const std::string& path, const std::string& root,
                  const std::vector<Protection>& protections, int level = 6,
                  tools::Method method = tools::Method::Deflate) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
    std::ostringstream log;
    tools::ZipWriter writer(file, level, nullptr);
    writer.setMethod(method);
    std::size_t files = 0;
    for (const auto& source : tools::collectSources({root}, log)) {
        if (!source.folder) {
            const Protection& p = protections[std::min(files++, protections.size() - 1)];
            writer.encryptWith(p.encryption, p.password);
        }
        writer.add(source);
    }
    writer.finish();
    const std::uint64_t end = writer.end();
    file.close();
    fs::resize_file(path, end);
    return path;
}

// An extraction with a scripted person answering the password questions.
struct Extraction {
    Extraction(std::string zipPath, std::string folder, std::string password,
               std::vector<std::string> typed = {}, bool personThere = true)
        : zip(std::move(zipPath)),
          destination(std::move(folder)),
          given(std::move(password)),
          answers(std::move(typed)),
          canAsk(personThere) {}

    std::string zip;
    std::string destination;
    std::string given;                 // as -P gives it; empty: none
    std::vector<std::string> answers;  // what the person types, in order
    bool canAsk = true;
    // What the questions were about: the entry and the number of wrong passwords before.
    std::vector<std::pair<std::string, std::uint64_t>> asked;

    static bool onPasswordWanted(std::uint64_t wrong, void* user) {
        auto* run = static_cast<Extraction*>(user);
        run->asked.emplace_back(run->archive->passwordEntry(), wrong);
        if (!run->canAsk || run->asked.size() > run->answers.size()) {
            return false;
        }
        run->archive->setPassword(run->answers[run->asked.size() - 1]);
        return true;
    }

    vessel5::Archive* archive = nullptr;

    // The failure's text, or empty.
    std::string go() {
        vessel5::Archive a;
        archive = &a;
        a.onPasswordWanted(onPasswordWanted, this);
        a.setPassword(given);
        fs::create_directories(destination);
        a.setDestinationFolder(destination);
        try {
            a.open(zip);
            a.decode();
            a.close();
        } catch (const generic::exception& e) {
            return generic::describe(e);
        }
        return std::string();
    }
};

std::size_t filesIn(const std::string& folder) {
    std::size_t count = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        count += e.is_regular_file() ? 1 : 0;
    }
    return count;
}

void expectSameFiles(const std::string& root, const std::string& extracted) {
    for (const char* name : {"a.txt", "b.bin", "c.txt"}) {
        EXPECT_EQ(testsupport::readFile(extracted + "/tree/" + name),
                  testsupport::readFile(root + "/" + name))
            << name;
    }
}

TEST(EncryptionTest, WrittenEntriesReadBackWithTheirPasswordAndCarryTheirRecords) {
    struct Case {
        Encryption encryption;
        int level;
    };
    for (const Case c : {Case{Encryption::Aes256, 6}, Case{Encryption::Aes256, 0},
                         Case{Encryption::ZipCrypto, 6}, Case{Encryption::ZipCrypto, 0}}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.encryption)) + " level " +
                     std::to_string(c.level));
        Sources s;
        // A non-ASCII password: its UTF-8 bytes are the password.
        const std::string zip =
            zipTo(s.dir / "e.zip", s.root, {{c.encryption, "p\xC3\xA4ss w\xC3\xB6rd"}}, c.level);
        for (const auto& e : testsupport::readZipDirectory(zip, 0).entries) {
            if (e.name.back() == '/') {
                EXPECT_EQ(e.flags & format::zip::kFlagEncrypted, 0) << e.name;
                continue;
            }
            EXPECT_EQ(e.flags & format::zip::kFlagEncrypted, format::zip::kFlagEncrypted);
            format::zip::AesExtra aes;
            const bool hasAes = format::zip::findAesExtra(e.extra, aes);
            if (c.encryption == Encryption::Aes256) {
                ASSERT_TRUE(hasAes) << e.name;
                EXPECT_EQ(e.method, 99);
                EXPECT_EQ(e.versionNeeded, 51);
                EXPECT_EQ(aes.version, 2);  // AE-2: no CRC-32
                EXPECT_EQ(aes.strength, 3);
                EXPECT_EQ(e.crc, 0u);
                // Salt (16), verifier (2) and code (10) around the data.
                EXPECT_GE(e.compressedSize, 28u);
            } else {
                EXPECT_FALSE(hasAes);
                EXPECT_NE(e.method, 99);
                EXPECT_GE(e.compressedSize, 12u);
            }
        }
        Extraction run(zip, s.dir / "out", "p\xC3\xA4ss w\xC3\xB6rd");
        EXPECT_EQ(run.go(), "");
        EXPECT_TRUE(run.asked.empty());
        expectSameFiles(s.root, run.destination);
    }
}

// Encryption goes on top of whatever method compresses: LZMA inside AES names LZMA in its AES
// field and needs 6.3, a stored file stays encrypted.
TEST(EncryptionTest, EveryMethodIsEncrypted) {
    struct Case {
        tools::Method method;
        Encryption encryption;
    };
    for (const Case c : {Case{tools::Method::Lzma, Encryption::Aes256},
                         Case{tools::Method::Lzma, Encryption::ZipCrypto},
                         Case{tools::Method::Store, Encryption::Aes256},
                         Case{tools::Method::Store, Encryption::ZipCrypto}}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.method)) + " " +
                     std::to_string(static_cast<int>(c.encryption)));
        if (c.method == tools::Method::Lzma && !ZIPSFX_HAVE_LZMA) {
            continue;  // the stored rows still run; this build of the tool writes no LZMA
        }
        Sources s;
        const std::string zip = zipTo(s.dir / "e.zip", s.root, {{c.encryption, "pw"}}, 6, c.method);
        for (const auto& e : testsupport::readZipDirectory(zip, 0).entries) {
            if (e.name.back() == '/') {
                continue;
            }
            EXPECT_EQ(e.flags & format::zip::kFlagEncrypted, format::zip::kFlagEncrypted) << e.name;
            const bool lzma = c.method == tools::Method::Lzma && e.name == "tree/a.txt";
            format::zip::AesExtra aes;
            if (c.encryption == Encryption::Aes256) {
                ASSERT_TRUE(format::zip::findAesExtra(e.extra, aes)) << e.name;
                EXPECT_EQ(e.method, 99);
                EXPECT_EQ(aes.method, lzma ? 14 : 0) << e.name;
                EXPECT_EQ(e.versionNeeded, lzma ? 63 : 51) << e.name;
            } else {
                EXPECT_EQ(e.method, lzma ? 14 : 0) << e.name;
            }
        }
        Extraction run(zip, s.dir / "out", "pw");
        EXPECT_EQ(run.go(), "");
        expectSameFiles(s.root, run.destination);
    }
}

TEST(EncryptionTest, APasswordIsSettledBeforeAnythingIsWritten) {
    struct Case {
        const char* name;
        std::string given;
        std::vector<std::string> answers;
        bool canAsk;
        std::string message;  // empty: extracted
        std::size_t questions;
    };
    const std::string needed =
        "Password exception: a password is needed for tree/a.txt in zip "
        "reader.";
    const std::string wrong = "Password exception: wrong password for tree/a.txt in zip reader.";
    const Case cases[] = {
        {"nothing given, no one to ask", "", {}, false, needed, 1},
        {"a wrong password given, no one to ask", "nope", {}, false, wrong, 1},
        {"three wrong answers", "", {"x", "y", "z", "right"}, true, wrong, 3},
        {"the second answer fits", "", {"x", "right"}, true, "", 2},
        {"the given password fits", "right", {}, true, "", 0},
    };
    for (Encryption encryption : {Encryption::Aes256, Encryption::ZipCrypto}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            Sources s;
            const std::string zip = zipTo(s.dir / "e.zip", s.root, {{encryption, "right"}});
            Extraction run(zip, s.dir / "out", c.given, c.answers, c.canAsk);
            EXPECT_EQ(run.go(), c.message);
            ASSERT_EQ(run.asked.size(), c.questions);
            for (std::size_t i = 0; i < run.asked.size(); ++i) {
                EXPECT_EQ(run.asked[i].first, "tree/a.txt");
                EXPECT_EQ(run.asked[i].second, i);  // each question knows the wrong ones before
            }
            if (c.message.empty()) {
                expectSameFiles(s.root, run.destination);
            } else {
                // Not even the folder: the password is settled first.
                EXPECT_TRUE(fs::is_empty(run.destination));
            }
        }
    }
}

TEST(EncryptionTest, AnEntryUnderAnotherPasswordAsksAgain) {
    Sources s;
    const std::string zip = zipTo(s.dir / "e.zip", s.root,
                                  {{Encryption::Aes256, "first"},
                                   {Encryption::ZipCrypto, "second"},
                                   {Encryption::Aes256, "first"}});
    Extraction run(zip, s.dir / "out", "", {"first", "second"});
    EXPECT_EQ(run.go(), "");
    using Question = std::pair<std::string, std::uint64_t>;
    EXPECT_EQ(run.asked, (std::vector<Question>{{"tree/a.txt", 0}, {"tree/b.bin", 0}}));
    expectSameFiles(s.root, run.destination);
}

TEST(EncryptionTest, AlteredAesDataOrCodeIsADataErrorAndLeavesNoFile) {
    Sources s;
    const std::string zip = zipTo(s.dir / "e.zip", s.root, {{Encryption::Aes256, "pw"}}, 0);
    const auto directory = testsupport::readZipDirectory(zip, 0);
    const std::string original = readText(zip);
    for (const auto& e : directory.entries) {
        if (e.name != "tree/b.bin") {
            continue;
        }
        const std::size_t dataAt = e.localHeaderOffset + 30 + e.name.size() +
                                   // the local header repeats the central extra field here
                                   e.extra.size();
        const std::size_t end =
            e.localHeaderOffset + 30 + e.name.size() + e.extra.size() + e.compressedSize;
        for (std::size_t at : {dataAt + 18 + 5000, end - 1}) {  // a data byte, a code byte
            SCOPED_TRACE(at);
            std::string altered = original;
            altered[at] ^= 0x01;
            const std::string path = s.dir / "altered.zip";
            writeFile(path, altered);
            Extraction run(path, s.dir / ("out" + std::to_string(at)), "pw");
            EXPECT_EQ(run.go(),
                      "Bad data exception: authentication code mismatch in zip reader; the data "
                      "was altered or is damaged.");
            EXPECT_FALSE(fs::exists(run.destination + "/tree/b.bin"));
            EXPECT_EQ(filesIn(run.destination), 1u);  // a.txt, extracted before
        }
    }
}

// The AES field of a local header is what extraction decodes by; the central record is what the
// whole directory was judged by. A local field that names another key strength or another method
// inside refuses the archive before anything is written.
TEST(EncryptionTest, ALocalAesFieldThatDisagreesWithTheCentralOneRefusesTheArchive) {
    Sources s;
    const std::string zip = zipTo(s.dir / "e.zip", s.root, {{Encryption::Aes256, "pw"}}, 6);
    const auto directory = testsupport::readZipDirectory(zip, 0);
    const std::string original = readText(zip);
    struct Case {
        std::size_t offset;  // in the field's data: 4 the strength, 5 the method
        char value;
        std::string said;
    };
    const std::vector<Case> cases = {
        {4, 1, "AES key strength 1 instead of 3"},
        {5, 12, "method inside the AES encryption 12 instead of "},
    };
    for (const auto& e : directory.entries) {
        if (e.name != "tree/c.txt") {
            continue;
        }
        const std::size_t extraAt = e.localHeaderOffset + 30 + e.name.size();
        const std::size_t field = original.find("\x01\x99\x07\x00", extraAt);
        ASSERT_LT(field, extraAt + e.extra.size());
        for (const Case& c : cases) {
            SCOPED_TRACE(c.said);
            std::string altered = original;
            altered[field + 4 + c.offset] = c.value;
            const std::string path = s.dir / "altered.zip";
            writeFile(path, altered);
            Extraction run(path, s.dir / ("out" + std::to_string(c.offset)), "pw");
            // The method case names the one the writer chose (stored or deflated).
            const std::string method =
                c.offset == 5 ? std::to_string(int(original[field + 4 + c.offset])) : "";
            EXPECT_EQ(run.go(),
                      "Bad format exception: the local header of tree/c.txt disagrees "
                      "with the central directory in zip reader: " +
                          c.said + method + "; nothing was extracted.");
            EXPECT_EQ(filesIn(run.destination), 0u);
        }
    }
}

TEST(EncryptionTest, EveryAesEntryHasASaltOfItsOwn) {
    TempDir dir;
    fs::create_directories(dir / "t");
    writeFile(dir / "t/one", "the same content");
    writeFile(dir / "t/two", "the same content");
    const std::string zip = zipTo(dir / "e.zip", dir / "t", {{Encryption::Aes256, "pw"}});
    const std::string bytes = readText(zip);
    std::vector<std::string> salts;
    for (const auto& e : testsupport::readZipDirectory(zip, 0).entries) {
        if (e.name.back() != '/') {
            salts.push_back(
                bytes.substr(e.localHeaderOffset + 30 + e.name.size() + e.extra.size(), 16));
        }
    }
    ASSERT_EQ(salts.size(), 2u);
    EXPECT_NE(salts[0], salts[1]);
}

}  // namespace
