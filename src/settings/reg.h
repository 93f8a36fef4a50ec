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
constexpr REGSAM kReadAccess = KEY_READ, kWriteAccess = KEY_WRITE;

// A REG_DWORD or a REG_SZ.
using Value = std::variant<std::int32_t, std::string>;

LONG EnsureKey(HKEY root, const std::string& subKey);
// Writes the value, a number as REG_DWORD and text as REG_SZ, into an existing key.
LONG WriteSetting(HKEY root, const std::string& subKey, const std::string& name, const Value& value);
// The value as text: a REG_DWORD in signed decimal, a REG_SZ up to its first NUL; empty when
// the key or the value is missing or of another type.
std::string ReadSetting(HKEY root, const std::string& subKey, const std::string& name);

}  // namespace Reg
