// `zipsfx test` decodes through the archive library's checking reader, which the stub's -t uses
// too; the tool knows it by these names.
#pragma once

#include "format/zip/CheckingReader.h"

namespace tools {

using format::zip::CheckingArchive;
using format::zip::CheckingReader;
using format::zip::CheckReport;
using format::zip::CheckResult;

}  // namespace tools
