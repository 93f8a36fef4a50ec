// Loading and saving the settings record through the registry routines.
#include "settings/reg.h"
#include "settings/settings.h"

namespace settings {
namespace {

std::string Read(const char* name) { return Reg::ReadSetting(HKEY_CURRENT_USER, kSubKey, name); }

void Write(const char* name, const Reg::Value& value, DWORD type) {
    Reg::WriteSetting(HKEY_CURRENT_USER, kSubKey, name, value, type);  // a failed write leaves the next to be tried
}

}  // namespace

void LoadSettings() { Current() = FromStoredText(Read); }

void SaveSettings(std::int32_t formcolor, std::int32_t transvalue, std::int32_t opaquetime, std::string imagename,
                  std::int16_t imagestretch, std::int16_t disablecorner) {
    if (Read("formcolor").empty()) Reg::EnsureKey(HKEY_CURRENT_USER, kSubKey);
    Write("formcolor", formcolor, REG_DWORD);
    Write("transvalue", transvalue, REG_DWORD);
    Write("opaquetime", opaquetime, REG_DWORD);
    Write("imagename", imagename, REG_SZ);
    Write("disablecorner", disablecorner, REG_DWORD);
    Write("imagestretch", std::int32_t{imagestretch != 0 ? 1 : 0}, REG_DWORD);
    Current() = SettingsRecord{formcolor, transvalue, opaquetime, std::move(imagename), imagestretch, disablecorner};
}

}  // namespace settings
