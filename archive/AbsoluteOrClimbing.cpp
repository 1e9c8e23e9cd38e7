// In a file of its own: the stubs never use it, and the Windows linker keeps every function of
// an object it links.
#include "archive/SafePath.h"

#include <cctype>

namespace vessel5 {

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

}  // namespace

bool isAbsoluteOrClimbing(const std::string& storedName) {
    if (!storedName.empty() && isSeparator(storedName[0])) {
        return true;
    }
    if (storedName.size() >= 2 && std::isalpha(static_cast<unsigned char>(storedName[0])) != 0 &&
        storedName[1] == ':') {
        return true;
    }
    std::string::size_type start = 0;
    while (start <= storedName.size()) {
        std::string::size_type end = start;
        while (end < storedName.size() && !isSeparator(storedName[end])) {
            ++end;
        }
        if (storedName.compare(start, end - start, "..") == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace vessel5
