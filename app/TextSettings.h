// The shipper's texts for the stub's questions and windows (title, message, licence), read the
// same way by both stubs from their resources.
#pragma once

#include <string>

#include "app/Environment.h"

namespace app {

// Empty members mean the stub's own default.
struct TextSettings {
    std::string title;
    std::string message;
    std::string license;
};

// Reads the three texts from the environment's resources: each up to its first zero byte, and
// nothing at all (the default) when it is longer than the layout's limit, so that a damaged or
// foreign resource cannot flood a window.
TextSettings readTextSettings(Environment& environment);

// The caption for every window and box: the title, or `fallback` when there is none.
inline std::string captionOr(const TextSettings& texts, const char* fallback) {
    return texts.title.empty() ? fallback : texts.title;
}

}  // namespace app
