#include "settings/reg.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win.h"
#include "pure/numbers.h"

namespace Reg {
namespace {

std::string ValueAsText(const Value& value) {
    if (const auto* i32 = std::get_if<std::int32_t>(&value)) return std::to_string(*i32);
    if (const auto* i16 = std::get_if<std::int16_t>(&value)) return std::to_string(*i16);
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    return {};
}

}  // namespace

LONG EnsureKey(HKEY root, const std::string& subKey) {
    Key key;
    return RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kWriteAccess, nullptr, key.put(),
                           nullptr);
}

LONG WriteSetting(HKEY root, const std::string& subKey, const std::string& name, const Value& value, DWORD type) {
    Key key;
    const LONG status = RegOpenKeyExA(root, subKey.c_str(), 0, kWriteAccess, key.put());
    if (status != ERROR_SUCCESS) return status;  // the key is never created here
    return WriteTypedValue(key.get(), name, type, value);
}

std::string ReadSetting(HKEY root, const std::string& subKey, const std::string& name) {
    Key key;
    Value value;
    // After a failed open the key is null and the query on it fails: the text stays empty.
    RegOpenKeyExA(root, subKey.c_str(), 0, kReadAccess, key.put());
    ReadTypedValue(key.get(), name, value);
    return ValueAsText(value);
}

LONG WriteTypedValue(HKEY key, const std::string& name, DWORD type, const Value& value) {
    if (type == REG_SZ) {
        const std::string text = ValueAsText(value);
        // c_str() supplies the terminating NUL that the stored size counts.
        return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    }
    if (type != REG_DWORD) return ERROR_INVALID_PARAMETER;
    std::int32_t n = 0;
    if (const auto* i32 = std::get_if<std::int32_t>(&value)) {
        n = *i32;
    } else if (const auto* i16 = std::get_if<std::int16_t>(&value)) {
        n = *i16;
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        const auto number = num::ParseNumber(*text);
        if (!number) return ERROR_INVALID_PARAMETER;
        n = num::ToInt32(*number);
    }
    const auto u = static_cast<std::uint32_t>(n);
    const BYTE data[4] = {BYTE(u), BYTE(u >> 8), BYTE(u >> 16), BYTE(u >> 24)};
    return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, data, 4);
}

LONG ReadTypedValue(HKEY key, const std::string& name, Value& value) {
    DWORD type = 0, size = 0;
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) return status;
    if (type == REG_SZ) {
        // A value of size 0 holds no text at all, not even its NUL.
        if (size == 0) return status;
        std::vector<BYTE> buffer;
        try {
            buffer.resize(size);
        } catch (const std::bad_alloc&) {
            return status;
        }
        DWORD got = size;
        // The value may have grown since the first query (another program wrote it): no text then.
        status = RegQueryValueExA(key, name.c_str(), nullptr, &type, buffer.data(), &got);
        if (status != ERROR_SUCCESS) {
            value = std::string();
            return status;
        }
        // The text ends at its first NUL; a value stored without one keeps its last byte.
        const auto end = std::find(buffer.begin(), buffer.begin() + std::min<DWORD>(got, size), BYTE{0});
        value = std::string(buffer.begin(), end);
    } else if (type == REG_DWORD) {
        // A 4-byte field: a stored value longer than 4 bytes fails with ERROR_MORE_DATA, never overruns.
        BYTE field[4] = {0, 0, 0, 0};
        DWORD got = sizeof field;
        status = RegQueryValueExA(key, name.c_str(), nullptr, &type, field, &got);
        if (status == ERROR_SUCCESS)
            value = static_cast<std::int32_t>(field[0] | field[1] << 8 | field[2] << 16 |
                                              static_cast<std::uint32_t>(field[3]) << 24);
    } else {
        status = kUnhandledType;
    }
    return status;
}

}  // namespace Reg
