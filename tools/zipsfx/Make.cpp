#include "tools/zipsfx/Make.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

#include "sfx/Mark.h"
#include "sfx/MarkedExecutableParser.h"
#include "base/CommandLine.h"
#include "base/Exception.h"
#include "tools/zipsfx/Commands.h"
#include "tools/zipsfx/Console.h"
#include "tools/zipsfx/StubLocator.h"
#include "tools/zipsfx/ZipWriter.h"
#include "tools/zipsfx/ZipWriterCheck.h"

namespace fs = std::filesystem;

namespace tools {

namespace {

[[noreturn]] void usage(const std::string& message) {
    throw generic::exception(message, "usage");
}

[[noreturn]] void fail(const std::string& message) {
    throw generic::exception(message, "make");
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

int parseLevel(const std::string& text) {
    if (text.size() != 1 || text[0] < '0' || text[0] > '9') {
        usage("the level must be a digit from 0 to 9, not '" + text + "'");
    }
    return text[0] - '0';
}

void setDestination(StubSettings& settings, const std::string& value) {
    static const std::pair<const char*, Destination> named[] = {{"current", Destination::Current},
                                                                {"windows", Destination::Windows},
                                                                {"system", Destination::System},
                                                                {"temp", Destination::Temp}};
    for (const auto& [word, destination] : named) {
        if (value == word) {
            settings.destination = destination;
            settings.folder.clear();
            return;
        }
    }
    if (value.empty()) {
        usage("--destination needs a word or a folder");
    }
    settings.destination = Destination::Folder;
    settings.folder = value;
}

bool isZipFile(const std::string& path) {
    std::error_code error;
    return path.size() > 4 && lower(path.substr(path.size() - 4)) == ".zip" &&
           fs::is_regular_file(path, error);
}

// A name in the output's folder that nothing else uses; removed again unless kept.
class TemporaryFile {
  public:
    explicit TemporaryFile(const fs::path& output) {
        fs::path folder = output.parent_path();
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::ostringstream name;
            name << "." << output.filename().string() << "." << std::hex << random() << ".tmp";
            fs::path candidate = folder / name.str();
            std::error_code error;
            if (!fs::exists(candidate, error) && !error) {
                path_ = candidate;
                return;
            }
        }
        fail("cannot find a temporary name beside " + output.string());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!kept_) {
            std::error_code ignored;  // a destructor must not throw; nothing else to do
            fs::remove(path_, ignored);
        }
    }
    const fs::path& path() const { return path_; }
    void keep() { kept_ = true; }

  private:
    fs::path path_;
    bool kept_ = false;
};

std::vector<std::uint8_t> readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fail("cannot open the stub " + path);
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) {
        fail("cannot read the stub " + path);
    }
    return bytes;
}

// Where the mark goes behind this stub; refuses stubs the search could not see past.
std::uint64_t markPosition(const std::vector<std::uint8_t>& stub, const std::string& path) {
    std::uint64_t at = (stub.size() + kMarkAlignment - 1) / kMarkAlignment * kMarkAlignment;
    if (at >= kMarkLimit) {
        fail("the stub " + path + " is too large: the mark would lie at " + std::to_string(at) +
             ", and the stub looks for it only below 524,288");
    }
    const app::Mark mark = app::mark();
    for (std::uint64_t p = 0; p + app::kMarkSize <= stub.size(); p += kMarkAlignment) {
        if (std::equal(mark.begin(), mark.end(), stub.begin() + static_cast<std::ptrdiff_t>(p))) {
            fail("the stub " + path + " holds the mark itself at " + std::to_string(p));
        }
    }
    return at;
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

bool climbsOrIsAbsolute(const std::string& program) {
    if (program.empty()) {
        return false;
    }
    if (program[0] == '/' || program[0] == '\\' ||
        (program.size() >= 2 && std::isalpha(static_cast<unsigned char>(program[0])) &&
         program[1] == ':')) {
        return true;
    }
    std::string part;
    for (char c : program + '/') {
        if (c == '/' || c == '\\') {
            if (part == "..") {
                return true;
            }
            part.clear();
        } else {
            part += c;
        }
    }
    return false;
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
    const std::string program = runProgram(run);
    if (program.empty()) {
        log << "zipsfx make: warning: RUN names no program before its first blank\n";
        return run;
    }
    if (climbsOrIsAbsolute(program)) {
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
void checkLikeTheStub(const std::string& path) {
    std::ostringstream report;
    const Console console{report, report, false};
    std::string command = "test";
    std::string file = path;
    char* args[] = {command.data(), file.data()};
    if (runTest(2, args, console) != kExitDone) {
        fail("the file made does not pass 'zipsfx test':\n" + report.str());
    }
}

}  // namespace

MakeOptions parseMakeOptions(const std::vector<std::string>& args) {
    MakeOptions options;
    bool runGiven = false;
    bool noRun = false;
    bool optionsDone = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsDone || arg.empty() || arg[0] != '-' || arg == "-") {
            options.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsDone = true;
            continue;
        }
        // "--name=value" and "-lN" carry their value; other options take the next argument.
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            name = arg.substr(0, arg.find('='));
            value = arg.substr(arg.find('=') + 1);
            inlineValue = true;
        } else if (arg.size() > 2 && arg[1] != '-' && (arg[1] == 'l' || arg[1] == 'o')) {
            name = arg.substr(0, 2);
            value = arg.substr(2);
            inlineValue = true;
        }
        auto takeValue = [&]() {
            if (inlineValue) {
                return value;
            }
            if (i + 1 >= args.size()) {
                usage(name + " needs a value");
            }
            return args[++i];
        };
        auto noValue = [&]() {
            if (inlineValue) {
                usage(name + " takes no value");
            }
        };
        if (name == "-o" || name == "--output") {
            options.output = takeValue();
        } else if (name == "--stub") {
            options.stub = takeValue();
            if (options.stub.empty()) {
                usage("--stub needs windows, posix or a path");
            }
        } else if (name == "--run") {
            options.settings.run = takeValue();
            runGiven = true;
        } else if (name == "--no-run") {
            noValue();
            options.settings.run.clear();
            noRun = true;
        } else if (name == "--destination") {
            setDestination(options.settings, takeValue());
        } else if (name == "-l" || name == "--level") {
            options.level = parseLevel(takeValue());
        } else if (name == "-v" || name == "--verbose") {
            noValue();
            options.verbose = true;
        } else if (name == "-h" || name == "--help") {
            noValue();
            options.help = true;
        } else {
            usage("unknown option " + arg);
        }
    }
    if (options.help) {
        return options;
    }
    if (runGiven && noRun) {
        usage("--run and --no-run contradict each other");
    }
    if (options.output.empty()) {
        usage("no output file: give -o OUT");
    }
    if (options.inputs.empty()) {
        usage("nothing to put in the archive: give files, folders or one .zip file");
    }
    return options;
}

