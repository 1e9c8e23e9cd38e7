// Entry point of the Windows stub.
#include <windows.h>
#include <commctrl.h>

#include "app/Environment.h"
#include "app/ExtractionRun.h"
#include "app/win32/Dialogs.h"
#include "app/win32/ModuleResources.h"
#include "archive/Archive.h"
#include "format/zip/ZipReaderFactory.h"
#include "platform/Process.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    // Before anything is loaded on demand (the folder browser loads many libraries): a library
    // planted beside a downloaded program must never be picked up.
    platform::restrictLibrarySearch();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    format::zip::registerZipFormat();
    try {
        vessel5::Archive archive;
        app::win32::DialogFrontEnd frontEnd(instance);
        app::ProcessEnvironment environment(&app::win32::moduleResource);
        app::ExtractionRun run(frontEnd, environment, archive);
        return run.run(commandLine == nullptr ? "" : commandLine);
    } catch (...) {
        return app::kOtherFailure;
    }
}
