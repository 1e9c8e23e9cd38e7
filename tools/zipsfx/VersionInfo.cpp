#include "tools/zipsfx/VersionInfo.h"

#include <cctype>

#include "base/Utf8.h"
#include "tools/zipsfx/Fail.h"

namespace tools {

namespace {

[[noreturn]] void usage(const std::string& message) {
    fail(message, "usage");
}

// Valid UTF-8 as UTF-16.
std::u16string utf16(const std::string& text) {
    std::u16string result;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = base::utf8SequenceLength(text, at);
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
        char32_t c = length == 1   ? byte(0)
                     : length == 2 ? (byte(0) & 0x1Fu) << 6
                     : length == 3 ? (byte(0) & 0x0Fu) << 12
                                   : (byte(0) & 0x07u) << 18;
        for (std::size_t i = 1; i < length; ++i) {
            c |= static_cast<char32_t>(byte(i) & 0x3Fu) << (6 * (length - 1 - i));
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            result += static_cast<char16_t>(0xD800 + (c >> 10));
            result += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            result += static_cast<char16_t>(c);
        }
        at += length;
    }
    return result;
}

// One node of the version resource: its key, its value (text or binary) and its children.
struct Node {
    std::u16string key;
    std::vector<std::uint8_t> value;
    bool text = false;
    std::vector<Node> children;
};

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void pad(std::vector<std::uint8_t>& out) {
    while (out.size() % 4 != 0) {
        out.push_back(0);
    }
}

void write(std::vector<std::uint8_t>& out, const Node& node) {
    pad(out);
    const std::size_t start = out.size();
    put16(out, 0);  // the length, known at the end
    put16(out, static_cast<std::uint32_t>(node.text ? node.value.size() / 2 : node.value.size()));
    put16(out, node.text ? 1 : 0);
    for (char16_t c : node.key) {
        put16(out, c);
    }
    put16(out, 0);
    pad(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const Node& child : node.children) {
        write(out, child);
    }
    const std::size_t length = out.size() - start;
    if (length > 0xFFFF) {
        fail("the version information is too large: keep its texts shorter", "usage");
    }
    out[start] = static_cast<std::uint8_t>(length);
    out[start + 1] = static_cast<std::uint8_t>(length >> 8);
}

std::vector<std::uint8_t> textValue(const std::u16string& text) {
    std::vector<std::uint8_t> value;
    for (char16_t c : text) {
        put16(value, c);
    }
    put16(value, 0);
    return value;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::string versionText(const std::array<std::uint16_t, 4>& v) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
           std::to_string(v[3]);
}

}  // namespace

std::array<std::uint16_t, 4> parseVersion(const std::string& text) {
    std::array<std::uint16_t, 4> version{};
    std::size_t part = 0;
    std::size_t at = 0;
    for (;;) {
        std::size_t end = at;
        std::uint32_t value = 0;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) &&
               value <= 0xFFFF) {
            value = value * 10 + static_cast<std::uint32_t>(text[end++] - '0');
        }
        if (end == at || value > 0xFFFF || part == 4) {
            usage(
                "--version wants one to four numbers from 0 to 65535 with dots between, as in "
                "1.2.3.4, not '" +
                text + "'");
        }
        version[part++] = static_cast<std::uint16_t>(value);
        if (end == text.size()) {
            return version;
        }
        if (text[end] != '.') {
            usage(
                "--version wants one to four numbers from 0 to 65535 with dots between, as in "
                "1.2.3.4, not '" +
                text + "'");
        }
        at = end + 1;
    }
}

void addVersionString(VersionInfo& info, const std::string& assignment) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
        usage("--version-info wants KEY=VALUE, as in ProductName=Acme, not '" + assignment + "'");
    }
    const std::string key = assignment.substr(0, equals);
    const std::string value = assignment.substr(equals + 1);
    if (key.empty()) {
        usage("--version-info: the key before '=' is empty");
    }
    for (char c : key) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            usage("--version-info: the key '" + key + "' must be letters and digits only");
        }
    }
    if (key.size() > kMaxVersionKey) {
        usage("--version-info: the key '" + key.substr(0, 20) +
              "...' is too long: " + std::to_string(key.size()) + " characters, at most " +
              std::to_string(kMaxVersionKey));
    }
    if (!base::isValidUtf8(value) || value.find('\0') != std::string::npos) {
        usage("--version-info: the value of " + key + " is not UTF-8 text");
    }
    if (utf16(value).size() > kMaxVersionValue) {
        usage("--version-info: the value of " + key + " is too long: at most " +
              std::to_string(kMaxVersionValue) + " characters");
    }
    for (auto& entry : info.strings) {
        if (entry.first == key) {
            entry.second = value;
            return;
        }
    }
    info.strings.emplace_back(key, value);
}

std::vector<std::uint8_t> versionResource(const VersionInfo& info) {
    const auto& v = info.version;
    std::vector<std::pair<std::string, std::string>> strings = info.strings;
    for (const char* key : {"FileVersion", "ProductVersion"}) {
        bool present = false;
        for (const auto& entry : strings) {
            present = present || entry.first == key;
        }
        if (!present && info.versionGiven) {
            strings.emplace_back(key, versionText(v));
        }
    }

    Node root;
    root.key = u"VS_VERSION_INFO";
    // VS_FIXEDFILEINFO: signature, structure version, the versions, flags, OS and type.
    put32(root.value, 0xFEEF04BDu);
    put32(root.value, 0x00010000u);
    for (int twice = 0; twice < 2; ++twice) {
        put32(root.value, static_cast<std::uint32_t>(v[0]) << 16 | v[1]);
        put32(root.value, static_cast<std::uint32_t>(v[2]) << 16 | v[3]);
    }
    put32(root.value, 0x3F);        // the flags that are defined
    put32(root.value, 0);           // none set
    put32(root.value, 0x00040004);  // VOS_NT_WINDOWS32
    put32(root.value, 1);           // VFT_APP
    put32(root.value, 0);
    put32(root.value, 0);
    put32(root.value, 0);

    Node table;
    table.key = u"040904B0";  // US English, Unicode
    table.text = true;
    for (const auto& [key, value] : strings) {
        Node string;
        string.key = utf16(key);
        string.text = true;
        string.value = textValue(utf16(value));
        table.children.push_back(std::move(string));
    }
    Node stringInfo;
    stringInfo.key = u"StringFileInfo";
    stringInfo.text = true;
    stringInfo.children.push_back(std::move(table));
    Node translation;
    translation.key = u"Translation";
    put16(translation.value, 0x0409);
    put16(translation.value, 0x04B0);
    Node varInfo;
    varInfo.key = u"VarFileInfo";
    varInfo.text = true;
    varInfo.children.push_back(std::move(translation));
    root.children.push_back(std::move(stringInfo));
    root.children.push_back(std::move(varInfo));

    std::vector<std::uint8_t> out;
    write(out, root);
    return out;
}

}  // namespace tools
