#include "tools/zipsfx/Make.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "archive/SafePath.h"
#include "archive/Wipe.h"
#include "base/Exception.h"
#include "platform/PasswordPrompt.h"
#include "sfx/Layout.h"
#include "sfx/MarkedExecutableParser.h"
#include "tools/zipsfx/AppendCheck.h"
#include "tools/zipsfx/Branding.h"
#include "tools/zipsfx/Commands.h"
#include "tools/zipsfx/Console.h"
#include "tools/zipsfx/Fail.h"
#include "tools/zipsfx/MakeProgress.h"
#include "tools/zipsfx/PasswordFile.h"
#include "tools/zipsfx/PeImage.h"
#include "tools/zipsfx/ProgressLine.h"
#include "tools/zipsfx/StubFile.h"
#include "tools/zipsfx/StubLocator.h"
#include "tools/zipsfx/TemporaryFile.h"
#include "tools/zipsfx/ZipWriter.h"

namespace fs = std::filesystem;

namespace tools {

namespace {

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool isZipFile(const std::string& path) {
    std::error_code error;
    return path.size() > 4 && lower(path.substr(path.size() - 4)) == ".zip" &&
           fs::is_regular_file(path, error);
}

void copyFile(const std::string& from, std::ostream& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) {
        fail("cannot open " + from);
    }
    to << in.rdbuf();
    if (!to || in.bad()) {
        fail("cannot copy " + from + " into the output");
    }
}

// Whether an archived name and a program name are the same file: '\\' and '/' alike, case
// folded for the Windows stub.
bool sameEntry(std::string name, std::string program, bool windows) {
    std::replace(name.begin(), name.end(), '\\', '/');
    std::replace(program.begin(), program.end(), '\\', '/');
    return windows ? lower(name) == lower(program) : name == program;
}

// The RUN text as it goes into the stub. The program must stay inside the destination folder,
// as entry names must: ".." and absolute names are refused. A value that as a whole names an
// archived file with blanks in its name is quoted, so that the stub does not split it.
std::string prepareRun(const std::string& run, const std::vector<std::string>& names, bool windows,
                       std::ostream& log) {
    if (run.empty()) {
        return run;
    }
    if (run[0] != '"' && run.find_first_of(" \t") != std::string::npos &&
        std::any_of(names.begin(), names.end(),
                    [&](const std::string& name) { return sameEntry(name, run, windows); })) {
        return '"' + run + '"';
    }
    const std::string program = sfx::splitRunLine(run).program;
    if (program.empty()) {
        log << "zipsfx make: warning: RUN names no program before its first blank\n";
        return run;
    }
    if (vessel5::isAbsoluteOrClimbing(program)) {
        fail("RUN must name a program inside the destination folder, not " + program);
    }
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& name) { return sameEntry(name, program, windows); })) {
        log << "zipsfx make: warning: RUN starts '" << program
            << "', which is not among the archive's entries\n";
    }
    return run;
}

// Decodes every entry through the program's own reader, as `zipsfx test` does: what passes here
// is what the stub can extract.
void checkLikeTheStub(const std::string& path, std::string password) {
    std::ostringstream report;
    const Console console{report, report, false};
    std::string command = "test";
    std::string file = path;
    std::string passwordOption = "-P";
    char* args[] = {command.data(), file.data(), passwordOption.data(), password.data()};
    const int result = runTest(4, args, console);
    vessel5::wipe(password);
    if (result != kExitDone) {
        fail("the file made does not pass 'zipsfx test':\n" + report.str());
    }
}

// The password of --password (typed twice, alike) or --password-file; empty without either.
std::string takePassword(const MakeOptions& options) {
    if (!options.passwordFile.empty()) {
        std::string password = readPasswordFile(options.passwordFile);
        if (password.empty()) {
            fail("the password file " + options.passwordFile + " holds no password");
        }
        return password;
    }
    if (!options.askPassword) {
        return std::string();
    }
    std::string first;
    std::string second;
    if (!platform::askHidden("Password: ", first) ||
        !platform::askHidden("The same password again: ", second)) {
        fail("--password needs a terminal to ask on; give --password-file FILE instead");
    }
    const bool same = first == second;
    vessel5::wipe(second);
    if (!same) {
        vessel5::wipe(first);
        fail("the two passwords differ; no file made");
    }
    if (first.empty()) {
        fail("an empty password protects nothing; no file made");
    }
    return first;
}

}  // namespace

