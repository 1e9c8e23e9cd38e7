#include "app/win32/ProgressWindow.h"

#include <commctrl.h>

#include "app/win32/resource.h"
#include "base/Exception.h"
#include "platform/win32/Wide.h"

namespace app {
namespace win32 {

void ProgressWindow::create() {
    if (FindResourceW(instance_, L"PROGRESS", MAKEINTRESOURCEW(5)) == nullptr) {  // RT_DIALOG
        return;
    }
    window_ = CreateDialogParamW(instance_, L"PROGRESS", nullptr, procedure,
                                 reinterpret_cast<LPARAM>(this));
    if (window_ == nullptr) {
        throw brindle5::exception::Evacuation();
    }
    ShowWindow(window_, SW_SHOW);
    cancelled_ = false;
}

INT_PTR CALLBACK ProgressWindow::procedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        const auto* self = reinterpret_cast<ProgressWindow*>(lParam);
        if (!self->caption_.empty()) {
            SetWindowTextW(window, platform::win32::wide(self->caption_).c_str());
        }
        const HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"Icon");
        SetClassLongPtrW(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
        return 0;
    }
    // The whole parameter: a click on Cancel, or the close box (which the dialog manager turns
    // into the same command).
    if (message == WM_COMMAND && wParam == IDCANCEL) {
        auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, DWLP_USER));
        if (self != nullptr) {
            self->cancelled_ = true;
        }
    }
    return 0;
}

void ProgressWindow::start(std::uint32_t total) {
    divisor_ = total / 100 == 0 ? 1 : total / 100;
    if (window_ == nullptr) {
        return;
    }
    const HWND place = GetDlgItem(window_, IDC_PROGRESS_PLACE);
    RECT area = {};
    GetClientRect(place, &area);
    bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"PROGRESS", WS_CHILD | WS_VISIBLE, area.left,
                           area.top, area.right - area.left, area.bottom - area.top, place,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS_BAR)),
                           instance_, nullptr);
    if (bar_ != nullptr) {
        SendMessageW(bar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    }
}

bool ProgressWindow::advance(std::uint32_t done) {
    if (cancelled_) {
        return false;
    }
    if (done != 0 && bar_ != nullptr) {
        SendMessageW(bar_, PBM_SETPOS, done / divisor_, 0);
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

void ProgressWindow::showName(const std::string& name) {
    if (window_ != nullptr) {
        SetDlgItemTextW(window_, IDC_ITEM_NAME, platform::win32::wide(name).c_str());
    }
}

void ProgressWindow::destroy() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
        window_ = nullptr;
        bar_ = nullptr;
    }
}

}  // namespace win32
}  // namespace app
