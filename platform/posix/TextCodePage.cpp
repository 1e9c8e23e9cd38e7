#include "platform/TextCodePage.h"

namespace platform {

bool oemToUtf8(const std::string&, std::string&) {
    return false;
}

}  // namespace platform
