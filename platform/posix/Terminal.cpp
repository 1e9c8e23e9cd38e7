#include "platform/posix/Terminal.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {
namespace posix {

Terminal::Terminal() : descriptor_(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY)) {}

// Without a terminal the descriptor is -1, which close refuses harmlessly.
Terminal::~Terminal() {
    if (echoOff_) {
        setEcho(true);
    }
    ::close(descriptor_);
}

bool Terminal::setEcho(bool echo) {
    struct termios modes = {};
    if (::tcgetattr(descriptor_, &modes) != 0) {
        return false;
    }
    if (echo) {
        modes.c_lflag |= ECHO;
    } else {
        // The line's end is still shown, so that the next text starts on a line of its own.
        modes.c_lflag = (modes.c_lflag & ~static_cast<tcflag_t>(ECHO)) | ECHONL;
    }
    if (::tcsetattr(descriptor_, TCSAFLUSH, &modes) != 0) {
        return false;
    }
    echoOff_ = !echo;
    return true;
}

void Terminal::write(const std::string& text) {
    std::size_t done = 0;
    // Without a terminal the first write fails (a bad descriptor) and ends the loop.
    while (done < text.size()) {
        const ssize_t n = ::write(descriptor_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

int Terminal::read(int milliseconds) {
    struct pollfd wait = {descriptor_, POLLIN, 0};
    const int ready = ::poll(&wait, 1, milliseconds);
    if (ready == 0 || (ready < 0 && errno == EINTR)) {
        return kNothing;
    }
    unsigned char c = 0;
    return ::read(descriptor_, &c, 1) == 1 ? c : kEnd;
}

unsigned Terminal::columns() const {
    struct winsize size = {};
    if (::ioctl(descriptor_, TIOCGWINSZ, &size) == 0) {
        return size.ws_col;
    }
    return 0;
}

unsigned Terminal::rows() const {
    struct winsize size = {};
    if (::ioctl(descriptor_, TIOCGWINSZ, &size) == 0) {
        return size.ws_row;
    }
    return 0;
}

}  // namespace posix
}  // namespace platform
