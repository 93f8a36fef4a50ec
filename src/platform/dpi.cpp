#include "platform/dpi.h"

#include "platform/win.h"

namespace app {

int SystemDpi() {
    constexpr int kUsual = 96;
    const WindowDC screen(nullptr);
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSX);
    return dpi > 0 ? dpi : kUsual;
}

int WindowDpi(HWND window) {
    static const auto get = DllFunction<UINT WINAPI(HWND)>(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
    const int dpi = get ? static_cast<int>(get(window)) : 0;
    return dpi > 0 ? dpi : SystemDpi();
}

}  // namespace app
