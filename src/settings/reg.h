// Module Reg: the registry routines of the settings store. A routine given a root and a
// subkey opens its key, does one thing and closes it again before it returns.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "platform/wintypes.h"

namespace Reg {

// Every open and create asks for query, set, create-subkey, enumerate, notify and link.
constexpr REGSAM kAccess = 0x3F;
// ReadTypedValue's status for a stored type other than REG_SZ and REG_DWORD.
constexpr LONG kUnhandledType = -1;

// Empty, a 32-bit integer, a 16-bit integer or text.
using Value = std::variant<std::monostate, std::int32_t, std::int16_t, std::string>;

std::string ValueAsText(const Value& value);

LONG EnsureKey(HKEY root, const std::string& subKey);
LONG WriteSetting(HKEY root, const std::string& subKey, const std::string& name, const Value& value, DWORD type);
std::string ReadSetting(HKEY root, const std::string& subKey, const std::string& name);
LONG WriteTypedValue(HKEY key, const std::string& name, DWORD type, const Value& value);
LONG ReadTypedValue(HKEY key, const std::string& name, Value& value);

}  // namespace Reg
