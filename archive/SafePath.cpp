#include "archive/SafePath.h"

#include <cctype>
#include <cstring>

#include "base/Decimal.h"
#include "base/Utf8.h"
#include "platform/Platform.h"

namespace vessel5 {
namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

// Windows drops trailing dots and blanks from a name, so they decide nothing about safety but
// can hide "." and "..".
void dropTrailingDotsAndBlanks(std::string& text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) {
        text.pop_back();
    }
}

bool isDrivePrefix(const std::string& text) {
    return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) != 0 &&
           text[1] == ':';
}

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// The digits Windows accepts after COM and LPT: 0 to 9 and the superscripts 1 to 3, as single
// ANSI bytes or as their two-byte UTF-8 forms.
bool isDeviceDigit(const std::string& rest) {
    if (rest.size() == 1) {
        unsigned char c = static_cast<unsigned char>(rest[0]);
        return (c >= '0' && c <= '9') || c == 0xB9 || c == 0xB2 || c == 0xB3;
    }
    if (rest.size() == 2 && static_cast<unsigned char>(rest[0]) == 0xC2) {
        unsigned char c = static_cast<unsigned char>(rest[1]);
        return c == 0xB9 || c == 0xB2 || c == 0xB3;
    }
    return false;
}

}  // namespace

bool cleanNameCharacters(std::string& name) {
    const std::string text = base::repairUtf8(name);
    std::string kept;
    kept.reserve(text.size());
    // In valid UTF-8 every byte below 0x80 is a character of its own, so these tests cannot
    // touch part of a longer character.
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            continue;
        }
        const bool forbidden = std::strchr(platform::kForbiddenNameCharacters, c) != nullptr;
        kept += forbidden ? '_' : c;
    }
    const bool changed = kept != name;
    name = kept;
    return changed;
}

std::string pathLengthProblem(const std::string& prefix,
                              const std::vector<std::string>& components) {
    if (platform::kMaxNameBytes == 0) {
        return std::string();
    }
    std::size_t length = prefix.size();
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (components[i].size() > platform::kMaxNameBytes) {
            return "a name longer than " + generic::decimal(platform::kMaxNameBytes) +
                   " bytes, which this system cannot create";
        }
        length += (i == 0 ? 0 : 1) + components[i].size();
    }
    if (length > platform::kMaxPathLength) {
        return "a path longer than " + generic::decimal(platform::kMaxPathLength) +
               " bytes, which this system cannot create";
    }
    return std::string();
}

bool isReservedDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.pop_back();
    }
    base = upper(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$") {
        return true;
    }
    if (base.size() >= 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) {
        return isDeviceDigit(base.substr(3));
    }
    return false;
}

bool isSafeComponent(const std::string& component) {
    for (char c : component) {
        if (isSeparator(c) || c == ':') {
            return false;
        }
    }
    std::string visible = component;
    dropTrailingDotsAndBlanks(visible);
    return !visible.empty() && !isReservedDeviceName(component);
}

std::vector<std::string> safeComponents(const std::string& storedName, NameCleaner clean) {
    std::vector<std::string> components;
    std::string::size_type start = 0;
    // The device namespace prefixes "\\?\" and "\\.\" name no folder: what follows them is
    // judged as the start of the name (a drive there is dropped like any other).
    if (storedName.size() >= 4 && isSeparator(storedName[0]) && isSeparator(storedName[1]) &&
        (storedName[2] == '?' || storedName[2] == '.') && isSeparator(storedName[3])) {
        start = 4;
    }
    while (start <= storedName.size()) {
        std::string::size_type end = start;
        while (end < storedName.size() && !isSeparator(storedName[end])) {
            ++end;
        }
        std::string component = storedName.substr(start, end - start);
        start = end + 1;

        // Clean before judging: removing characters must not produce what the checks refuse.
        if (clean != nullptr) {
            clean(component);
        }
        if (components.empty() && isDrivePrefix(component)) {
            component.erase(0, 2);
        }
        for (char& c : component) {
            if (c == ':') {
                c = '_';
            }
        }
        dropTrailingDotsAndBlanks(component);
        if (component.empty()) {
            continue;
        }
        if (isReservedDeviceName(component)) {
            component.insert(0, 1, '_');
        }
        components.push_back(component);
    }
    return components;
}

}  // namespace vessel5