void makeArchive(const MakeOptions& options, std::ostream& out, std::ostream& log,
                 ProgressLine* line) {
    const fs::path output(options.output);
    std::error_code error;
    if (fs::is_directory(output, error)) {
        fail(options.output + " is a folder");
    }

    // Everything that can be refused is refused before the output is created.
    const bool appendZip = options.inputs.size() == 1 && isZipFile(options.inputs[0]);
    if (appendZip && (options.askPassword || !options.passwordFile.empty())) {
        fail(
            "an existing .zip is appended unchanged and cannot be encrypted; give its files "
            "instead");
    }
    std::vector<ZipSource> sources;
    // The names as the stub will extract them.
    std::vector<std::string> archived;
    if (appendZip) {
        archived = checkAppendable(options.inputs[0]);
    } else {
        sources = collectSources(options.inputs, log);
    }
    const std::string stubPath = locateStub(options.stub);
    std::vector<std::uint8_t> stub = readStub(stubPath);
    const bool windowsStub = stubKind(stub) == StubKind::Windows;
    for (const ZipSource& source : sources) {
        archived.push_back(source.name);
    }
    StubSettings settings = options.settings;
    settings.run = prepareRun(settings.run, archived, windowsStub, log);
    applySettings(stub, settings);
    applyBranding(stub, options.branding);
    const std::uint64_t markAt = markPosition(stub, stubPath);
    std::string password = takePassword(options);

    TemporaryFile temporary(fs::absolute(output));
    std::uint64_t end = 0;
    std::vector<std::string> names;
    {
        std::fstream file(temporary.path(),
                          std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
        if (!file) {
            fail("cannot create " + temporary.path().string());
        }
        file.write(reinterpret_cast<const char*>(stub.data()),
                   static_cast<std::streamsize>(stub.size()));
        std::vector<char> padding(static_cast<std::size_t>(markAt - stub.size()), 0);
        file.write(padding.data(), static_cast<std::streamsize>(padding.size()));
        const sfx::Mark mark = sfx::mark();
        file.write(reinterpret_cast<const char*>(mark.data()), mark.size());
        if (!file) {
            fail("cannot write " + temporary.path().string());
        }
        if (appendZip) {
            copyFile(options.inputs[0], file);
            names = archived;
        } else {
            ZipWriter writer(file, options.level, options.verbose ? &out : nullptr,
                             &cancelRequested);
            if (!password.empty()) {
                writer.encryptWith(
                    options.encryption == "zipcrypto" ? Encryption::ZipCrypto : Encryption::Aes256,
                    password);
            }
            writer.setMethod(options.method);
            ProgressLine silent(log, false);
            std::uint64_t files = 0;
            std::uint64_t bytes = 0;
            for (const ZipSource& source : sources) {
                if (!source.folder) {
                    ++files;
                    const std::uintmax_t size = fs::file_size(source.path, error);
                    bytes += error ? 0 : size;
                }
            }
            MakeProgress progress(line != nullptr ? *line : silent, files, bytes);
            std::uint64_t number = 0;
            writer.onProgress([&](const ZipSource& source, std::uint64_t done) {
                progress.update(number, source.name, done);
            });
            for (const ZipSource& source : sources) {
                if (!source.folder) {
                    progress.update(++number, source.name, 0);
                }
                writer.add(source);
            }
            progress.finish();
            writer.finish();
            end = writer.end();
            for (const auto& entry : writer.entries()) {
                names.push_back(entry.name);
            }
        }
        file.close();
        if (file.fail()) {
            fail("cannot write " + temporary.path().string());
        }
    }
    if (!appendZip) {
        fs::resize_file(temporary.path(), end);  // drop what re-stored entries left behind
    }
    if (windowsStub && options.branding.any()) {
        // The resource writer's checksum covered the stub; the file as shipped is the sum.
        std::fstream file(temporary.path(), std::ios::in | std::ios::out | std::ios::binary);
        const std::uint32_t at = peChecksumOffset(stub);
        const std::uint32_t sum = peChecksum(file, fs::file_size(temporary.path()), at);
        file.clear();
        file.seekp(at);
        const char bytes[4] = {static_cast<char>(sum), static_cast<char>(sum >> 8),
                               static_cast<char>(sum >> 16), static_cast<char>(sum >> 24)};
        file.write(bytes, 4);
        if (!file) {
            fail("cannot write " + temporary.path().string());
        }
    }

    // The file must be what the stub will see: the mark where it looks, a sound archive behind.
    const std::uint64_t archiveAt = markAt + sfx::kMarkSize;
    {
        app::MarkedExecutableParser parser(temporary.path().string());
        if (parser.archiveOffset() != archiveAt) {
            fail("the stub would not find the archive in the file made");
        }
        parser.close();
    }
    // One decoding pass over everything: the reader the stub uses, with its CRC checks.
    checkLikeTheStub(temporary.path().string(), password);
    vessel5::wipe(password);
    fs::permissions(temporary.path(), fs::perms::owner_all | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read |
                                          fs::perms::others_exec);
    fs::rename(temporary.path(), output);
    temporary.keep();

    if (options.verbose) {
        out << "made " << options.output << ": " << names.size() << " entries, stub " << stubPath
            << "\n";
    }
}

int runMake(int argc, char** argv, const Console& console) {
    std::vector<std::string> args(argv + 1, argv + argc);
    MakeOptions options;
    try {
        options = parseMakeOptions(args);
    } catch (const generic::exception& e) {
        console.err << "zipsfx make: " << e.message() << "\n"
                    << "Try 'zipsfx make --help'.\n";
        return kExitFailure;
    }
    if (options.help) {
        printMakeHelp(console.out);
        return kExitDone;
    }
    clearCancel();
    // The verbose listing takes the terminal instead.
    ProgressLine line(console.err, console.progress && !options.quiet && !options.verbose);
    try {
        makeArchive(options, console.out, console.err, &line);
    } catch (const brindle5::exception::Evacuation&) {
        line.finish();
        console.err << "zipsfx make: cancelled; no file made\n";
        return kExitCancelled;
    } catch (const generic::exception& e) {
        line.finish();
        console.err << "zipsfx make: " << e.message() << "\n";
        return kExitError;
    } catch (const std::exception& e) {
        line.finish();
        // File system errors name the operation and path; they end the run the same way.
        console.err << "zipsfx make: " << e.what() << "\n";
        return kExitError;
    }
    return kExitDone;
}

}  // namespace tools
