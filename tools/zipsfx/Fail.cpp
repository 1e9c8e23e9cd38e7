#include "tools/zipsfx/Fail.h"

#include "base/Exception.h"

namespace tools {

void fail(const std::string& message, const char* kind) {
    throw generic::exception(message, kind);
}

}  // namespace tools
