#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "sfx/Layout.h"
#include "base/Exception.h"
#include "format/zip/CentralHeader.h"
#include "format/zip/EndHeader.h"
#include "tests/tools/zipsfx/Images.h"
#include "stream/MemoryStream.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ZipBuilder.h"
#include "tools/zipsfx/Commands.h"
#include "tools/zipsfx/Make.h"
#include "tools/zipsfx/StubLocator.h"
#include "tools/zipsfx/ZipWriter.h"
#include "tests/support/ZipCheck.h"
#include "tools/zipsfx/AppendCheck.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::writeFile;
using tools::Destination;
using tools::MakeOptions;

MakeOptions parse(const std::vector<std::string>& args) {
    return tools::parseMakeOptions(args);
}

TEST(MakeOptions, ReadsEveryOptionInBothSpellings) {
    auto o = parse({"-o", "out.exe", "--stub", "posix", "--run", "setup.exe /q", "--destination",
                    "temp", "-l", "3", "-v", "a", "b"});
    EXPECT_EQ(o.output, "out.exe");
    EXPECT_EQ(o.stub, "posix");
    EXPECT_EQ(o.settings.run, "setup.exe /q");
    EXPECT_EQ(o.settings.destination, Destination::Temp);
    EXPECT_EQ(o.level, 3);
    EXPECT_TRUE(o.verbose);
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"a", "b"}));

    auto p = parse({"--output=x", "--level=0", "-l7", "--run=go", "--destination=D:\\Apps", "in"});
    EXPECT_EQ(p.output, "x");
    EXPECT_EQ(p.level, 7);
    EXPECT_EQ(p.settings.run, "go");
    EXPECT_EQ(p.settings.destination, Destination::Folder);
    EXPECT_EQ(p.settings.folder, "D:\\Apps");

    auto defaults = parse({"-o", "x", "--", "-dash-named-input"});
    EXPECT_EQ(defaults.stub, "windows");
    EXPECT_EQ(defaults.settings.run, "");  // nothing is started unless asked
    EXPECT_EQ(defaults.settings.destination, Destination::Current);
    EXPECT_EQ(defaults.inputs, (std::vector<std::string>{"-dash-named-input"}));

    const std::pair<const char*, Destination> words[] = {{"current", Destination::Current},
                                                         {"windows", Destination::Windows},
                                                         {"system", Destination::System},
                                                         {"temp", Destination::Temp},
                                                         {"Temp", Destination::Folder}};
    for (const auto& [word, destination] : words) {
        EXPECT_EQ(parse({"-o", "x", "--destination", word, "i"}).settings.destination, destination)
            << word;
    }
    EXPECT_TRUE(parse({"--help"}).help);
}

TEST(MakeOptions, MethodAndQuiet) {
    auto defaults = parse({"-o", "x", "in"});
    EXPECT_EQ(defaults.method, tools::Method::Deflate);
    EXPECT_FALSE(defaults.quiet);
    EXPECT_EQ(parse({"-o", "x", "--method", "store", "in"}).method, tools::Method::Store);
    EXPECT_EQ(parse({"-o", "x", "-m", "deflate", "in"}).method, tools::Method::Deflate);
    EXPECT_TRUE(parse({"-o", "x", "-q", "in"}).quiet);
    EXPECT_TRUE(parse({"-o", "x", "--quiet", "in"}).quiet);
    if (tools::methodAvailable(tools::Method::Lzma)) {
        EXPECT_EQ(parse({"-o", "x", "--method=lzma", "-l", "5", "in"}).method, tools::Method::Lzma);
        return;
    }
    // The Windows tool has no LZMA compressor and says so.
    try {
        parse({"-o", "x", "--method", "lzma", "in"});
        ADD_FAILURE() << "lzma accepted";
    } catch (const generic::exception& e) {
        EXPECT_NE(e.message().find("--method lzma is not available in this build"),
                  std::string::npos)
            << e.message();
    }
}

