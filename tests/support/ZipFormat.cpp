// Linked into the test programs that extract Zip archives: registers the Zip reader with the
// archive object before any test runs, as the programs' entry points do.
#include "format/zip/ZipReaderFactory.h"

namespace {

[[maybe_unused]] const bool registered = [] {
    format::zip::registerZipFormat();
    return true;
}();

}  // namespace
