#include "format/data/OSType.h"

#include <algorithm>

#include "base/Exception.h"

namespace format {
namespace data {

void OSType::set(const std::string& text) {
    std::uint32_t value = 0;
    std::size_t count = text.size() < 4 ? text.size() : 4;
    for (std::size_t i = 0; i < 4; ++i) {
        std::uint8_t c = i < count ? static_cast<std::uint8_t>(text[i]) : 0x20;
        value = (value << 8) | c;
    }
    value_ = value;
}

std::string OSType::text() const {
    std::string result(4, ' ');
    for (int i = 0; i < 4; ++i) {
        result[static_cast<std::size_t>(i)] = static_cast<char>((value_ >> (24 - 8 * i)) & 0xFF);
    }
    return result;
}

void OSType::read(stream::Input& input) {
    char bytes[4] = {};
    if (input.read(bytes, 4) < 4) {
        throw Exception(
            "format::data::OSType::read() cannot read from a stream with fewer than four "
            "characters");
    }
    set(std::string(bytes, std::find(bytes, bytes + 4, '\0')));
}

void OSType::write(stream::Sink& output) const {
    for (int shift = 24; shift >= 0; shift -= 8) {
        output.put(static_cast<std::uint8_t>((value_ >> shift) & 0xFF));
    }
}

}  // namespace data
}  // namespace format
