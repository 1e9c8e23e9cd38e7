// Finds where the archive appended to a self-extracting executable begins: right after the
// mark, searched for as sfx/Layout.h says.
#pragma once

#include <cstdint>
#include <string>

#include "platform/MappedFile.h"

namespace app {

class MarkedExecutableParser {
  public:
    // Opens and maps the file; throws generic::exception (kind "MarkedExecutableParser") when
    // it cannot.
    explicit MarkedExecutableParser(const std::string& path);

    // The offset just past the first mark; 32 (as if the mark were at 0) when there is none.
    std::uint32_t archiveOffset() const;
    // Where the archive must end: the start of the certificate table of a signed executable
    // (only what lies before it is signed), else kToEnd: the end of the file.
    static constexpr std::uint64_t kToEnd = ~std::uint64_t(0);
    std::uint64_t archiveEnd() const;
    bool isSigned() const;
    // Unmaps the view and closes the mapping and the file.
    void close() { file_.close(); }

  private:
    platform::MappedFile file_;
};

}  // namespace app