TEST(MakeOptions, RefusesBadArguments) {
    const std::vector<std::vector<std::string>> cases = {
        {"in"},                         // no output
        {"-o", "x"},                    // no input
        {"-o"},                         // missing value
        {"-o", "x", "--run"},           // missing value
        {"-o", "x", "-l", "10", "in"},  // level out of range
        {"-o", "x", "-l", "", "in"},
        {"-o", "x", "--level=a", "in"},
        {"-o", "x", "--run", "a", "--no-run", "in"},
        {"-o", "x", "--no-run=yes", "in"},
        {"-o", "x", "--destination", "", "in"},
        {"-o", "x", "--stub", "", "in"},
        {"-o", "x", "--frobnicate", "in"},
        {"-o", "x", "--method", "bzip2", "in"},
        {"-o", "x", "--method", "LZMA", "in"},
        {"-o", "x", "-q=1", "in"},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args) {
            joined += a + " ";
        }
        EXPECT_THROW(parse(args), generic::exception) << joined;
    }
}

// A folder with a stub (an ELF image with the settings section) and an input tree.
struct Workspace {
    TempDir dir;
    std::string stub = dir / "stub";
    std::string input = dir / "app";
    std::string output = dir / "out/app.sfx";
    std::vector<std::uint8_t> stubBytes;

    explicit Workspace(std::size_t stubSize = 3000) {
        auto image =
            images::elfImage({{".zipsfx"}, {".pad", static_cast<std::uint32_t>(stubSize)}});
        stubBytes = image.bytes;
        writeFile(stub, stubBytes);
        fs::create_directories(input + "/bin");
        fs::create_directories(dir / "out");
        writeFile(input + "/setup.sh", "#!/bin/sh\necho hi\n");
        writeFile(input + "/bin/data", std::string(5000, 'd'));
    }

    MakeOptions options() const {
        MakeOptions o;
        o.output = output;
        o.stub = stub;
        o.inputs = {input};
        return o;
    }

    // Makes the archive; returns the warnings.
    std::string make(const MakeOptions& o) const {
        std::ostringstream out;
        std::ostringstream log;
        tools::makeArchive(o, out, log);
        return log.str();
    }

    // What the output folder holds besides the output: nothing may be left behind.
    std::vector<std::string> others() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(fs::path(output).parent_path())) {
            if (e.path() != fs::path(output)) {
                names.push_back(e.path().filename().string());
            }
        }
        return names;
    }
};

TEST(Make, LaysOutStubPaddingMarkAndZip) {
    Workspace w;
    MakeOptions o = w.options();
    o.settings = {"app/setup.sh now", Destination::Folder, "/opt/app"};
    writeFile(w.output, "an older version, replaced");
    EXPECT_EQ(w.make(o), "");  // the program is in the archive: no warning
    auto bytes = testsupport::readFile(w.output);
    const std::size_t markAt = (w.stubBytes.size() + 511) / 512 * 512;
    ASSERT_GT(bytes.size(), markAt + 32);
    auto mark = sfx::mark();
    EXPECT_TRUE(std::equal(mark.begin(), mark.end(), bytes.begin() + static_cast<long>(markAt)));
    for (std::size_t i = w.stubBytes.size(); i < markAt; ++i) {
        ASSERT_EQ(bytes[i], 0) << i;
    }
    // The settings were written into the copy; the stub itself is untouched.
    auto section = images::elfImage({{".zipsfx"}}).offsets[0];
    EXPECT_EQ(std::string(bytes.begin() + static_cast<long>(section),
                          bytes.begin() + static_cast<long>(section) + 10),
              std::string("\x04/opt/app\0", 10));
    EXPECT_EQ(std::string(bytes.begin() + static_cast<long>(section) + 261,
                          bytes.begin() + static_cast<long>(section) + 261 + 17),
              std::string("app/setup.sh now\0", 17));
    EXPECT_EQ(testsupport::readFile(w.stub), w.stubBytes);
    // The Zip follows the mark, its offsets counting from its own start.
    auto zip = testsupport::readZipDirectory(w.output, markAt + 32);
    EXPECT_EQ(zip.entries.size(), 4u);
    EXPECT_EQ(zip.entries[0].localHeaderOffset, 0u);
    EXPECT_TRUE(w.others().empty());
#ifndef _WIN32
    EXPECT_EQ(fs::status(w.output).permissions() & fs::perms::mask, fs::perms(0755));
#endif
}

