#include "platform/Console.h"

namespace platform {

bool isConsole(StandardStream) {
    return false;
}

bool writeConsole(StandardStream, const char*, std::size_t) {
    return false;
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace platform
