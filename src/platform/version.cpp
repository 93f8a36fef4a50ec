#include "platform/version.h"

#include <windows.h>

namespace app {

Version ProgramVersion() {
    HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));  // RT_VERSION
    HGLOBAL loaded = info ? LoadResource(nullptr, info) : nullptr;
    const auto* data = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    // The fixed part follows the header: three WORDs, L"VS_VERSION_INFO" and padding to 40 bytes.
    constexpr DWORD kFixedAt = 40;
    if (data == nullptr || SizeofResource(nullptr, info) < kFixedAt + sizeof(VS_FIXEDFILEINFO)) return {0, 0, 0};
    const auto* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(data + kFixedAt);
    return {static_cast<std::int16_t>(HIWORD(fixed->dwFileVersionMS)),
            static_cast<std::int16_t>(LOWORD(fixed->dwFileVersionMS)),
            static_cast<std::int16_t>(LOWORD(fixed->dwFileVersionLS))};
}

}  // namespace app
