#include "app/win32/Dialogs.h"

#include <shlobj.h>

#include "app/win32/resource.h"
#include "base/Exception.h"
#include "platform/Platform.h"
#include "platform/win32/Wide.h"

namespace app {
namespace win32 {

using platform::win32::narrow;
using platform::win32::wide;
using platform::win32::WideText;

namespace {

// The error box's caption when no title is set (the dialogs' own is in their templates).
constexpr char kBoxCaption[] = "Self-extracting archive";

// The shipper's title replaces the template's caption; without one the template's stays.
void setCaption(HWND window, const std::string& title) {
    if (!title.empty()) {
        SetWindowTextW(window, wide(title).c_str());
    }
}

// Text with bare line feeds as the edit and static controls break lines: CR LF.
std::string windowsLines(const std::string& text) {
    std::string result;
    result.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            result += '\r';
        }
        result += text[i];
    }
    return result;
}

// Moves a control of the dialog down by `by` pixels.
void moveDown(HWND dialog, int id, int by) {
    const HWND control = GetDlgItem(dialog, id);
    RECT r = {};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(control, nullptr, r.left, r.top + by, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Puts the shipper's message into the confirmation and makes the dialog tall enough for it, as
// wrapped in the control's width with the control's font.
void showMessage(HWND dialog, const std::string& message) {
    const HWND text = GetDlgItem(dialog, IDC_MESSAGE);
    const WideText shown = wide(windowsLines(message));
    SetWindowTextW(text, shown.c_str());
    RECT box = {};
    GetWindowRect(text, &box);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
    RECT needed = {0, 0, box.right - box.left, 0};
    const HDC dc = GetDC(text);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(text, WM_GETFONT, 0, 0)));
    DrawTextW(dc, shown.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    SelectObject(dc, old);
    ReleaseDC(text, dc);
    const int grow = (needed.bottom - needed.top) - (box.bottom - box.top);
    if (grow <= 0) {
        return;
    }
    SetWindowPos(text, nullptr, 0, 0, box.right - box.left, needed.bottom - needed.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    moveDown(dialog, IDOK, grow);
    moveDown(dialog, IDCANCEL, grow);
    RECT frame = {};
    GetWindowRect(dialog, &frame);
    SetWindowPos(dialog, nullptr, frame.left, frame.top - grow / 2, frame.right - frame.left,
                 frame.bottom - frame.top + grow, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK confirmationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* texts = reinterpret_cast<const TextSettings*>(lParam);
        setCaption(dialog, texts->title);
        if (!texts->message.empty()) {
            showMessage(dialog, texts->message);
        }
        return 0;
    }
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

// The licence page: the text in the read-only box, "I accept" or Cancel.
INT_PTR CALLBACK licenseProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* texts = reinterpret_cast<const TextSettings*>(lParam);
        setCaption(dialog, texts->title);
        SetDlgItemTextW(dialog, IDC_LICENSE_TEXT, wide(windowsLines(texts->license)).c_str());
        // The button has the focus, so that the text is not shown selected.
        SetFocus(GetDlgItem(dialog, IDOK));
        return FALSE;
    }
    if (message == WM_COMMAND) {
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
    std::string title;
};

void setEditText(HWND dialog, const std::string& text) {
    SetDlgItemTextW(dialog, IDC_DESTINATION_EDIT, wide(text).c_str());
}

// The edit box holds as much as the user typed or pasted, however long.
std::string editText(HWND dialog) {
    const HWND edit = GetDlgItem(dialog, IDC_DESTINATION_EDIT);
    WideText text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1);
    const int n = GetWindowTextW(edit, text.data(), static_cast<int>(text.size()));
    return narrow(text.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
}

// The folder of a picked item, of any length where the system offers SHGetPathFromIDListEx
// (Vista on); else within the classic limit.
std::string pickedFolder(LPCITEMIDLIST picked) {
    using FromIdListEx = BOOL(WINAPI*)(LPCITEMIDLIST, PWSTR, DWORD, int);
    const HMODULE shell = GetModuleHandleW(L"shell32.dll");
    const auto fromIdListEx = shell == nullptr
                                  ? nullptr
                                  : reinterpret_cast<FromIdListEx>(reinterpret_cast<void (*)()>(
                                        GetProcAddress(shell, "SHGetPathFromIDListEx")));
    WideText path(fromIdListEx == nullptr ? MAX_PATH : 32768);
    const BOOL found = fromIdListEx == nullptr
                           ? SHGetPathFromIDListW(picked, path.data())
                           : fromIdListEx(picked, path.data(), static_cast<DWORD>(path.size()), 0);
    if (!found) {
        return std::string();
    }
    return narrow(path.c_str(), wcslen(path.c_str()));
}

void browse(HWND dialog, DestinationState& state) {
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = dialog;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = L"Select destination folder:";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    // The shell's browser expects COM on this thread.
    const HRESULT com = CoInitialize(nullptr);
    const LPITEMIDLIST picked = SHBrowseForFolderW(&info);
    if (picked != nullptr) {
        const std::string path = pickedFolder(picked);
        if (!path.empty()) {
            state.folder = path;
        }
        CoTaskMemFree(picked);
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    // Also after a cancelled browser: typed but unconfirmed text gives way to the stored folder.
    setEditText(dialog, state.folder);
    SendMessageW(dialog, DM_SETDEFID, IDOK, 0);
    SetFocus(GetDlgItem(dialog, IDOK));
    SendMessageW(GetDlgItem(dialog, IDC_BROWSE), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
}

INT_PTR CALLBACK destinationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        setEditText(dialog, reinterpret_cast<DestinationState*>(lParam)->folder);
        setCaption(dialog, reinterpret_cast<DestinationState*>(lParam)->title);
        return 0;
    }
    auto* state = reinterpret_cast<DestinationState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message != WM_COMMAND || state == nullptr) {
        return 0;
    }
    switch (LOWORD(wParam)) {
        case IDOK:
            state->folder = editText(dialog);
            EndDialog(dialog, 1);
            break;
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

// What the password dialog shows and, once OK is pressed, what was typed.
struct PasswordState {
    std::string prompt;
    std::string password;
};

INT_PTR CALLBACK passwordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetDlgItemTextW(dialog, IDC_PASSWORD_PROMPT,
                        wide(reinterpret_cast<PasswordState*>(lParam)->prompt).c_str());
        SetFocus(GetDlgItem(dialog, IDC_PASSWORD_EDIT));
        return FALSE;  // the focus is set
    }
    auto* state = reinterpret_cast<PasswordState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message != WM_COMMAND || state == nullptr) {
        return 0;
    }
    if (LOWORD(wParam) == IDOK) {
        const HWND edit = GetDlgItem(dialog, IDC_PASSWORD_EDIT);
        WideText text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1);
        const int n = GetWindowTextW(edit, text.data(), static_cast<int>(text.size()));
        state->password = narrow(text.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
        SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
        EndDialog(dialog, 1);
    } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
    }
    return 0;
}

}  // namespace

