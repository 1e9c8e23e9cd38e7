// The stub catches everything at its entry point, so an uncaught exception cannot happen; the
// runtime's default terminate handler, which demangles type names for a console the stub does
// not have, is replaced by a plain abort. This keeps the name demangler out of the program.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
