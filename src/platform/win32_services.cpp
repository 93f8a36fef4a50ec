#include "platform/win32_services.h"

#include <cstring>

#include "platform/numbers.h"

namespace platform {
namespace {

// One name per user session: a second start in the same session sees the first.
constexpr const char* kInstanceMutex = "Local\\Velumbra.ScreenSaver.Instance";

int ScreenDpi(int axis) {
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, axis) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

std::string LocaleText(LCTYPE type, const char* fallback) {
    char buffer[16] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer) <= 1) return fallback;
    return buffer;
}

}  // namespace

BOOL Win32WindowServices::SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(hwnd, insertAfter, x, y, cx, cy, flags);
}
int Win32WindowServices::ShowCursor(BOOL show) { return ::ShowCursor(show); }
LONG Win32WindowServices::GetWindowLongA(HWND hwnd, int index) { return ::GetWindowLongA(hwnd, index); }
LONG Win32WindowServices::SetWindowLongA(HWND hwnd, int index, LONG value) {
    return ::SetWindowLongA(hwnd, index, value);
}
BOOL Win32WindowServices::SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) {
    return ::SetLayeredWindowAttributes(hwnd, key, alpha, flags);
}
BOOL Win32WindowServices::GetCursorPos(POINT* point) { return ::GetCursorPos(point); }

Win32Application::Win32Application(std::string command) : command_(std::move(command)) {
    // Never closed: the system releases it when the process ends, however it ends.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kInstanceMutex);
    prevInstance_ = mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    WORD parts[4] = {};
    if (ReadModuleVersion(parts)) {
        major_ = static_cast<std::int16_t>(parts[0]);
        minor_ = static_cast<std::int16_t>(parts[1]);
        revision_ = static_cast<std::int16_t>(parts[3]);
    }
}

bool ReadModuleVersion(WORD (&parts)[4]) {
    HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));  // RT_VERSION
    if (info == nullptr) return false;
    HGLOBAL loaded = LoadResource(nullptr, info);
    const auto* data = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    const DWORD size = SizeofResource(nullptr, info);
    if (data == nullptr) return false;
    // VS_FIXEDFILEINFO follows the header, DWORD-aligned; find it by its signature.
    for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
        VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, data + at, sizeof fixed);
        if (fixed.dwSignature == 0xFEEF04BD) {
            parts[0] = HIWORD(fixed.dwFileVersionMS);
            parts[1] = LOWORD(fixed.dwFileVersionMS);
            parts[2] = HIWORD(fixed.dwFileVersionLS);
            parts[3] = LOWORD(fixed.dwFileVersionLS);
            return true;
        }
    }
    return false;
}

float Win32Screen::TwipsPerPixelX() { return 1440.0f / static_cast<float>(ScreenDpi(LOGPIXELSX)); }
float Win32Screen::TwipsPerPixelY() { return 1440.0f / static_cast<float>(ScreenDpi(LOGPIXELSY)); }
float Win32Screen::Width() { return static_cast<float>(GetSystemMetrics(SM_CXSCREEN)) * TwipsPerPixelX(); }
float Win32Screen::Height() { return static_cast<float>(GetSystemMetrics(SM_CYSCREEN)) * TwipsPerPixelY(); }

void LoadLocaleSeparators() {
    num::SetSeparators({LocaleText(LOCALE_SDECIMAL, "."), LocaleText(LOCALE_STHOUSAND, ",")});
}

}  // namespace platform
