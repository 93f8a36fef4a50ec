#include "settings/store.h"

#include "pure/settings_record.h"
#include "settings/reg.h"

namespace settings {
namespace {

std::string Read(const char* name) { return Reg::ReadSetting(HKEY_CURRENT_USER, kSubKey, name); }

// A failed write leaves the next to be tried.
bool Write(const char* name, const Reg::Value& value, DWORD type) {
    return Reg::WriteSetting(HKEY_CURRENT_USER, kSubKey, name, value, type) == ERROR_SUCCESS;
}

}  // namespace

void LoadSettings() { Current() = FromStoredText(Read); }

bool SaveSettings(std::int32_t formcolor, std::int32_t transvalue, std::int32_t opaquetime, std::string imagename,
                  std::int16_t imagestretch, std::int16_t disablecorner) {
    if (Read("formcolor").empty()) Reg::EnsureKey(HKEY_CURRENT_USER, kSubKey);
    bool saved = Write("formcolor", formcolor, REG_DWORD);
    saved &= Write("transvalue", transvalue, REG_DWORD);
    saved &= Write("opaquetime", opaquetime, REG_DWORD);
    saved &= Write("imagename", imagename, REG_SZ);
    saved &= Write("disablecorner", disablecorner, REG_DWORD);
    saved &= Write("imagestretch", std::int32_t{imagestretch != 0 ? 1 : 0}, REG_DWORD);
    if (saved)
        Current() =
            SettingsRecord{formcolor, transvalue, opaquetime, std::move(imagename), imagestretch, disablecorner};
    return saved;
}

}  // namespace settings
