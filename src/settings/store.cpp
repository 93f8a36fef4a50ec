#include "settings/store.h"

#include "pure/settings_record.h"
#include "settings/reg.h"

namespace settings {
namespace {

std::string Read(const char* name) { return Reg::ReadSetting(HKEY_CURRENT_USER, kSubKey, name); }

// A failed write leaves the next to be tried.
bool Write(const char* name, const Reg::Value& value) {
    return Reg::WriteSetting(HKEY_CURRENT_USER, kSubKey, name, value) == ERROR_SUCCESS;
}

}  // namespace

void LoadSettings() { Current() = FromStoredText(Read); }

bool SaveSettings(std::int32_t formcolor, std::int32_t transvalue, std::int32_t opaquetime, std::string imagename,
                  std::int16_t imagestretch, std::int16_t disablecorner) {
    if (Read("formcolor").empty()) Reg::EnsureKey(HKEY_CURRENT_USER, kSubKey);
    bool saved = Write("formcolor", formcolor);
    saved &= Write("transvalue", transvalue);
    saved &= Write("opaquetime", opaquetime);
    saved &= Write("imagename", imagename);
    saved &= Write("disablecorner", std::int32_t{disablecorner});
    saved &= Write("imagestretch", std::int32_t{imagestretch != 0 ? 1 : 0});
    if (saved) Current() = {formcolor, transvalue, opaquetime, std::move(imagename), imagestretch, disablecorner};
    return saved;
}

}  // namespace settings
