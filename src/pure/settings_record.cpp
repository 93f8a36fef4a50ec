#include "pure/settings_record.h"

#include <algorithm>

#include "pure/numbers.h"

namespace settings {

SettingsRecord& Current() {
    static SettingsRecord current;
    return current;
}

SettingsRecord FromStoredText(const std::function<std::string(const char* name)>& read) {
    // Numbers beyond 32 bits saturate; empty or non-numeric text gives the default.
    const auto number = [&](const char* name, std::int32_t fallback) {
        const std::string text = read(name);
        const auto value = text.empty() ? std::nullopt : num::ParseNumber(text);
        return value ? num::ToInt32(*value) : fallback;
    };
    SettingsRecord s;
    // Each value within its limits: the colour's magnitude up to white, the transparency 0..255,
    // the corner 0..4.
    s.formcolor = std::min<std::int32_t>(num::Magnitude(number("formcolor", 0)), 0xFFFFFF);
    s.transvalue = std::clamp<std::int32_t>(number("transvalue", 128), 0, 255);
    s.opaquetime = number("opaquetime", 0);
    s.imagename = read("imagename");
    s.imagestretch = read("imagestretch") == "1" ? -1 : 0;
    s.disablecorner = std::clamp<std::int16_t>(num::ToInt16(num::LeadingNumber(read("disablecorner"))), 0, 4);
    return s;
}

}  // namespace settings
