// UTF-8, the one text encoding inside the program: checking it, repairing it and writing code
// points in it. Valid means the shortest form of a scalar value (no surrogates, nothing past
// U+10FFFF), so overlong forms of '/' or '.' are never valid.
#pragma once

#include <cstddef>
#include <string>

namespace base {

// The length of the valid UTF-8 sequence that starts at text[at], or 0 when none does.
inline std::size_t utf8SequenceLength(const std::string& text, std::size_t at) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    // The range of the first continuation byte excludes overlong forms and surrogates.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

inline bool isValidUtf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

inline bool isAscii(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

inline void appendUtf8(std::string& text, char32_t codePoint) {
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        text += static_cast<char>(0xC0 | (codePoint >> 6));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        text += static_cast<char>(0xE0 | (codePoint >> 12));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (codePoint >> 18));
        text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Keeps every valid sequence and puts U+FFFD in place of each byte that belongs to none, so no
// byte is silently lost and no raw byte passes on.
inline std::string repairUtf8(const std::string& text) {
    std::string repaired;
    repaired.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0) {
            appendUtf8(repaired, 0xFFFD);
            ++at;
        } else {
            repaired.append(text, at, length);
            at += length;
        }
    }
    return repaired;
}

// The text as a terminal may show it: control characters, which could move the cursor or start
// an escape sequence, become visible escapes (\r, \n, \t, \x1b, and \u0085 for the C1 range
// U+0080 to U+009F), and bytes that are not UTF-8 become U+FFFD.
inline std::string printableText(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    const std::string repaired = repairUtf8(text);
    std::string shown;
    shown.reserve(repaired.size());
    for (std::size_t at = 0; at < repaired.size(); ++at) {
        const unsigned char byte = static_cast<unsigned char>(repaired[at]);
        if (byte == '\r') {
            shown += "\\r";
        } else if (byte == '\n') {
            shown += "\\n";
        } else if (byte == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0x0F];
        } else if (byte == 0xC2 && static_cast<unsigned char>(repaired[at + 1]) < 0xA0) {
            // C2 80 to C2 9F are U+0080 to U+009F: the second byte is the code point.
            const unsigned char low = static_cast<unsigned char>(repaired[++at]);
            shown += "\\u00";
            shown += kHex[low >> 4];
            shown += kHex[low & 0x0F];
        } else {
            shown += static_cast<char>(byte);
        }
    }
    return shown;
}

}  // namespace base
