// libFuzzer target for a whole archive, the path of `zipsfx test`: the input is written to a
// file, its start found as the tool finds it, and every entry decoded and checked into a
// counting sink. Every input must end in a report per entry or one of the program's own
// exceptions; anything else (another exception, a crash, a sanitizer report) is a fault.
#include <cstdint>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "format/zip/ZipReaderFactory.h"
#include "support/TestSupport.h"
#include "tools/zipsfx/ArchiveStart.h"
#include "tools/zipsfx/CheckingReader.h"

namespace {

// One file, rewritten for each input, in a folder removed when the fuzzer exits.
const std::string& scratchFile() {
    static const testsupport::TempDir folder;
    static const std::string path = folder / "input.zip";
    return path;
}

}  // namespace

// Before the first input: register the Zip reader, as the tool's entry point does.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    format::zip::registerZipFormat();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    const std::string& path = scratchFile();
    testsupport::writeFile(path, std::vector<std::uint8_t>(input, input + size));
    try {
        const std::uint32_t start = tools::findArchiveStart(path);
        tools::CheckingArchive archive(
            [](const std::string&, tools::CheckResult, const std::string&) {});
        archive.open(path);
        archive.settings().startOffset = start;
        archive.decode();
        archive.close();
    } catch (const generic::exception&) {
    }
    return 0;
}
