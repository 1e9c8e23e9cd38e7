// Where a signed Windows executable's certificate table begins. An Authenticode signature covers
// the file up to that table but not the table itself, so whatever lies inside it can be changed
// without breaking the signature: the appended archive must end before it.
#pragma once

#include <cstdint>

namespace app {

struct CertificateTable {
    bool present = false;      // the security directory names a table inside the file
    std::uint64_t offset = 0;  // its file offset (the directory's "address" is one)
    std::uint64_t size = 0;
};

// Reads the PE headers in `view` (the first `size` bytes of a file of `fileSize` bytes; the table
// itself may lie beyond the view). Anything that is not a PE with a non-empty security directory
// lying inside the file gives a table that is not present.
CertificateTable findCertificateTable(const std::uint8_t* view, std::uint64_t size,
                                      std::uint64_t fileSize);
// The same for a view of the whole file.
inline CertificateTable findCertificateTable(const std::uint8_t* view, std::uint64_t size) {
    return findCertificateTable(view, size, size);
}

}  // namespace app
