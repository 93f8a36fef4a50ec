#include "settings/settings.h"

#include <cstdlib>
#include <limits>

#include "platform/numbers.h"
#include "settings/reg.h"

namespace settings {
namespace {

SettingsRecord g_current;

std::string Read(const char* name) { return Reg::ReadSetting(HKEY_CURRENT_USER, kSubKey, name); }

// A stored number by the locale's rules, rounded halves to even; numbers beyond 32 bits
// saturate. Missing, empty or non-numeric text gives the default.
std::int32_t ReadNumber(const char* name, std::int32_t fallback) {
    const std::string text = Read(name);
    if (text.empty()) return fallback;
    const auto number = num::ParseNumber(text);
    return number ? num::ToInt32(*number) : fallback;
}

LONG Write(const char* name, const Reg::Value& value, DWORD type) {
    return Reg::WriteSetting(HKEY_CURRENT_USER, kSubKey, name, value, type);
}

}  // namespace

SettingsRecord& Current() { return g_current; }

void LoadSettings() {
    SettingsRecord& s = g_current;
    s.formcolor = ReadNumber("formcolor", 0);
    s.transvalue = ReadNumber("transvalue", 128);
    s.opaquetime = ReadNumber("opaquetime", 0);
    s.imagename = Read("imagename");
    s.imagestretch = Read("imagestretch") == "1" ? -1 : 0;
    s.disablecorner = num::ToInt16(num::LeadingNumber(Read("disablecorner")));

    if (s.disablecorner < 0) s.disablecorner = 0;
    if (s.disablecorner > 4) s.disablecorner = 4;
    if (s.transvalue > 255) s.transvalue = 255;
    if (s.transvalue < 0) s.transvalue = 0;
    // The magnitude of the most negative value does not fit: it saturates, then is limited.
    s.formcolor = s.formcolor == std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::max()
                                                                           : std::abs(s.formcolor);
    if (s.formcolor > 0xFFFFFF) s.formcolor = 0xFFFFFF;
}

void SaveSettings(std::int32_t formcolor, std::int32_t transvalue, std::int32_t opaquetime, std::string imagename,
                  std::int16_t imagestretch, std::int16_t disablecorner) {
    // Statuses are ignored: a failed write leaves the next value to be tried.
    if (Read("formcolor").empty()) Reg::EnsureKey(HKEY_CURRENT_USER, kSubKey);
    Write("formcolor", formcolor, REG_DWORD);
    Write("transvalue", transvalue, REG_DWORD);
    Write("opaquetime", opaquetime, REG_DWORD);
    Write("imagename", imagename, REG_SZ);
    Write("disablecorner", disablecorner, REG_DWORD);
    Write("imagestretch", static_cast<std::int32_t>(imagestretch != 0 ? 1 : 0), REG_DWORD);
    g_current = SettingsRecord{formcolor, transvalue, opaquetime, std::move(imagename), imagestretch, disablecorner};
}

}  // namespace settings