std::string runProgram(const std::string& run) {
    // Read exactly as the stub reads it.
    return base::splitRunText(run).program;
}

void makeArchive(const MakeOptions& options, std::ostream& out, std::ostream& log) {
    const fs::path output(options.output);
    std::error_code error;
    if (fs::is_directory(output, error)) {
        fail(options.output + " is a folder");
    }

    // Everything that can be refused is refused before the output is created.
    const bool appendZip = options.inputs.size() == 1 && isZipFile(options.inputs[0]);
    std::vector<ZipSource> sources;
    if (appendZip) {
        checkAppendable(options.inputs[0]);
    } else {
        sources = collectSources(options.inputs, log);
    }
    const std::string stubPath = locateStub(options.stub);
    std::vector<std::uint8_t> stub = readWhole(stubPath);
    const bool windowsStub = stubKind(stub) == StubKind::Windows;
    std::vector<std::string> archived;
    if (appendZip) {
        for (const auto& entry : readZipDirectory(options.inputs[0], 0).entries) {
            archived.push_back(entry.name);
        }
    } else {
        for (const ZipSource& source : sources) {
            archived.push_back(source.name);
        }
    }
    StubSettings settings = options.settings;
    settings.run = prepareRun(settings.run, archived, windowsStub, log);
    applySettings(stub, settings);
    const std::uint64_t markAt = markPosition(stub, stubPath);

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
        const app::Mark mark = app::mark();
        file.write(reinterpret_cast<const char*>(mark.data()), mark.size());
        if (!file) {
            fail("cannot write " + temporary.path().string());
        }
        if (appendZip) {
            copyFile(options.inputs[0], file);
            for (const auto& entry : readZipDirectory(options.inputs[0], 0).entries) {
                names.push_back(entry.name);
            }
        } else {
            ZipWriter writer(file, options.level, options.verbose ? &out : nullptr,
                             &cancelRequested);
            for (const ZipSource& source : sources) {
                writer.add(source);
            }
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

    // The file must be what the stub will see: the mark where it looks, a sound archive behind.
    const std::uint64_t archiveAt = markAt + app::kMarkSize;
    {
        app::MarkedExecutableParser parser(temporary.path().string());
        if (parser.archiveOffset() != archiveAt) {
            fail("the stub would not find the archive in the file made");
        }
        parser.close();
    }
    // One decoding pass over everything: the reader the stub uses, with its CRC checks.
    checkLikeTheStub(temporary.path().string());
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

void printMakeHelp(std::ostream& out) {
    out << "usage: zipsfx make -o OUT [options] INPUT...\n"
           "Builds a self-extracting file: the stub, the mark, then a Zip of the INPUTs.\n"
           "INPUT is one existing .zip file (appended unchanged) or any files and folders\n"
           "(stored under their own names, with everything below a folder).\n"
           "\n"
           "  -o, --output OUT        the file to make (replaced if it exists)\n"
           "  --stub windows|posix|PATH\n"
           "                          the stub to use (default: windows)\n"
           "  --run \"COMMAND LINE\"    program and arguments to start after extracting,\n"
           "                          relative to the destination\n"
           "  --no-run                start nothing (the default)\n"
           "  --destination current|windows|system|temp|FOLDER\n"
           "                          the default destination (default: current)\n"
           "  -l, --level N           deflate level 0 (store) to 9 (default: 9)\n"
           "  -v, --verbose           list the entries as they are added\n"
           "  -h, --help              this text\n";
}

int runMake(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    MakeOptions options;
    try {
        options = parseMakeOptions(args);
    } catch (const generic::exception& e) {
        std::cerr << "zipsfx make: " << e.message() << "\n"
                  << "Try 'zipsfx make --help'.\n";
        return kExitFailure;
    }
    if (options.help) {
        printMakeHelp(std::cout);
        return kExitDone;
    }
    clearCancel();
    try {
        makeArchive(options, std::cout, std::cerr);
    } catch (const brindle5::exception::Evacuation&) {
        std::cerr << "zipsfx make: cancelled; no file made\n";
        return kExitCancelled;
    } catch (const generic::exception& e) {
        std::cerr << "zipsfx make: " << e.message() << "\n";
        return kExitError;
    } catch (const std::exception& e) {
        // File system errors name the operation and path; they end the run the same way.
        std::cerr << "zipsfx make: " << e.what() << "\n";
        return kExitError;
    }
    return kExitDone;
}

}  // namespace tools
