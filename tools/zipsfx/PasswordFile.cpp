#include "tools/zipsfx/PasswordFile.h"

#include "archive/Wipe.h"
#include "io/FileInput.h"

namespace tools {

std::string readPasswordFile(const std::string& path) {
    stream::FileInput input(path);
    std::string text;
    // A password is a line, not a document: a few kilobytes are plenty.
    char buffer[4096];
    const std::uint32_t n = input.read(buffer, sizeof buffer);
    text.assign(buffer, n);
    for (char& c : buffer) {
        c = 0;
    }
    const std::size_t end = text.find('\n');
    if (end != std::string::npos) {
        std::string line = text.substr(0, end > 0 && text[end - 1] == '\r' ? end - 1 : end);
        vessel5::wipe(text);
        return line;
    }
    return text;
}

}  // namespace tools