bool DialogFrontEnd::askPassword(const std::string& entry, unsigned wrongTries,
                                 std::string& password) {
    if (!hasTemplate("PASSWORD")) {
        return false;
    }
    PasswordState state;
    state.prompt =
        (wrongTries > 0 ? "Wrong password. Enter the password for " : "Enter the password for ") +
        entry + ":";
    const INT_PTR result = DialogBoxParamW(instance_, L"PASSWORD", nullptr, passwordProc,
                                           reinterpret_cast<LPARAM>(&state));
    if (result == 0) {
        throw brindle5::exception::Evacuation();
    }
    if (result < 0) {
        return false;  // the dialog could not be shown
    }
    password = state.password;
    return true;
}

bool DialogFrontEnd::hasTemplate(const char* name) const {
    return FindResourceW(instance_, wide(name).c_str(), MAKEINTRESOURCEW(5)) !=
           nullptr;  // RT_DIALOG
}

void DialogFrontEnd::confirm() {
    if (!hasTemplate("CONFIRMATION")) {
        return;
    }
    // -1 (the dialog could not be shown) goes on, as if accepted.
    if (DialogBoxParamW(instance_, L"CONFIRMATION", nullptr, confirmationProc,
                        reinterpret_cast<LPARAM>(&texts_)) == 0) {
        throw brindle5::exception::Evacuation();
    }
}

void DialogFrontEnd::acceptLicense(const std::string& text) {
    if (!hasTemplate("LICENSE")) {
        return;
    }
    TextSettings texts = texts_;
    texts.license = text;
    // -1 (the dialog could not be shown) goes on, as the confirmation does.
    if (DialogBoxParamW(instance_, L"LICENSE", nullptr, licenseProc,
                        reinterpret_cast<LPARAM>(&texts)) == 0) {
        throw brindle5::exception::Evacuation();
    }
}

std::string DialogFrontEnd::chooseDestination(const std::string& initial) {
    DestinationState state{initial.substr(0, platform::kMaxPathLength), texts_.title};
    if (!hasTemplate("DESTINATION")) {
        return state.folder;
    }
    const INT_PTR result = DialogBoxParamW(instance_, L"DESTINATION", nullptr, destinationProc,
                                           reinterpret_cast<LPARAM>(&state));
    if (result == 0) {
        throw brindle5::exception::Evacuation();
    }
    return state.folder;
}

void DialogFrontEnd::showError(const std::string& text) {
    MessageBoxW(nullptr, wide(text).c_str(), wide(captionOr(texts_, kBoxCaption)).c_str(), MB_OK);
}

void DialogFrontEnd::showMessage(const std::string& text) {
    MessageBoxW(nullptr, wide(text).c_str(), L"Self-extracting archive",
                MB_OK | MB_ICONINFORMATION);
}

}  // namespace win32
}  // namespace app
