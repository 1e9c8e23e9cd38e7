#include "tools/zipsfx/Compressor.h"
#include "tools/zipsfx/Deflater.h"
#include "tools/zipsfx/Fail.h"
#if ZIPSFX_HAVE_LZMA
#include "tools/zipsfx/LzmaCompressor.h"
#endif

namespace tools {

bool methodAvailable(Method method) {
    return method != Method::Lzma || ZIPSFX_HAVE_LZMA;
}

std::unique_ptr<Compressor> makeCompressor(Method method, int level, std::uint64_t size,
                                           const std::string& what) {
    switch (method) {
        case Method::Deflate:
            return std::make_unique<Deflater>(level, what);
        case Method::Lzma:
#if ZIPSFX_HAVE_LZMA
            return std::make_unique<LzmaCompressor>(level, size, what);
#else
            (void)size;
            break;
#endif
        case Method::Store:
            break;
    }
    fail("this build of zipsfx cannot compress with that method");
}

}  // namespace tools
