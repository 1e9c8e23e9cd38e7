// The decryption of one encrypted entry's data once a password fits it: the traditional cipher
// past its 12-byte encryption header, or WinZip AES past its salt and password verifier, with
// the authentication code behind the data checked at the end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "format/zip/PendingEntry.h"

namespace algorithm {
class Cipher;
}
namespace stream {
class InputStream;
}

namespace format {
namespace zip {

class EntryDecryption {
  public:
    // Reads the header in front of the data from input (at the entry's first data byte) and tries
    // password on it: null when the password does not fit (the check byte or the verifier says
    // so). Throws BadFormat when the entry is shorter than what encryption adds to it, and the
    // input's exceptions.
    static std::unique_ptr<EntryDecryption> open(stream::InputStream& input,
                                                 const EntryValues& values,
                                                 const std::string& password);

    virtual ~EntryDecryption() = default;

    // Decrypts the data that follows the header, its key state running on from the header.
    virtual algorithm::Cipher& cipher() = 0;
    // The bytes of the entry's compressed size that are not compressed data.
    virtual std::uint64_t overhead() const = 0;
    // Whether the entry's CRC-32 is to be compared (WinZip's AE-2 stores none).
    virtual bool checksCrc() const { return true; }
    // Called once all the data has gone through cipher(), with input right behind the data:
    // throws BadData when the authentication code stored there is not the data's.
    virtual void finish(stream::InputStream&) {}
};

}  // namespace zip
}  // namespace format
