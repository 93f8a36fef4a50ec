#include "settings/reg.h"

#include <algorithm>
#include <vector>

#include "platform/win.h"

namespace Reg {

LONG EnsureKey(HKEY root, const std::string& subKey) {
    Key key;
    return RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kWriteAccess, nullptr, key.put(),
                           nullptr);
}

LONG WriteSetting(HKEY root, const std::string& subKey, const std::string& name, const Value& value) {
    Key key;
    const LONG status = RegOpenKeyExA(root, subKey.c_str(), 0, kWriteAccess, key.put());
    if (status != ERROR_SUCCESS) return status;  // the key is never created here
    if (const auto* text = std::get_if<std::string>(&value)) {
        // c_str() supplies the terminating NUL that the stored size counts.
        return RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                              static_cast<DWORD>(text->size() + 1));
    }
    const auto number = static_cast<DWORD>(std::get<std::int32_t>(value));  // its bytes in memory are REG_DWORD's
    return RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

std::string ReadSetting(HKEY root, const std::string& subKey, const std::string& name) {
    Key key;
    // After a failed open the key is null and the query on it fails: the text stays empty.
    RegOpenKeyExA(root, subKey.c_str(), 0, kReadAccess, key.put());
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    if (type == REG_DWORD) {
        // A 4-byte field: a stored value longer than 4 bytes fails with ERROR_MORE_DATA, never overruns.
        DWORD field = 0, got = sizeof field;
        auto* data = reinterpret_cast<BYTE*>(&field);
        if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, data, &got) != ERROR_SUCCESS) return {};
        return std::to_string(static_cast<std::int32_t>(field));
    }
    // A value of size 0 holds no text at all, not even its NUL.
    if (type != REG_SZ || size == 0) return {};
    std::vector<BYTE> buffer;
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        return {};
    }
    DWORD got = size;
    // The value may have grown since the first query (another program wrote it): no text then.
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, buffer.data(), &got) != ERROR_SUCCESS) return {};
    // The text ends at its first NUL; a value stored without one keeps its last byte.
    return std::string(buffer.begin(), std::find(buffer.begin(), buffer.begin() + std::min<DWORD>(got, size), BYTE{0}));
}

}  // namespace Reg
