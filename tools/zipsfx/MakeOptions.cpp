#include "tools/zipsfx/MakeOptions.h"

#include <ostream>
#include <utility>

#include "tools/zipsfx/Fail.h"

namespace tools {

namespace {

[[noreturn]] void usage(const std::string& message) {
    fail(message, "usage");
}

int parseLevel(const std::string& text) {
    if (text.size() != 1 || text[0] < '0' || text[0] > '9') {
        usage("the level must be a digit from 0 to 9, not '" + text + "'");
    }
    return text[0] - '0';
}

Method parseMethod(const std::string& text) {
    if (text == "store") {
        return Method::Store;
    }
    if (text == "deflate") {
        return Method::Deflate;
    }
    if (text == "lzma") {
        if (!methodAvailable(Method::Lzma)) {
            usage(
                "--method lzma is not available in this build of zipsfx (the Windows tool "
                "writes store and deflate only; the Linux tool writes lzma)");
        }
        return Method::Lzma;
    }
    usage("--method must be store, deflate or lzma, not '" + text + "'");
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

}  // namespace

MakeOptions parseMakeOptions(const std::vector<std::string>& args) {
    MakeOptions options;
    bool runGiven = false;
    bool noRun = false;
    bool destinationGiven = false;
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
                usage("--stub needs windows, windows64, posix or a path");
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
            destinationGiven = true;
        } else if (name == "--wait") {
            noValue();
            options.settings.wait = true;
        } else if (name == "--temp") {
            noValue();
            options.settings.temp = true;
        } else if (name == "-m" || name == "--method") {
            options.method = parseMethod(takeValue());
        } else if (name == "--icon") {
            options.branding.iconPath = takeValue();
        } else if (name == "--title") {
            options.branding.title = takeValue();
        } else if (name == "--message") {
            options.branding.message = takeValue();
        } else if (name == "--license") {
            options.branding.licensePath = takeValue();
        } else if (name == "--version-info") {
            addVersionString(options.branding.version, takeValue());
        } else if (name == "--version") {
            options.branding.version.version = parseVersion(takeValue());
            options.branding.version.versionGiven = true;
        } else if (name == "--admin") {
            noValue();
            options.branding.admin = true;
        } else if (name == "-l" || name == "--level") {
            options.level = parseLevel(takeValue());
        } else if (name == "--password") {
            noValue();
            options.askPassword = true;
        } else if (name == "--password-file") {
            options.passwordFile = takeValue();
        } else if (name == "--encryption") {
            options.encryption = takeValue();
            if (options.encryption != "aes256" && options.encryption != "zipcrypto") {
                usage("--encryption needs aes256 or zipcrypto, not '" + options.encryption + "'");
            }
        } else if (name == "-q" || name == "--quiet") {
            noValue();
            options.quiet = true;
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
    if (options.askPassword && !options.passwordFile.empty()) {
        usage("--password and --password-file contradict each other");
    }
    if (!options.encryption.empty() && !options.askPassword && options.passwordFile.empty()) {
        usage("--encryption needs --password or --password-file");
    }
    if (options.settings.temp && destinationGiven) {
        usage(
            "--temp extracts into a private folder of its own that is deleted afterwards; it "
            "cannot be given with --destination");
    }
    if (options.output.empty()) {
        usage("no output file: give -o OUT");
    }
    if (options.inputs.empty()) {
        usage("nothing to put in the archive: give files, folders or one .zip file");
    }
    return options;
}

void printMakeHelp(std::ostream& out) {
    out << "usage: zipsfx make -o OUT [options] INPUT...\n"
           "Builds a self-extracting file: the stub, the mark, then a Zip of the INPUTs.\n"
           "INPUT is one existing .zip file (appended unchanged) or any files and folders\n"
           "(stored under their own names, with everything below a folder).\n"
           "\n"
           "  -o, --output OUT        the file to make (replaced if it exists)\n"
           "  --stub windows|windows64|posix|PATH\n"
           "                          the stub to use: 32-bit Windows (the default), 64-bit\n"
           "                          Windows, POSIX, or a stub file\n"
           "  --run \"COMMAND LINE\"    program and arguments to start after extracting,\n"
           "                          relative to the destination\n"
           "  --no-run                start nothing (the default)\n"
           "  --destination current|windows|system|temp|FOLDER\n"
           "                          the default destination (default: current)\n"
           "  --wait                  wait for the RUN program to end and exit with its exit\n"
           "                          code\n"
           "  --temp                  extract into a new private folder under the temporary\n"
           "                          folder, start RUN from there, wait for it, then delete\n"
           "                          the folder (implies --wait; not with --destination)\n"
           "  -m, --method store|deflate|lzma\n"
           "                          how files are compressed (default: deflate); a file\n"
           "                          that does not shrink is stored. lzma makes smaller\n"
           "                          files; 7-Zip, bsdtar and the stubs read it, unzip not\n"
           "  -l, --level N           0 (fastest) to 9 (smallest; the default): deflate 0\n"
           "                          stores, lzma takes the xz presets (9: extreme)\n"
           "  -q, --quiet             no progress line (drawn only on a terminal)\n"
           "  --icon FILE.ico         the file's icon (every image of the .ico)\n"
           "  --title TEXT            the caption of every window (POSIX: the first line)\n"
           "  --message TEXT          the confirmation question\n"
           "  --license FILE          a UTF-8 licence the user must accept before the\n"
           "                          destination is chosen (-q accepts it)\n"
           "  --version-info KEY=VALUE\n"
           "                          a version string (ProductName, CompanyName,\n"
           "                          FileDescription, FileVersion, ProductVersion,\n"
           "                          LegalCopyright, OriginalFilename...); repeatable\n"
           "  --version 1.2.3.4       the file and product version numbers\n"
           "  --admin                 ask for elevation (requireAdministrator)\n"
           "  --password              encrypt the files' contents; the password is asked\n"
           "                          twice on the terminal\n"
           "  --password-file FILE    the same, the password being the file's first line\n"
           "  --encryption aes256|zipcrypto\n"
           "                          WinZip AES-256 (the default) or the traditional Zip\n"
           "                          encryption, which is weak; names, sizes and times are\n"
           "                          never encrypted\n"
           "  -v, --verbose           list the entries as they are added\n"
           "  -h, --help              this text\n";
}

}  // namespace tools
