// Values that may be unknown: the fields of entry records and settings carry a value together with
// a flag saying whether it was ever set. Setting the value makes it known; reset forgets it.
#pragma once

#include <cstdint>
#include <string>

namespace vessel5 {

template <typename T>
class Optional {
  public:
    explicit Optional(T resetValue = T()) : resetValue_(resetValue), value_(resetValue) {}

    void set(T value) {
        value_ = std::move(value);
        known_ = true;
    }
    bool known() const { return known_; }
    const T& value() const { return value_; }
    void reset() {
        value_ = resetValue_;
        known_ = false;
    }

  private:
    T resetValue_;
    T value_;
    bool known_ = false;
};

using OptionalText = Optional<std::string>;
using OptionalUInt64 = Optional<std::uint64_t>;

}  // namespace vessel5
