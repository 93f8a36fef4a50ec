#include "pure/settings_record.h"

#include <cstdlib>
#include <limits>

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
    s.formcolor = number("formcolor", 0);
    s.transvalue = number("transvalue", 128);
    s.opaquetime = number("opaquetime", 0);
    s.imagename = read("imagename");
    s.imagestretch = read("imagestretch") == "1" ? -1 : 0;
    s.disablecorner = num::ToInt16(num::LeadingNumber(read("disablecorner")));

    if (s.disablecorner < 0) s.disablecorner = 0;
    if (s.disablecorner > 4) s.disablecorner = 4;
    if (s.transvalue > 255) s.transvalue = 255;
    if (s.transvalue < 0) s.transvalue = 0;
    // The magnitude of the most negative value does not fit: it saturates, then is limited.
    s.formcolor = s.formcolor == std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::max()
                                                                          : std::abs(s.formcolor);
    if (s.formcolor > 0xFFFFFF) s.formcolor = 0xFFFFFF;
    return s;
}

}  // namespace settings
