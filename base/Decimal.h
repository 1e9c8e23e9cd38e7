// Decimal text of an integer, for messages and names. The stub formats numbers with this rather
// than with std::to_string or snprintf, which bring the C library's formatted output with them.
#pragma once

#include <string>
#include <type_traits>

namespace generic {

template <typename Integer>
std::string decimal(Integer value) {
    static_assert(std::is_integral<Integer>::value, "decimal() formats integers");
    using Unsigned = std::make_unsigned_t<Integer>;
    // The magnitude as unsigned, so that the most negative value needs no special case.
    Unsigned magnitude = static_cast<Unsigned>(value);
    bool negative = false;
    if constexpr (std::is_signed<Integer>::value) {
        if (value < 0) {
            negative = true;
            magnitude = static_cast<Unsigned>(Unsigned(0) - magnitude);
        }
    }
    char digits[24];
    char* end = digits + sizeof digits;
    char* at = end;
    do {
        *--at = static_cast<char>('0' + magnitude % 10);
        magnitude = static_cast<Unsigned>(magnitude / 10);
    } while (magnitude != 0);
    if (negative) {
        *--at = '-';
    }
    return std::string(at, end);
}

}  // namespace generic
