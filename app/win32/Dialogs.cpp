#include "app/win32/Dialogs.h"

#include <shlobj.h>

#include "app/win32/resource.h"
#include "base/Exception.h"
#include "platform/Platform.h"

namespace app {
namespace win32 {

namespace {

INT_PTR CALLBACK confirmationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND) {
        // Escape and the close box arrive as IDCANCEL.
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 1);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
        }
    }
    return 0;
}

// The folder held by the destination dialog; the edit box shows it and Browse replaces it.
struct DestinationState {
    std::string folder;
};

void setEditText(HWND dialog, const std::string& text) {
    SetDlgItemTextA(dialog, IDC_DESTINATION_EDIT, text.c_str());
}

void browse(HWND dialog, DestinationState& state) {
    char displayName[platform::kMaxPath] = {};
    BROWSEINFOA info = {};
    info.hwndOwner = dialog;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = "Select destination folder:";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    // The shell's browser expects COM on this thread.
    const HRESULT com = CoInitialize(nullptr);
    const LPITEMIDLIST picked = SHBrowseForFolderA(&info);
    if (picked != nullptr) {
        char path[platform::kMaxPath] = {};
        if (SHGetPathFromIDListA(picked, path)) {
            state.folder = path;
        }
        CoTaskMemFree(picked);
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    // Also after a cancelled browser: typed but unconfirmed text gives way to the stored folder.
    setEditText(dialog, state.folder);
    SendMessageA(dialog, DM_SETDEFID, IDOK, 0);
    SetFocus(GetDlgItem(dialog, IDOK));
    SendMessageA(GetDlgItem(dialog, IDC_BROWSE), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
}

INT_PTR CALLBACK destinationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        setEditText(dialog, reinterpret_cast<DestinationState*>(lParam)->folder);
        return 0;
    }
    auto* state = reinterpret_cast<DestinationState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (message != WM_COMMAND || state == nullptr) {
        return 0;
    }
    switch (LOWORD(wParam)) {
        case IDOK: {
            char text[platform::kMaxPath] = {};
            GetDlgItemTextA(dialog, IDC_DESTINATION_EDIT, text, platform::kMaxPath);
            state->folder = text;
            EndDialog(dialog, 1);
            break;
        }
        case IDCANCEL:
            EndDialog(dialog, 0);
            break;
        case IDC_BROWSE:
            browse(dialog, *state);
            break;
        default:
            break;
    }
    return 0;
}

}  // namespace

bool DialogFrontEnd::hasTemplate(const char* name) const {
    return FindResourceA(instance_, name, MAKEINTRESOURCEA(5)) != nullptr;  // RT_DIALOG
}

void DialogFrontEnd::confirm() {
    if (!hasTemplate("CONFIRMATION")) {
        return;
    }
    // -1 (the dialog could not be shown) goes on, as if accepted.
    if (DialogBoxParamA(instance_, "CONFIRMATION", nullptr, confirmationProc, 0) == 0) {
        throw brindle5::exception::Evacuation();
    }
}

std::string DialogFrontEnd::chooseDestination(const std::string& initial) {
    DestinationState state{initial.substr(0, platform::kMaxPathLength)};
    if (!hasTemplate("DESTINATION")) {
        return state.folder;
    }
    const INT_PTR result = DialogBoxParamA(instance_, "DESTINATION", nullptr, destinationProc,
                                           reinterpret_cast<LPARAM>(&state));
    if (result == 0) {
        throw brindle5::exception::Evacuation();
    }
    return state.folder;
}

void DialogFrontEnd::showError(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), "Self-extracting archive", MB_OK);
}

}  // namespace win32
}  // namespace app
