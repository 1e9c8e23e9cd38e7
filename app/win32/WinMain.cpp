// Entry point of the Windows stub.
#include <windows.h>
#include <commctrl.h>

#include "app/Environment.h"
#include "app/ExtractionRun.h"
#include "app/win32/Dialogs.h"
#include "app/win32/ModuleResources.h"
#include "archive/Archive.h"
#include "archive/Threads.h"
#include "format/zip/ZipReaderFactory.h"
#include "platform/Process.h"
#include "platform/win32/Wide.h"

namespace {

// WinMain's own command line is in the ANSI code page: take the system's UTF-16 line instead and
// skip the program's name as the runtime does (a quoted name to its closing quote, else up to
// the first blank), then the blanks after it.
std::string argumentsOfCommandLine() {
    const wchar_t* p = GetCommandLineW();
    if (p == nullptr) {
        return std::string();
    }
    if (*p == L'"') {
        ++p;
        while (*p != L'\0' && *p != L'"') {
            ++p;
        }
        if (*p == L'"') {
            ++p;
        }
    } else {
        while (*p > L' ') {
            ++p;
        }
    }
    while (*p != L'\0' && *p <= L' ') {
        ++p;
    }
    return platform::win32::narrow(p, wcslen(p));
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything is loaded on demand (the folder browser loads many libraries): a library
    // planted beside a downloaded program must never be picked up.
    platform::restrictLibrarySearch();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    format::zip::registerZipFormat();
    try {
        vessel5::Archive archive;
        archive.settings().threads = vessel5::configuredThreads();
        app::win32::DialogFrontEnd frontEnd(instance);
        app::ProcessEnvironment environment(&app::win32::moduleResource);
        app::ExtractionRun run(frontEnd, environment, archive);
        return run.run(argumentsOfCommandLine());
    } catch (...) {
        return app::kOtherFailure;
    }
}