TEST(Make, StubThatFillsWholeBlocksGetsNoPadding) {
    for (std::size_t size : {512u * 3, 512u * 3 + 1}) {
        Workspace w(100);
        ASSERT_LT(w.stubBytes.size(), size);
        auto stub = w.stubBytes;
        stub.resize(size, 0x90);  // trailing bytes after the section table are harmless
        writeFile(w.stub, stub);
        w.make(w.options());
        auto bytes = testsupport::readFile(w.output);
        const std::size_t markAt = (size + 511) / 512 * 512;
        auto mark = sfx::mark();
        EXPECT_TRUE(std::equal(mark.begin(), mark.end(), bytes.begin() + static_cast<long>(markAt)))
            << size;
    }
}

TEST(Make, WarnsWhenRunNamesNoEntry) {
    Workspace w;
    MakeOptions o = w.options();
    o.settings.run = "setup.sh";  // the entry is app/setup.sh
    std::string warning = w.make(o);
    EXPECT_NE(warning.find("'setup.sh'"), std::string::npos) << warning;
    EXPECT_TRUE(fs::exists(w.output));  // a warning, not a refusal
    o.settings.run = " app/setup.sh";
    warning = w.make(o);
    EXPECT_NE(warning.find("no program"), std::string::npos) << warning;
}

TEST(Make, WindowsStubMatchesRunWithoutRegardToCaseOrSeparator) {
    Workspace w;
    writeFile(w.stub, images::windowsImage({{"RUN"}, {"DESTINATION"}}).bytes);
    MakeOptions o = w.options();
    o.settings.run = "APP\\Setup.SH /quiet";
    EXPECT_EQ(w.make(o), "");
}

