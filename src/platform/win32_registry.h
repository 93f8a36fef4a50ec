// The real advapi32 registry calls.
#pragma once

#include "platform/registry.h"

namespace platform {

class Win32Registry : public IRegistry {
public:
    LONG RegCreateKeyExA(HKEY root, const char* subKey, DWORD reserved, char* cls, DWORD options, REGSAM access,
                         void* security, HKEY* result, DWORD* disposition) override;
    LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM access, HKEY* result) override;
    LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                          DWORD* size) override;
    LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                        DWORD size) override;
    LONG RegCloseKey(HKEY key) override;
};

}  // namespace platform
