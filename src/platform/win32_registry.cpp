#include "platform/win32_registry.h"

namespace platform {

LONG Win32Registry::RegCreateKeyExA(HKEY root, const char* subKey, DWORD reserved, char* cls, DWORD options,
                                    REGSAM access, void* security, HKEY* result, DWORD* disposition) {
    return ::RegCreateKeyExA(root, subKey, reserved, cls, options, access,
                             static_cast<LPSECURITY_ATTRIBUTES>(security), result, disposition);
}

LONG Win32Registry::RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM access, HKEY* result) {
    return ::RegOpenKeyExA(root, subKey, options, access, result);
}

LONG Win32Registry::RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                                     DWORD* size) {
    return ::RegQueryValueExA(key, name, reserved, type, data, size);
}

LONG Win32Registry::RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                                   DWORD size) {
    return ::RegSetValueExA(key, name, reserved, type, data, size);
}

LONG Win32Registry::RegCloseKey(HKEY key) { return ::RegCloseKey(key); }

}  // namespace platform
