// Reads another input and turns a premature end of data into a stream::Exception, so that
// record readers need not check every count: a truncated archive fails where it ends.
#pragma once

#include "stream/Filter.h"

namespace stream {

class SafeInput : public InputFilter {
  public:
    using InputFilter::InputFilter;

    int get() override;
    std::uint32_t read(void* buffer, std::uint32_t length) override;
    std::uint64_t skip(std::uint64_t count) override;
    // A copy of ALL bytes is never short.
    std::uint64_t copy(OutputStream& output, std::uint64_t count) override;
};

}  // namespace stream
