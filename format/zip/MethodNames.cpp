#include "format/zip/MethodNames.h"

#include "base/Decimal.h"

namespace format {
namespace zip {

namespace {

const char* knownName(std::uint16_t method) {
    switch (method) {
        case 0:
            return "Stored";
        case 1:
            return "Shrunk";
        case 2:
            return "Reduced1";
        case 3:
            return "Reduced2";
        case 4:
            return "Reduced3";
        case 5:
            return "Reduced4";
        case 6:
            return "Imploded";
        case 7:
            return "Tokenized";
        case 8:
            return "Deflated";
        case 9:
            return "Deflate64";
        case 10:
            return "PKWARE DCL Imploded";
        case 12:
            return "BZip2";
        case 14:
            return "LZMA";
        case 16:
            return "IBM z/OS CMPSC";
        case 18:
            return "IBM TERSE";
        case 19:
            return "IBM LZ77";
        case 20:
        case 93:
            return "Zstandard";
        case 94:
            return "MP3";
        case 95:
            return "XZ";
        case 96:
            return "JPEG";
        case 97:
            return "WavPack";
        case 98:
            return "PPMd";
        case 99:
            return "AES encrypted";
        default:
            return nullptr;
    }
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
