#include "app/posix/TerminalFrontEnd.h"

#include <csignal>
#include <cstdio>

#include "base/Decimal.h"
#include "base/Exception.h"
#include "base/Utf8.h"
#include "platform/StopRequest.h"

namespace app {
namespace posix {

namespace {

// Set by Ctrl-C; read by every handler of the run through isCancelled().
volatile std::sig_atomic_t cancelled = 0;

void onStop() {
    cancelled = 1;
}

constexpr unsigned kBarWidth = 20;
// The bar's two parts at their longest; the progress line prints a piece of each.
constexpr char kFilledBar[] = "####################";
constexpr char kEmptyBar[] = "--------------------";
static_assert(sizeof kFilledBar == kBarWidth + 1 && sizeof kEmptyBar == kBarWidth + 1,
              "the bar's parts are as wide as the bar");

// One line of the shipper's text as the terminal shows it: tabs stay tabs, a line's closing
// carriage return goes, other control characters are shown, not obeyed.
std::string shownLine(std::string line) {
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    std::string shown;
    std::size_t from = 0;
    for (std::size_t tab = line.find('\t');; tab = line.find('\t', from)) {
        shown += base::printableText(line.substr(from, tab - from));
        if (tab == std::string::npos) {
            return shown;
        }
        shown += '\t';
        from = tab + 1;
    }
}

// A text of several lines, each shown as above.
std::string shownText(const std::string& text) {
    std::string shown;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        shown += shownLine(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            return shown;
        }
        shown += '\n';
        start = end + 1;
    }
}

}  // namespace

TerminalFrontEnd::TerminalFrontEnd() {
    // Ctrl-C, SIGTERM and SIGHUP cancel, also a question that is waiting for input.
    platform::onStopRequest(onStop);
}

TerminalFrontEnd::~TerminalFrontEnd() = default;

bool TerminalFrontEnd::readLine(std::string& line) {
    line.clear();
    for (;;) {
        // A request to stop that arrives just before the read would not interrupt it: wait in
        // short steps and look at the flag between them.
        const int c = cancelled ? platform::posix::Terminal::kEnd : terminal_.read(100);
        if (c == platform::posix::Terminal::kNothing) {
            continue;
        }
        if (cancelled || c == platform::posix::Terminal::kEnd) {
            terminal_.write("\n");
            return false;  // Ctrl-C, or the end of input (Ctrl-D)
        }
        if (c == '\n') {
            return true;
        }
        if (c != '\r') {
            line += static_cast<char>(c);
        }
    }
}

bool TerminalFrontEnd::askYes(const std::string& question) {
    terminal_.write(question + " [y/N] ");
    std::string answer;
    return readLine(answer) && (answer == "y" || answer == "Y" || answer == "yes" ||
                                answer == "Yes" || answer == "YES");
}

void TerminalFrontEnd::confirm() {
    if (!terminal_.isOpen()) {
        return;
    }
    if (!texts_.title.empty()) {
        terminal_.write(shownLine(texts_.title) + "\n");
    }
    const std::string question =
        texts_.message.empty()
            ? "This is a self-extracting Zip archive. Do you wish to continue and extract files?"
            : shownText(texts_.message);
    if (!askYes(question)) {
        throw brindle5::exception::Evacuation();
    }
}

void TerminalFrontEnd::acceptLicense(const std::string& text) {
    if (!terminal_.isOpen()) {
        return;
    }
    const unsigned columns = terminal_.columns() == 0 ? 80 : terminal_.columns();
    // A page leaves a line for the prompt below it.
    const unsigned page = terminal_.rows() > 2 ? terminal_.rows() - 1 : 23;
    unsigned used = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        const std::string shown = shownLine(line);
        // A line wider than the terminal takes several.
        const unsigned height =
            shown.empty() ? 1 : unsigned((shown.size() + columns - 1) / columns);
        if (used > 0 && used + height > page) {
            terminal_.write("-- more (Enter) --");
            std::string ignored;
            if (!readLine(ignored)) {
                throw brindle5::exception::Evacuation();
            }
            used = 0;
        }
        terminal_.write(shown + "\n");
        used += height;
        start = end + 1;
    }
    if (!askYes("Accept?")) {
        throw brindle5::exception::Evacuation();
    }
}

std::string TerminalFrontEnd::chooseDestination(const std::string& initial) {
    if (!terminal_.isOpen()) {
        return initial;
    }
    terminal_.write("Extract to [" + initial + "]: ");
    std::string answer;
    if (!readLine(answer)) {
        throw brindle5::exception::Evacuation();
    }
    return answer.empty() ? initial : answer;
}

bool TerminalFrontEnd::askPassword(const std::string& entry, unsigned wrongTries,
                                   std::string& password) {
    if (!terminal_.isOpen() || !terminal_.setEcho(false)) {
        return false;
    }
    if (!drawn_.empty()) {
        // The progress line stays as it was drawn; the question starts below it.
        terminal_.write("\n");
        drawn_.clear();
    }
    std::string question = "Password for " + base::printableText(entry);
    if (wrongTries > 0) {
        // Each question its own words: the second and third say which try they are.
        question =
            "Wrong password.\n" + question + " (try " + generic::decimal(wrongTries + 1) + " of 3)";
    }
    terminal_.write(question + ": ");
    const bool answered = readLine(password);
    terminal_.setEcho(true);
    if (!answered) {
        throw brindle5::exception::Evacuation();
    }
    return true;
}

void TerminalFrontEnd::createProgress() {
    showing_ = terminal_.isOpen();
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
    unsigned columns = terminal_.columns();
    if (columns == 0) {
        columns = 80;
    }
    const unsigned filled = percent_ * kBarWidth / 100;
    char head[64];
    const int headLength =
        std::snprintf(head, sizeof head, "[%.*s%.*s] %3u%% ", static_cast<int>(filled), kFilledBar,
                      static_cast<int>(kBarWidth - filled), kEmptyBar, percent_);
    std::string line = head + name_;
    // One line only: a long name keeps its end, which is the informative part of a path.
    if (columns > 1 && line.size() > columns - 1) {
        const std::size_t used = static_cast<std::size_t>(headLength) + 3;
        const std::size_t room = columns - 1 > used ? columns - 1 - used : 0;
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
    terminal_.write("\r\033[K" + line);
}

void TerminalFrontEnd::destroyProgress() {
    if (showing_ && !drawn_.empty()) {
        terminal_.write("\n");
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

void TerminalFrontEnd::showMessage(const std::string& text) {
    // Line by line: the line ends are the text's own, anything else is shown, not obeyed.
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::printf("%s\n", base::printableText(text.substr(start, end - start)).c_str());
        start = end + 1;
    }
    std::fflush(stdout);
}

void TerminalFrontEnd::note(const std::string& text) {
    std::fprintf(stderr, "%s\n", base::printableText(text).c_str());
}

void TerminalFrontEnd::noteSkipped(const std::string& text) {
    std::fprintf(stderr, "skipped %s\n", base::printableText(text).c_str());
}

}  // namespace posix
}  // namespace app
