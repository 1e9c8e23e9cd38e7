#include "tools/zipsfx/ConsoleBuffer.h"

namespace tools {

namespace {

// Where the last, possibly incomplete, UTF-8 sequence of text starts (text.size() when it ends
// with a whole character). Bytes that cannot start a sequence count as whole: the writer
// replaces them.
std::size_t completeLength(const std::string& text) {
    std::size_t start = text.size();
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0x80) {
            continue;  // a continuation byte: look further back for the lead
        }
        const std::size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        if (needed > back) {
            start = text.size() - back;
        }
        break;
    }
    return start;
}

}  // namespace

ConsoleBuffer::int_type ConsoleBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    pending_ += traits_type::to_char_type(c);
    if (c == '\n' || c == '\r') {
        sync();
    }
    return c;
}

std::streamsize ConsoleBuffer::xsputn(const char* text, std::streamsize count) {
    pending_.append(text, static_cast<std::size_t>(count));
    if (pending_.find_first_of("\r\n") != std::string::npos || pending_.size() >= 4096) {
        sync();
    }
    return count;
}

int ConsoleBuffer::sync() {
    const std::size_t whole = completeLength(pending_);
    if (whole == 0) {
        return 0;
    }
    const bool written = platform::writeConsole(stream_, pending_.data(), whole);
    pending_.erase(0, whole);
    return written ? 0 : -1;
}

}  // namespace tools
