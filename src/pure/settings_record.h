// The six user settings: one process-wide record, and how it is made from the texts stored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace settings {

struct SettingsRecord {
    std::int32_t formcolor = 0;      // tint, 0x00BBGGRR
    std::int32_t transvalue = 0;     // 0..255; the saver's alpha is 255 minus this
    std::int32_t opaquetime = 0;     // fade seconds; positive switches the fade on
    std::string imagename;           // background picture path, empty for none
    std::int16_t imagestretch = 0;   // -1 true, 0 false
    std::int16_t disablecorner = 0;  // 0 none, 1..4 a corner
    bool operator==(const SettingsRecord&) const = default;
};

// The current settings of this process.
SettingsRecord& Current();

// A record made from the six values' stored texts, as the registry routines read them (empty
// when missing): numbers by the locale's rules rounded halves to even, defaults for what is
// missing or no number, then the limits.
SettingsRecord FromStoredText(const std::function<std::string(const char* name)>& read);

}  // namespace settings
