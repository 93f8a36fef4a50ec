// The settings record loaded from and saved to HKEY_CURRENT_USER\Software\Velumbra.
#pragma once

#include <cstdint>
#include <string>

namespace settings {

constexpr const char* kSubKey = "Software\\Velumbra";

// Replaces the current record from the registry.
void LoadSettings();

// Writes the six values to the registry (creating the key when needed) and makes them the
// current record, exactly as passed: no limits on the way in. False when Windows refused a
// write (the record then stays as it was).
bool SaveSettings(std::int32_t formcolor, std::int32_t transvalue, std::int32_t opaquetime, std::string imagename,
                  std::int16_t imagestretch, std::int16_t disablecorner);

}  // namespace settings
