#include "archive/LinkTarget.h"

#include <cctype>

namespace vessel5 {

std::string resolveLinkTarget(const std::vector<std::string>& linkFolder, const std::string& target,
                              std::vector<std::string>& resolved,
                              std::vector<std::vector<std::string>>* passed) {
    if (target.find('\0') != std::string::npos) {
        return "holds a NUL byte";
    }
    if (target.find('\\') != std::string::npos) {
        return "holds a backslash";
    }
    const char* const outside = "lies outside the destination";
    if (target.empty() || target[0] == '/' ||
        (target.size() >= 2 && std::isalpha(static_cast<unsigned char>(target[0])) != 0 &&
         target[1] == ':')) {
        return outside;
    }
    resolved = linkFolder;
    if (passed != nullptr) {
        passed->clear();
    }
    std::string::size_type start = 0;
    while (start <= target.size()) {
        std::string::size_type end = target.find('/', start);
        if (end == std::string::npos) {
            end = target.size();
        }
        const std::string component = target.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".") {
            continue;
        }
        if (passed != nullptr && !resolved.empty()) {
            passed->push_back(resolved);
        }
        if (component == "..") {
            if (resolved.empty()) {
                return outside;
            }
            resolved.pop_back();
            continue;
        }
        resolved.push_back(component);
    }
    return std::string();
}

}  // namespace vessel5
