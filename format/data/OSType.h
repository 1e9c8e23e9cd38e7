// A four-character type code packed into 32 bits, the first character in the most significant
// byte. Characters missing from a short text are spaces.
#pragma once

#include <cstdint>
#include <string>

#include "stream/Stream.h"

namespace format {
namespace data {

class OSType {
  public:
    OSType() : OSType("????") {}
    explicit OSType(const std::string& text) { set(text); }
    explicit OSType(std::uint32_t value) : value_(value) {}
    virtual ~OSType() = default;

    // A type code always holds a value.
    virtual bool isValid() const { return true; }
    // Four bytes; a zero byte ends the code and it and what follows become spaces. Throws
    // format::Exception when fewer than four bytes are left.
    virtual void read(stream::Input& input);
    // Four bytes, the first character first.
    virtual void write(stream::Sink& output) const;
    virtual std::uint32_t size() const { return 4; }

    void set(const std::string& text);
    std::uint32_t value() const { return value_; }
    std::string text() const;

    bool operator==(const OSType& other) const { return value_ == other.value_; }
    bool operator!=(const OSType& other) const { return value_ != other.value_; }

  private:
    std::uint32_t value_ = 0;
};

}  // namespace data
}  // namespace format
