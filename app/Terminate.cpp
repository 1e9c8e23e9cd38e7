// The stub catches everything at its entry point, so an uncaught exception cannot happen; the
// runtime's default terminate handler, which demangles the exception's type name for a message,
// is replaced by a plain abort. This keeps the name demangler out of the program. It is an object
// of the stub itself, not a library member: the runtime asks for it only after our libraries
// have been scanned.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
