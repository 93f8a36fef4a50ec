#include <cmath>

#include "platform/app.h"
#include "platform/win.h"

namespace app {
namespace {

int g_dpi = 0;  // 0: the system's, per axis

int DpiOf(int axis) {
    if (g_dpi > 0) return g_dpi;
    const WindowDC screen(nullptr);
    const int dpi = GetDeviceCaps(screen.get(), axis);
    return dpi > 0 ? dpi : 96;
}
float TwipsPerPixel(int axis) { return 1440.0f / static_cast<float>(DpiOf(axis)); }

}  // namespace

int WindowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto get = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    const int dpi = get ? static_cast<int>(get(window)) : 0;
    return dpi > 0 ? dpi : DpiOf(LOGPIXELSX);
}

void UseDpiOf(HWND window) { UseDpi(WindowDpi(window)); }
void UseDpi(int dpi) { g_dpi = dpi; }
int Dpi() { return DpiOf(LOGPIXELSX); }

float TwipsPerPixelX() { return TwipsPerPixel(LOGPIXELSX); }
float TwipsPerPixelY() { return TwipsPerPixel(LOGPIXELSY); }
float ScreenWidth() { return static_cast<float>(GetSystemMetrics(SM_CXSCREEN)) * TwipsPerPixelX(); }
float ScreenHeight() { return static_cast<float>(GetSystemMetrics(SM_CYSCREEN)) * TwipsPerPixelY(); }
int PixelsX(float twips) { return static_cast<int>(std::lround(twips / TwipsPerPixelX())); }
int PixelsY(float twips) { return static_cast<int>(std::lround(twips / TwipsPerPixelY())); }

}  // namespace app
