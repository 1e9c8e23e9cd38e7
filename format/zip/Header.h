// The common shape of the Zip records (end record, central and local headers, encryption
// header): each reads itself, checks its signature and knows its length on disk. Each also writes
// itself, with a write member of its own that is not virtual: the writers are defined apart
// (RecordWriters.cpp), so that a program that only reads links none of them.
#pragma once

#include <array>
#include <cstdint>

#include "stream/Stream.h"

namespace format {
namespace zip {

using Signature = std::array<std::uint8_t, 4>;

// Largest length a 16-bit length field can hold.
constexpr std::size_t kMaxFieldLength = 0xFFFF;

class Header {
  public:
    virtual ~Header() = default;

    // True when the record read is of the expected kind (for the records with a signature: all
    // four signature bytes match).
    virtual bool isValid() const = 0;
    // Reads the record at the input's position. With check set, a signature that differs from
    // the record's in any of its four bytes throws; without, isValid() tells.
    virtual void read(stream::InputStream& input, bool check) = 0;
    // Length on disk, from the current field values.
    virtual std::uint64_t size() const = 0;

  protected:
    // Reads the four signature bytes; with check set, throws format::Exception with message
    // when they are not expected's.
    static void readSignature(stream::InputStream& input, Signature& signature,
                              const Signature& expected, bool check, const char* message);
};

}  // namespace zip
}  // namespace format
