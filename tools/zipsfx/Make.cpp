#include "tools/zipsfx/Make.h"

#include <iostream>

namespace tools {

int runMake(int argc, char** argv) {
    (void)argc;
    (void)argv;
    std::cerr << "zipsfx make: not available yet\n";
    return 2;
}

}  // namespace tools
