#include "platform/PasswordPrompt.h"

#include "platform/posix/Terminal.h"

namespace platform {

bool askHidden(const std::string& prompt, std::string& answer) {
    posix::Terminal terminal;
    answer.clear();
    if (!terminal.isOpen() || !terminal.setEcho(false)) {
        return false;
    }
    terminal.write(prompt);
    for (;;) {
        const int c = terminal.read(-1);
        if (c == posix::Terminal::kNothing) {
            continue;
        }
        if (c == posix::Terminal::kEnd) {
            terminal.write("\n");
            return false;
        }
        if (c == '\n') {
            return true;
        }
        if (c != '\r') {
            answer += static_cast<char>(c);
        }
    }
}

}  // namespace platform
