// A reading position of its own over an input that reads at given places (readAt): each thread
// that extracts entries reads the one archive file through one of these, none moving another's
// place.
#pragma once

#include <cstdint>

#include "stream/Stream.h"

namespace stream {

class PositionedInput : public RandomInput {
  public:
    // `source` must answer readsAt() true and outlive this stream.
    PositionedInput(RandomInput& source, std::uint64_t position)
        : source_(source), position_(position) {}

    int get() override {
        std::uint8_t byte = 0;
        return read(&byte, 1) == 1 ? byte : -1;
    }
    std::uint32_t read(void* buffer, std::uint32_t length) override {
        const std::uint32_t done = source_.readAt(position_, buffer, length);
        position_ += done;
        return done;
    }
    std::uint64_t skip(std::uint64_t count) override {
        const std::uint64_t end = source_.size();
        const std::uint64_t left = position_ < end ? end - position_ : 0;
        const std::uint64_t done = count < left ? count : left;
        position_ += done;
        return done;
    }
    std::uint64_t tell() override { return position_; }
    std::uint64_t size() override { return source_.size(); }
    void seek(std::uint64_t position) override { position_ = position; }
    bool readsAt() override { return true; }
    std::uint32_t readAt(std::uint64_t position, void* buffer, std::uint32_t length) override {
        return source_.readAt(position, buffer, length);
    }

  private:
    RandomInput& source_;
    std::uint64_t position_;
};

}  // namespace stream
