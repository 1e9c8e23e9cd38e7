#include "platform/PasswordPrompt.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace platform {

namespace {

// The console's own input, even when standard input is redirected; closed on the way out.
class ConsoleInput {
  public:
    ConsoleInput()
        : handle_(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr)) {}
    ConsoleInput(const ConsoleInput&) = delete;
    ConsoleInput& operator=(const ConsoleInput&) = delete;
    ~ConsoleInput() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            if (modeChanged_) {
                SetConsoleMode(handle_, mode_);
            }
            CloseHandle(handle_);
        }
    }

    bool echoOff() {
        if (handle_ == INVALID_HANDLE_VALUE || !GetConsoleMode(handle_, &mode_)) {
            return false;
        }
        modeChanged_ = SetConsoleMode(handle_, (mode_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) |
                                                   ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) != 0;
        return modeChanged_;
    }
    HANDLE handle() const { return handle_; }

  private:
    HANDLE handle_;
    DWORD mode_ = 0;
    bool modeChanged_ = false;
};

void writeToConsole(const std::string& text) {
    const HANDLE output =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        return;
    }
    const win32::WideText wideText = win32::wide(text);
    DWORD written = 0;
    WriteConsoleW(output, wideText.c_str(), static_cast<DWORD>(wideText.size()), &written, nullptr);
    CloseHandle(output);
}

}  // namespace

bool askHidden(const std::string& prompt, std::string& answer) {
    answer.clear();
    ConsoleInput input;
    if (!input.echoOff()) {
        return false;
    }
    writeToConsole(prompt);
    win32::WideText line(1024);
    DWORD read = 0;
    const BOOL done = ReadConsoleW(input.handle(), line.data(), static_cast<DWORD>(line.size()) - 1,
                                   &read, nullptr);
    writeToConsole("\r\n");
    if (!done) {
        return false;
    }
    std::size_t length = read;
    while (length > 0 && (line.data()[length - 1] == L'\n' || line.data()[length - 1] == L'\r')) {
        --length;
    }
    answer = win32::narrow(line.data(), length);
    return true;
}

}  // namespace platform
