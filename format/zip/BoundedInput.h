// Gives at most a fixed number of bytes of another input and then reports the end of data, so
// that a decoder cannot read past its entry's compressed data, however damaged that data is.
//
// Some decoders take the end of their data as zero bits and go on producing until the size they
// were told; with a damaged size that is gigabytes of output from nothing. A sound decoder asks
// past the end only a few times (to fill its bit buffer), so asking thousands of times means the
// data is damaged: that throws brindle5::exception::BadData.
#pragma once

#include <cstdint>

#include "base/Exception.h"
#include "stream/Filter.h"

namespace format {
namespace zip {

class BoundedInput : public stream::InputFilter {
  public:
    BoundedInput(stream::InputStream& next, std::uint64_t limit)
        : stream::InputFilter(next), left_(limit) {}

    int get() override {
        const int c = left_ == 0 ? -1 : next().get();
        if (c < 0) {
            overrun();
            return -1;
        }
        --left_;
        return c;
    }
    std::uint32_t read(void* buffer, std::uint32_t length) override {
        if (length > left_) {
            length = static_cast<std::uint32_t>(left_);
        }
        const std::uint32_t got = length == 0 ? 0 : next().read(buffer, length);
        if (got == 0) {
            overrun();
        }
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

    // Requests that find no data and are still taken for a decoder filling its bit buffer.
    static constexpr unsigned kOverrunLimit = 4096;

  private:
    void overrun() {
        if (++overruns_ > kOverrunLimit) {
            throw brindle5::exception::BadData(
                "compressed data ended before the file did in zip reader");
        }
    }

    std::uint64_t left_;
    unsigned overruns_ = 0;
};

}  // namespace zip
}  // namespace format
