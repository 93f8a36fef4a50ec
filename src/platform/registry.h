// The five advapi32 registry calls the settings store makes, behind one interface, with the
// ANSI forms' arguments and status codes. Win32Registry makes the real calls; MemoryRegistry
// (tests) models the Windows registry for exactly these calls.
#pragma once

#include "platform/wintypes.h"

namespace platform {

class IRegistry {
public:
    virtual ~IRegistry() = default;
    virtual LONG RegCreateKeyExA(HKEY root, const char* subKey, DWORD reserved, char* cls, DWORD options,
                                 REGSAM access, void* security, HKEY* result, DWORD* disposition) = 0;
    virtual LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM access, HKEY* result) = 0;
    virtual LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                                  DWORD* size) = 0;
    virtual LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                                DWORD size) = 0;
    virtual LONG RegCloseKey(HKEY key) = 0;
};

// The registry the program uses; installed once at start-up (or by a test).
IRegistry& Registry();
void SetRegistry(IRegistry* registry);

}  // namespace platform
