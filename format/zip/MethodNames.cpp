#include "format/zip/MethodNames.h"

#include "base/Decimal.h"
#include "format/zip/MethodDecoders.h"

namespace format {
namespace zip {

namespace {

const char* knownName(std::uint16_t method) {
    const ZipMethod* row = findMethod(method);
    return row != nullptr ? row->name : nullptr;
}

}  // namespace

std::string methodName(std::uint16_t method) {
    const char* name = knownName(method);
    return name != nullptr ? name : "Method " + generic::decimal(method);
}

std::string unsupportedMethodText(std::uint16_t method) {
    std::string text = "unsupported compression method " + generic::decimal(method);
    if (const char* name = knownName(method)) {
        text += std::string(" (") + name + ")";
    }
    return text;
}

}  // namespace zip
}  // namespace format