// What `--run` becomes in the stub: a program outside the destination is refused, one that names
// no archived file is warned about, and a whole value that names an archived file with a blank
// is quoted so that the stub does not split it there. Anything after the program (';' included)
// is kept as written: the stub passes it on, never to a shell.
TEST(Make, RunValuesAreRefusedWarnedAboutOrQuoted) {
    Workspace w;
    writeFile(w.input + "/My Setup.sh", "#!/bin/sh\n");
    const auto windowsImage = images::windowsImage({{"RUN"}, {"DESTINATION"}});
    writeFile(w.dir / "windows-stub", windowsImage.bytes);
    const auto posixRunAt = images::elfImage({{".zipsfx"}}).offsets[0] + 261;
    struct Case {
        std::string run;
        bool windows;
        std::string refused;  // a part of the refusal, or "" when it is made
        std::string stored;   // the RUN text in the file made
        std::string warning;  // a part of the warning, or "" for none
    };
    const std::string outside = "RUN must name a program inside the destination folder, not ";
    const std::string missing = "which is not among the archive's entries";
    const Case cases[] = {
        {"../outside.sh", false, outside + "../outside.sh", "", ""},
        {"app/../../outside.sh now", false, outside + "app/../../outside.sh", "", ""},
        {"..\\planted.exe", true, outside + "..\\planted.exe", "", ""},
        {"/bin/sh -c 'touch x'", false, outside + "/bin/sh", "", ""},
        {"\\\\server\\share\\x.exe", true, outside + "\\\\server\\share\\x.exe", "", ""},
        {"C:\\Windows\\x.exe", true, outside + "C:\\Windows\\x.exe", "", ""},
        {"\"../app/setup.sh\" now", false, outside + "../app/setup.sh", "", ""},
        {"..app/setup.sh", false, "", "..app/setup.sh", missing},  // dots inside a name
        {"app/setup.sh ; touch x", false, "", "app/setup.sh ; touch x", ""},
        {"app/My Setup.sh", false, "", "\"app/My Setup.sh\"", ""},
        {"APP\\my setup.SH", true, "", "\"APP\\my setup.SH\"", ""},
        {"app/my setup.sh", false, "", "app/my setup.sh", "'app/my'"},  // POSIX minds the case
        {"\"app/My Setup.sh\" --quiet", false, "", "\"app/My Setup.sh\" --quiet", ""},
        {"app/My Setup.sh --quiet", false, "", "app/My Setup.sh --quiet", "'app/My'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.run);
        MakeOptions o = w.options();
        o.settings.run = c.run;
        if (c.windows) {
            o.stub = w.dir / "windows-stub";
        }
        fs::remove(w.output);
        std::string warning;
        try {
            warning = w.make(o);
        } catch (const generic::exception& e) {
            EXPECT_EQ(e.message(), c.refused);
            EXPECT_FALSE(fs::exists(w.output));
            continue;
        }
        ASSERT_EQ(c.refused, "") << "not refused";
        if (c.warning.empty()) {
            EXPECT_EQ(warning, "");
        } else {
            EXPECT_NE(warning.find(c.warning), std::string::npos) << warning;
        }
        // The stored text and its terminating zero, where the stub reads it.
        const auto bytes = testsupport::readFile(w.output);
        const std::size_t at = c.windows ? windowsImage.offsets[0] : posixRunAt;
        ASSERT_LE(at + c.stored.size() + 1, bytes.size());
        EXPECT_EQ(std::string(bytes.begin() + static_cast<long>(at),
                              bytes.begin() + static_cast<long>(at + c.stored.size() + 1)),
                  c.stored + std::string(1, '\0'));
    }
}

TEST(Make, AppendsAnExistingZipUnchanged) {
    Workspace w;
    // A Zip made by the writer itself, standing in for one from another tool.
    MakeOptions first = w.options();
    first.output = w.dir / "plain.sfx";
    w.make(first);
    auto made = testsupport::readFile(first.output);
    const std::size_t archiveAt = (w.stubBytes.size() + 511) / 512 * 512 + 32;
    std::vector<std::uint8_t> zip(made.begin() + static_cast<long>(archiveAt), made.end());
    writeFile(w.dir / "given.ZIP", zip);

    MakeOptions o = w.options();
    o.inputs = {w.dir / "given.ZIP"};
    w.make(o);
    auto bytes = testsupport::readFile(w.output);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + static_cast<long>(archiveAt), bytes.end()),
              zip);
}

// A Zip of one stored entry with the given name and header fields.
std::vector<std::uint8_t> oneEntryZip(const std::string& name, std::uint8_t method = 0,
                                      std::uint16_t needed = 20, std::uint16_t disk = 0) {
    format::zip::CentralHeader header;
    header.versionNeeded = needed;
    header.method = method;
    header.name = name;
    stream::MemoryOutput out;
    header.writeLocal(out);
    const auto centralAt = out.tell();
    header.write(out);
    format::zip::EndHeader end;
    end.diskNumber = disk;
    end.diskEntries = 1;
    end.totalEntries = 1;
    end.centralOffset = static_cast<std::uint32_t>(centralAt);
    end.centralSize = static_cast<std::uint32_t>(out.tell() - centralAt);
    end.write(out);
    return out.data();
}

