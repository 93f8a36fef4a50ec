#include <cmath>

#include "platform/app.h"
#include "platform/win.h"

namespace app {
namespace {

float TwipsPerPixel(int axis) {
    const WindowDC screen(nullptr);
    const int dpi = GetDeviceCaps(screen.get(), axis);
    return 1440.0f / static_cast<float>(dpi > 0 ? dpi : 96);
}

}  // namespace

float TwipsPerPixelX() { return TwipsPerPixel(LOGPIXELSX); }
float TwipsPerPixelY() { return TwipsPerPixel(LOGPIXELSY); }
float ScreenWidth() { return static_cast<float>(GetSystemMetrics(SM_CXSCREEN)) * TwipsPerPixelX(); }
float ScreenHeight() { return static_cast<float>(GetSystemMetrics(SM_CYSCREEN)) * TwipsPerPixelY(); }
int PixelsX(float twips) { return static_cast<int>(std::lround(twips / TwipsPerPixelX())); }
int PixelsY(float twips) { return static_cast<int>(std::lround(twips / TwipsPerPixelY())); }

}  // namespace app
