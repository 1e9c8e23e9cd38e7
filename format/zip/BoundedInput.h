// Gives at most a fixed number of bytes of another input and then reports the end of data, so
// that a decoder cannot read past its entry's compressed data, however damaged that data is.
#pragma once

#include <cstdint>

#include "stream/Filter.h"

namespace format {
namespace zip {

class BoundedInput : public stream::InputFilter {
  public:
    BoundedInput(stream::InputStream& next, std::uint64_t limit)
        : stream::InputFilter(next), left_(limit) {}

    int get() override {
        if (left_ == 0) {
            return -1;
        }
        int c = next().get();
        if (c >= 0) {
            --left_;
        }
        return c;
    }
    std::uint32_t read(void* buffer, std::uint32_t length) override {
        if (length > left_) {
            length = static_cast<std::uint32_t>(left_);
        }
        std::uint32_t got = next().read(buffer, length);
        left_ -= got;
        return got;
    }
    std::uint64_t skip(std::uint64_t count) override {
        std::uint64_t done = next().skip(count < left_ ? count : left_);
        left_ -= done;
        return done;
    }
    std::uint64_t copy(stream::OutputStream& output, std::uint64_t count) override {
        return stream::CopySource::copy(output, count < left_ ? count : left_);
    }
    std::uint64_t size() override { return next().tell() + left_; }

    std::uint64_t left() const { return left_; }

  private:
    std::uint64_t left_;
};

}  // namespace zip
}  // namespace format
