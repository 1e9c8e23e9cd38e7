// Self-extracting files made on the spot for the stub's tests: a stand-in program, zero padding to
// a multiple of 512, the mark, and a Zip of stored entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace apptest {

struct Entry {
    std::string name;  // a trailing '/' makes a folder entry
    std::string data;
};

using testsupport::crc32;

// A Zip archive of stored entries (all dated 2020-06-15 12:34:56, MS-DOS time).
std::string storedZip(const std::vector<Entry>& entries);

// `programSize` bytes of stand-in program, padded to 512, then the mark and `zip`.
std::string selfExtracting(const std::string& zip, std::size_t programSize = 1000);

}  // namespace apptest
