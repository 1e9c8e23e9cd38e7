#include "algorithm/zip/InflateInput.h"

namespace algorithm {
namespace zip {

bool InflateInput::fetch() {
    if (direct_ == nullptr || ended_) {
        return next_ < end_;
    }
    // Keep the whole bytes not yet used in the BufferedInput, so that giveBack() can still
    // return them after the refill (a tiny buffer could not take anything new beside them).
    unsigned unused = direct_->capacity() > 16 ? count_ / 8 : 0;
    direct_->advance(static_cast<std::uint32_t>(next_ - direct_->current()) - unused);
    count_ -= unused * 8;
    bits_ &= mask(count_);
    direct_->fill();
    next_ = direct_->current();
    end_ = next_ + direct_->available();
    if (direct_->available() <= unused) {
        ended_ = true;
    }
    return next_ < end_;
}

void InflateInput::refillSlowly() {
    bits_ &= mask(count_);
    while (count_ <= 48) {
        int byte;
        if (direct_ != nullptr) {
            if (next_ == end_ && !fetch()) {
                byte = -1;
            } else {
                byte = *next_++;
            }
        } else {
            byte = ended_ ? -1 : input_.get();
            ended_ = byte < 0;
        }
        if (byte < 0) {
            byte = 0;
            padding_ += 8;
        }
        bits_ |= std::uint64_t(byte) << count_;
        count_ += 8;
    }
}

void InflateInput::consumeHeader(unsigned n) {
    consume(n);
    if (count_ < padding_) {
        unsigned zeros = padding_ - count_;
        padding_ = count_;
        granted_ = granted_ > zeros ? granted_ - zeros : 0;
    }
}

int InflateInput::getbits(unsigned n) {
    if (count_ < n) {
        refill();
    }
    unsigned real = count_ - padding_;
    if (n > real + granted_) {
        granted_ += (n - real - granted_ + 7) / 8 * 8;
        return -1;
    }
    int value = static_cast<int>(bits_ & mask(n));
    consumeHeader(n);
    return value;
}

bool InflateInput::copyBytes(std::uint8_t* to, std::uint32_t n) {
    while (n > 0 && count_ >= 8) {
        if (count_ - 8 < padding_) {
            return false;
        }
        *to++ = static_cast<std::uint8_t>(bits_);
        consume(8);
        --n;
    }
    if (n == 0) {
        return true;
    }
    // The buffer is empty now: the bytes come straight from the input.
    bits_ = 0;
    if (direct_ == nullptr) {
        while (n > 0) {
            std::uint32_t got = ended_ ? 0 : input_.read(to, n);
            if (got == 0) {
                ended_ = true;
                return false;
            }
            to += got;
            n -= got;
        }
        return true;
    }
    while (n > 0) {
        if (next_ == end_ && !fetch()) {
            return false;
        }
        std::uint32_t take = static_cast<std::uint32_t>(end_ - next_);
        if (take > n) {
            take = n;
        }
        std::memcpy(to, next_, take);
        to += take;
        next_ += take;
        n -= take;
    }
    return true;
}

void InflateInput::giveBack() {
    if (direct_ == nullptr) {
        return;
    }
    unsigned real = count_ > padding_ ? count_ - padding_ : 0;
    // Only bytes loaded since the last refill are still in the BufferedInput's memory.
    std::uint32_t loaded = static_cast<std::uint32_t>(next_ - direct_->current());
    std::uint32_t back = real / 8 < loaded ? real / 8 : loaded;
    direct_->advance(loaded - back);
    count_ -= back * 8;
    bits_ &= mask(count_);
    next_ = end_ = direct_->current();
}

}  // namespace zip
}  // namespace algorithm
