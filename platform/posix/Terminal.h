// The controlling terminal, for the POSIX stub's questions and progress line. It is opened by
// path (/dev/tty), so it is the user's terminal even when the standard streams are redirected.
// (The Windows stub asks through dialogs and has no counterpart.)
#pragma once

#include <string>

namespace platform {
namespace posix {

class Terminal {
  public:
    // What read() gives when no byte came in the time allowed, and at the end of input.
    static constexpr int kNothing = -1;
    static constexpr int kEnd = -2;

    // Opens the terminal; without one, isOpen() is false, write() does nothing, columns() is 0
    // and read() must not be called.
    Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    ~Terminal();

    bool isOpen() const { return descriptor_ >= 0; }
    // Writes all of text, or stops quietly when the terminal refuses it.
    void write(const std::string& text);
    // One byte typed (0 to 255), waiting at most `milliseconds` for it; kNothing when none came
    // or a signal cut the wait short, kEnd at the end of input (Ctrl-D), on an error or when a
    // signal cut the read itself short.
    int read(int milliseconds);
    // The terminal's width in columns, or 0 when it does not say.
    unsigned columns() const;
    // Stops (false) or restarts (true) the echo of typed characters, for a password; the
    // destructor restarts it. False when the terminal cannot be told.
    bool setEcho(bool echo);
    // Its height in lines, or 0 when it does not say.
    unsigned rows() const;

  private:
    int descriptor_ = -1;
    bool echoOff_ = false;
};

}  // namespace posix
}  // namespace platform
