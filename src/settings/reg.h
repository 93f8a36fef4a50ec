// Module Reg: the registry routines of the settings store. A routine given a root and a
// subkey opens its key, does one thing and closes it again before it returns. Text crosses
// in the system's ANSI code page.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <variant>

namespace Reg {

// A read asks for read access, a write or create for write access, no more: a key that an
// administrator has made read-only still gives its values.
constexpr REGSAM kReadAccess = KEY_READ;
constexpr REGSAM kWriteAccess = KEY_WRITE;
// ReadTypedValue's status for a stored type other than REG_SZ and REG_DWORD.
constexpr LONG kUnhandledType = -1;

// Empty, a 32-bit integer, a 16-bit integer or text.
using Value = std::variant<std::monostate, std::int32_t, std::int16_t, std::string>;

LONG EnsureKey(HKEY root, const std::string& subKey);
LONG WriteSetting(HKEY root, const std::string& subKey, const std::string& name, const Value& value, DWORD type);
// The value as text: a REG_DWORD in signed decimal, a REG_SZ up to its first NUL; empty when
// the key or the value is missing or of another type.
std::string ReadSetting(HKEY root, const std::string& subKey, const std::string& name);
// REG_SZ or REG_DWORD (a 16-bit value sign-extended, text by the locale's number rules; text
// that is no number is refused with ERROR_INVALID_PARAMETER, as is any other type).
LONG WriteTypedValue(HKEY key, const std::string& name, DWORD type, const Value& value);
LONG ReadTypedValue(HKEY key, const std::string& name, Value& value);

}  // namespace Reg