TEST(Make, RefusalsLeaveNoFileAndKeepAnOldOne) {
    Workspace w;
    writeFile(w.dir / "good.zip", oneEntryZip("fine/name.txt"));
    struct Case {
        const char* what;
        const char* said;  // a word of the message
        std::vector<std::uint8_t> zip;
        std::string run;
        std::string stub;
    };
    auto bigStub = images::elfImage({{".zipsfx"}, {".big", 530000}}).bytes;
    writeFile(w.dir / "big-stub", bigStub);
    const std::vector<std::uint8_t> none;
    std::vector<std::uint8_t> damaged = oneEntryZip("x");
    damaged[0] = 'Q';  // the central record points at no local header
    const Case cases[] = {
        {"absolute name", "absolute", oneEntryZip("/etc/passwd"), "", ""},
        {"drive name", "absolute", oneEntryZip("C:\\boot.ini"), "", ""},
        {"climbing name", "'..'", oneEntryZip("a/../../b"), "", ""},
        {"climbing name with backslashes", "'..'", oneEntryZip("a\\..\\..\\b"), "", ""},
        {"climbing name, as the stub mends it", "as 'b' below its destination",
         oneEntryZip("../../b"), "", ""},
        {"method 7", "method 7", oneEntryZip("a", 7), "", ""},
        {"method 10", "unsupported compression method 10 (PKWARE DCL Imploded)",
         oneEntryZip("a", 10), "", ""},
        {"method 98", "unsupported compression method 98 (PPMd)", oneEntryZip("a", 98), "", ""},
        {"version 4.6", "4.6", oneEntryZip("a", 0, 46), "", ""},
        {"second disk", "disks", oneEntryZip("a", 0, 20, 1), "", ""},
        {"no local header", "local header", damaged, "", ""},
        // The stub's reader says why it cannot read the file.
        {"not a zip", "central directory", testsupport::bytes("not a zip at all"), "", ""},
        {"RUN too long", "RUN", none, std::string(300, 'r'), ""},
        {"stub too large", "524,288", none, "", w.dir / "big-stub"},
        {"no stub", "no stub", none, "", w.dir / "missing-stub"},
        {"stub of another kind", "neither", none, "", w.dir / "good.zip"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(w.output, "previous");
        MakeOptions o = w.options();
        if (!c.zip.empty()) {
            writeFile(w.dir / "input.zip", c.zip);
            o.inputs = {w.dir / "input.zip"};
        }
        o.settings.run = c.run;
        if (!c.stub.empty()) {
            o.stub = c.stub;
        }
        try {
            w.make(o);
            ADD_FAILURE() << "not refused";
        } catch (const generic::exception& e) {
            EXPECT_NE(e.message().find(c.said), std::string::npos) << e.message();
        }
        EXPECT_EQ(testsupport::readFile(w.output), testsupport::bytes("previous"));
        EXPECT_TRUE(w.others().empty());
        fs::remove(w.output);
        EXPECT_THROW(w.make(o), generic::exception);
        EXPECT_FALSE(fs::exists(w.output));
    }
    // Names that merely contain dots pass, and so does the whole range of methods the stub
    // extracts (their data is judged by the check after writing, not here).
    writeFile(w.dir / "input.zip", oneEntryZip("..a/b../c..d", 0, 20));
    MakeOptions o = w.options();
    o.inputs = {w.dir / "input.zip"};
    EXPECT_NO_THROW(w.make(o));
    for (std::uint8_t method : {0, 1, 2, 3, 4, 5, 6, 8}) {
        writeFile(w.dir / "input.zip", oneEntryZip("a", method, 0x0314));  // Unix, 2.0
        EXPECT_NO_THROW(tools::checkAppendable(w.dir / "input.zip")) << int(method);
    }
    // Zip64 records, wherever they may stand, are read as the stub reads them.
    ziptest::EntryPlan wide("wide/one.txt", "one");
    wide.zip64 = ziptest::kWideUncompressed | ziptest::kWideCompressed | ziptest::kWideOffset;
    ziptest::ArchivePlan zip64End;
    zip64End.zip64End = true;
    const auto zip64 = ziptest::build({wide, ziptest::EntryPlan("two.txt", "two")}, zip64End);
    writeFile(w.dir / "input.zip", zip64.bytes);
    EXPECT_EQ(tools::checkAppendable(w.dir / "input.zip"),
              (std::vector<std::string>{"wide/one.txt", "two.txt"}));
    EXPECT_NO_THROW(w.make(o));
    // An entry that the stub could not decode is caught by the check after writing.
    writeFile(w.dir / "input.zip", oneEntryZip("a", 8));  // no deflate data at all
    fs::remove(w.output);
    EXPECT_THROW(w.make(o), generic::exception);
    EXPECT_FALSE(fs::exists(w.output));
    EXPECT_TRUE(w.others().empty());
}

TEST(Make, StubIsFoundBesideTheToolInstalledOrInTheBuildTree) {
    auto candidates = [](const std::string& which, const std::string& folder,
                         const std::string& stubFolder = {}) {
        std::vector<fs::path> paths;
        for (const std::string& c : tools::stubCandidates(which, folder, stubFolder)) {
            paths.push_back(fs::path(c));
        }
        return paths;
    };
    using Paths = std::vector<fs::path>;
    const std::string build = "/opt/zipsfx/build/native";
    EXPECT_EQ(candidates("windows", build), (Paths{"/opt/zipsfx/build/native/zipsfx-stub.exe",
                                                   "/opt/zipsfx/build/lib/zipsfx/zipsfx-stub.exe",
                                                   "/opt/zipsfx/build/win32/zipsfx-stub.exe"}));
    EXPECT_EQ(candidates("windows64", build),
              (Paths{"/opt/zipsfx/build/native/zipsfx-stub-win64.exe",
                     "/opt/zipsfx/build/lib/zipsfx/zipsfx-stub-win64.exe",
                     "/opt/zipsfx/build/win64/zipsfx-stub.exe"}));
    // The build folder's own stub is the first place already, and is looked at once.
    EXPECT_EQ(candidates("posix", build), (Paths{"/opt/zipsfx/build/native/zipsfx-stub",
                                                 "/opt/zipsfx/build/lib/zipsfx/zipsfx-stub"}));
    // Installed: bin/ beside lib/zipsfx/.
    EXPECT_EQ(tools::installedStubFolder(), "../lib/zipsfx");
    EXPECT_EQ(candidates("posix", "/usr/local/bin")[1],
              fs::path("/usr/local/lib/zipsfx/zipsfx-stub"));
    // A folder named by ZIPSFX_STUB_DIR is the only place.
    EXPECT_EQ(candidates("windows64", build, "/srv/stubs"),
              (Paths{"/srv/stubs/zipsfx-stub-win64.exe"}));
    EXPECT_TRUE(candidates("windows32", build).empty());
    EXPECT_FALSE(tools::toolFolder().empty());
}

void setVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

void clearVariable(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

TEST(Make, StubFolderFromTheEnvironmentIsTheOnlyPlaceLooked) {
    TempDir folder;
    writeFile(folder / "zipsfx-stub", "not really a stub");
    setVariable("ZIPSFX_STUB_DIR", folder.path());
    EXPECT_EQ(fs::path(tools::locateStub("posix")), fs::path(folder / "zipsfx-stub"));
    // The build tree may hold a Windows stub; the variable's folder does not, and that is said.
    try {
        tools::locateStub("windows");
        ADD_FAILURE() << "a stub outside ZIPSFX_STUB_DIR was taken";
    } catch (const generic::exception& e) {
        const std::string text = e.message();
        EXPECT_NE(text.find(folder.path()), std::string::npos) << text;
        EXPECT_NE(text.find("ZIPSFX_STUB_DIR"), std::string::npos) << text;
    }
    clearVariable("ZIPSFX_STUB_DIR");
}

}  // namespace

namespace {

TEST(Make, CancelStopsBetweenBlocksAndLeavesNoFile) {
    Workspace w;
    writeFile(w.input + "/big.bin", std::string(1 << 20, 'b'));
    tools::requestCancel();
    EXPECT_THROW(w.make(w.options()), brindle5::exception::Evacuation);
    tools::clearCancel();
    EXPECT_FALSE(fs::exists(w.output));
    EXPECT_TRUE(w.others().empty());
    // Within a file: the writer asks between blocks of data, not only between entries.
    int asked = 0;
    std::stringstream out;
    tools::ZipWriter writer(out, 6, nullptr, [&] { return ++asked > 3; });
    std::ostringstream log;
    auto sources = tools::collectSources({w.input + "/big.bin"}, log);
    EXPECT_THROW(writer.add(sources[0]), brindle5::exception::Evacuation);
    EXPECT_EQ(asked, 4);
}

}  // namespace
