#include "app/posix/TerminalFrontEnd.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "base/Exception.h"
#include "base/Utf8.h"
#include "platform/StopRequest.h"

namespace app {
namespace posix {

namespace {

// Set by Ctrl-C; read by every handler of the run through isCancelled().
volatile sig_atomic_t cancelled = 0;

void onStop() {
    cancelled = 1;
}

constexpr unsigned kBarWidth = 20;

}  // namespace

TerminalFrontEnd::TerminalFrontEnd() {
    // Ctrl-C, SIGTERM and SIGHUP cancel, also a question that is waiting for input.
    platform::onStopRequest(onStop);
    terminal_ = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
}

TerminalFrontEnd::~TerminalFrontEnd() {
    if (terminal_ >= 0) {
        ::close(terminal_);
    }
}

void TerminalFrontEnd::write(const std::string& text) {
    std::size_t done = 0;
    while (terminal_ >= 0 && done < text.size()) {
        const ssize_t n = ::write(terminal_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

bool TerminalFrontEnd::readLine(std::string& line) {
    line.clear();
    for (;;) {
        // A request to stop that arrives just before the read would not interrupt it: wait in
        // short steps and look at the flag between them.
        struct pollfd wait = {terminal_, POLLIN, 0};
        if (!cancelled && ::poll(&wait, 1, 100) == 0) {
            continue;
        }
        char c = 0;
        const ssize_t n = cancelled ? -1 : ::read(terminal_, &c, 1);
        if (cancelled || n < 0) {
            write("\n");
            return false;
        }
        if (n == 0) {
            write("\n");
            return false;  // end of input (Ctrl-D)
        }
        if (c == '\n') {
            return true;
        }
        if (c != '\r') {
            line += c;
        }
    }
}

void TerminalFrontEnd::confirm() {
    if (terminal_ < 0) {
        return;
    }
    write(
        "This is a self-extracting Zip archive. Do you wish to continue and extract files? "
        "[y/N] ");
    std::string answer;
    if (!readLine(answer) ||
        (answer != "y" && answer != "Y" && answer != "yes" && answer != "Yes" && answer != "YES")) {
        throw brindle5::exception::Evacuation();
    }
}

std::string TerminalFrontEnd::chooseDestination(const std::string& initial) {
    if (terminal_ < 0) {
        return initial;
    }
    write("Extract to [" + initial + "]: ");
    std::string answer;
    if (!readLine(answer)) {
        throw brindle5::exception::Evacuation();
    }
    return answer.empty() ? initial : answer;
}

void TerminalFrontEnd::createProgress() {
    showing_ = terminal_ >= 0;
    percent_ = 0;
    name_.clear();
    drawn_.clear();
}

void TerminalFrontEnd::startProgress(std::uint32_t total) {
    divisor_ = total / 100 == 0 ? 1 : total / 100;
    draw();
}

bool TerminalFrontEnd::advanceProgress(std::uint32_t done) {
    if (cancelled) {
        return false;
    }
    if (done != 0) {
        const std::uint32_t percent = done / divisor_;
        percent_ = percent > 100 ? 100 : percent;
        draw();
    }
    return !cancelled;
}

void TerminalFrontEnd::showName(const std::string& name) {
    name_ = base::printableText(name);
    draw();
}

void TerminalFrontEnd::draw() {
    if (!showing_) {
        return;
    }
    unsigned columns = 80;
    struct winsize size = {};
    if (::ioctl(terminal_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        columns = size.ws_col;
    }
    const unsigned filled = percent_ * kBarWidth / 100;
    char head[64];
    std::snprintf(head, sizeof head, "[%s%s] %3u%% ", std::string(filled, '#').c_str(),
                  std::string(kBarWidth - filled, '-').c_str(), percent_);
    std::string line = head + name_;
    // One line only: a long name keeps its end, which is the informative part of a path.
    if (columns > 1 && line.size() > columns - 1) {
        const std::size_t room = columns - 1 > std::string(head).size() + 3
                                     ? columns - 1 - std::string(head).size() - 3
                                     : 0;
        std::size_t start = name_.size() - room;
        // Start at a whole character.
        while (start < name_.size() && (static_cast<unsigned char>(name_[start]) & 0xC0) == 0x80) {
            ++start;
        }
        line = std::string(head) + "..." + name_.substr(start);
        line.resize(columns - 1 < line.size() ? columns - 1 : line.size());
    }
    if (line == drawn_) {
        return;
    }
    drawn_ = line;
    write("\r\033[K" + line);
}

void TerminalFrontEnd::destroyProgress() {
    if (showing_ && !drawn_.empty()) {
        write("\n");
    }
    showing_ = false;
}

bool TerminalFrontEnd::isCancelled() const {
    return cancelled != 0;
}

void TerminalFrontEnd::showError(const std::string& text) {
    // The text may quote an entry name: its control characters are shown, not obeyed.
    std::fprintf(stderr, "%s\n", base::printableText(text).c_str());
}

void TerminalFrontEnd::noteSkipped(const std::string& text) {
    std::fprintf(stderr, "skipped %s\n", base::printableText(text).c_str());
}

}  // namespace posix
}  // namespace app
