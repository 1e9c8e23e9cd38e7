#include "app/TextSettings.h"

#include "sfx/Layout.h"

namespace app {

namespace {

std::string text(Environment& environment, const char* name, std::size_t limit) {
    const auto bytes = environment.resource(name);
    if (!bytes) {
        return std::string();
    }
    std::string value = bytes->substr(0, bytes->find('\0'));
    return value.size() > limit ? std::string() : value;
}

}  // namespace

TextSettings readTextSettings(Environment& environment) {
    TextSettings texts;
    texts.title = text(environment, sfx::kTitleText, sfx::kMaxTitleText);
    texts.message = text(environment, sfx::kMessageText, sfx::kMaxMessageText);
    texts.license = text(environment, sfx::kLicenseText, sfx::kMaxLicenseText);
    return texts;
}

}  // namespace app
