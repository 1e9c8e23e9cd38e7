// libFuzzer target for encrypted entries, the path of `zipsfx test -P pw`: the input is an
// archive whose entries were encrypted with the password "pw" (the seeds: WinZip AES-128 and
// -256, deflated and stored, and the traditional cipher), checked with that password. Mutations
// reach the AES field, the salt and verifier, the counter-mode data, the authentication code and
// the traditional header. Every input must end in a report per entry or one of the program's
// own exceptions; anything else is a fault.
#include <cstdint>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "format/zip/ZipReaderFactory.h"
#include "support/TestSupport.h"
#include "tools/zipsfx/CheckingReader.h"

namespace {

const std::string& scratchFile() {
    static const testsupport::TempDir folder;
    static const std::string path = folder / "input.zip";
    return path;
}

// A wrong password is asked for again: the fuzzer answers twice, then gives up.
bool answer(std::uint64_t wrong, void* user) {
    static_cast<vessel5::Archive*>(user)->setPassword(wrong == 0 ? "PW" : "pw");
    return wrong < 2;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    format::zip::registerZipFormat();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    const std::string& path = scratchFile();
    testsupport::writeFile(path, std::vector<std::uint8_t>(input, input + size));
    try {
        tools::CheckingArchive archive(
            [](const std::string&, tools::CheckResult, const std::string&) {});
        archive.setPassword("pw");
        archive.onPasswordWanted(answer, &archive);
        archive.open(path);
        archive.decode();
        archive.close();
    } catch (const generic::exception&) {
    }
    return 0;
}
