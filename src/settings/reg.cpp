#include "settings/reg.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/numbers.h"
#include "platform/registry.h"

namespace Reg {
namespace {

using platform::Registry;

// Closes the key when it goes out of scope, on every path.
class ScopedKey {
public:
    ScopedKey() = default;
    explicit ScopedKey(HKEY key) : key_(key) {}
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    ~ScopedKey() { Registry().RegCloseKey(key_); }
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// A REG_DWORD write takes any value as a 32-bit integer: a 16-bit one sign-extended, text
// by the locale's number rules. Text that is no number is refused.
bool ValueAsInt32(const Value& value, std::int32_t& out) {
    if (const auto* i32 = std::get_if<std::int32_t>(&value)) {
        out = *i32;
    } else if (const auto* i16 = std::get_if<std::int16_t>(&value)) {
        out = *i16;
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        const auto number = num::ParseNumber(*text);
        if (!number) return false;
        out = num::ToInt32(*number);
    } else {
        out = 0;
    }
    return true;
}

}  // namespace

std::string ValueAsText(const Value& value) {
    if (const auto* i32 = std::get_if<std::int32_t>(&value)) return std::to_string(*i32);
    if (const auto* i16 = std::get_if<std::int16_t>(&value)) return std::to_string(*i16);
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    return {};
}

LONG EnsureKey(HKEY root, const std::string& subKey) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG status = Registry().RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                   kAccess, nullptr, &key, &disposition);
    if (status == ERROR_SUCCESS) Registry().RegCloseKey(key);
    return status;
}

LONG WriteSetting(HKEY root, const std::string& subKey, const std::string& name, const Value& value, DWORD type) {
    HKEY opened = nullptr;
    const LONG status = Registry().RegOpenKeyExA(root, subKey.c_str(), 0, kAccess, &opened);
    if (status != ERROR_SUCCESS) return status;
    ScopedKey key(opened);
    return WriteTypedValue(key.Get(), name, type, value);
}

std::string ReadSetting(HKEY root, const std::string& subKey, const std::string& name) {
    // The key is closed whatever happens, also when the open failed and it is still null.
    ScopedKey key;
    Value value;
    Registry().RegOpenKeyExA(root, subKey.c_str(), 0, kAccess, key.Out());
    ReadTypedValue(key.Get(), name, value);
    return ValueAsText(value);
}

LONG WriteTypedValue(HKEY key, const std::string& name, DWORD type, const Value& value) {
    if (type == REG_SZ) {
        const std::string text = ValueAsText(value);
        // c_str() supplies the terminating NUL that the stored size counts.
        return Registry().RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                         static_cast<DWORD>(text.size() + 1));
    }
    if (type == REG_DWORD) {
        std::int32_t n = 0;
        if (!ValueAsInt32(value, n)) return ERROR_INVALID_PARAMETER;
        const auto u = static_cast<std::uint32_t>(n);
        const BYTE data[4] = {static_cast<BYTE>(u), static_cast<BYTE>(u >> 8), static_cast<BYTE>(u >> 16),
                              static_cast<BYTE>(u >> 24)};
        return Registry().RegSetValueExA(key, name.c_str(), 0, REG_DWORD, data, 4);
    }
    return ERROR_INVALID_PARAMETER;
}

LONG ReadTypedValue(HKEY key, const std::string& name, Value& value) {
    LONG status = ERROR_SUCCESS;
    try {
        DWORD type = 0;
        DWORD size = 0;
        status = Registry().RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS) return status;

        if (type == REG_SZ) {
            // A value of size 0 holds no text at all, not even its NUL.
            if (size == 0) return status;
            std::vector<BYTE> buffer(size, 0);
            DWORD got = size;
            status = Registry().RegQueryValueExA(key, name.c_str(), nullptr, &type, buffer.data(), &got);
            if (status != ERROR_SUCCESS) {
                value = std::string();
                return status;
            }
            // The text ends at its first NUL; a value stored without one keeps its last byte.
            const std::size_t length = std::min<std::size_t>(got, buffer.size());
            const void* nul = std::memchr(buffer.data(), 0, length);
            const std::size_t end = nul ? static_cast<const BYTE*>(nul) - buffer.data() : length;
            value = std::string(reinterpret_cast<const char*>(buffer.data()), end);
        } else if (type == REG_DWORD) {
            // A 4-byte field: a stored value longer than 4 bytes is refused, never overrun.
            BYTE field[4] = {0, 0, 0, 0};
            DWORD got = sizeof field;
            status = Registry().RegQueryValueExA(key, name.c_str(), nullptr, &type, field, &got);
            if (status == ERROR_SUCCESS)
                value = static_cast<std::int32_t>(field[0] | (field[1] << 8) | (field[2] << 16) |
                                                  (static_cast<std::uint32_t>(field[3]) << 24));
        } else {
            status = kUnhandledType;
        }
    } catch (...) {
        // Any failure inside ends the routine with the status recorded last.
    }
    return status;
}

}  // namespace Reg
