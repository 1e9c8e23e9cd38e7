// The modeless progress window: entry name, bar and Cancel button. There is no second thread:
// the window is serviced only while advance() pumps the thread's messages.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace app {
namespace win32 {

class ProgressWindow {
  public:
    explicit ProgressWindow(HINSTANCE instance) : instance_(instance) {}
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    ~ProgressWindow() { destroy(); }

    // Creates and shows the window; without a template there is no window (and no error).
    // Throws brindle5::exception::Evacuation when the window cannot be created.
    void create();
    // The window's caption instead of the template's; empty keeps the template's.
    void setCaption(const std::string& caption) { caption_ = caption; }
    // Creates the bar for a job of `total` bytes.
    void start(std::uint32_t total);
    // Moves the bar and pumps messages; false once Cancel was pressed.
    bool advance(std::uint32_t done);
    void showName(const std::string& name);
    void destroy();
    bool isCancelled() const { return cancelled_; }

  private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance_;
    std::string caption_;
    HWND window_ = nullptr;
    HWND bar_ = nullptr;
    std::uint32_t divisor_ = 1;
    bool cancelled_ = false;
};

}  // namespace win32
}  // namespace app
