#include "pure/saver_rules.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "pure/numbers.h"

namespace {

constexpr std::uint8_t kOpaque = 255;
constexpr std::int32_t kShortestTick = 100;  // ms
// Twips beyond 32 bits would overflow the placement.
constexpr float kTwipsLimit = 2147483648.0f;

// The leftover rounded halves to even, then halved toward zero.
float CentreOffset(float screen, float size) { return static_cast<float>(num::ToInt32(screen - size) / 2); }

}  // namespace

PictureFit FitPicture(float pw, float ph, float sw, float sh, bool stretch) {
    float w = pw, h = ph;
    if (stretch) {
        const float r = pw / ph;
        const bool wider = sw / sh > r;  // the screen is relatively wider: bars left and right
        w = wider ? sh * r : sw;
        h = wider ? sh : sw / r;
    }
    return PictureFit{w, h, CentreOffset(sw, w), CentreOffset(sh, h)};
}

std::optional<PicturePlace> PlacePicture(int width, int height, int screenWidth, int screenHeight, float twipsPerPixel,
                                         bool stretch) {
    const float w = static_cast<float>(width) * twipsPerPixel, h = static_cast<float>(height) * twipsPerPixel;
    if (!(w < kTwipsLimit && h < kTwipsLimit)) return std::nullopt;
    const PictureFit fit = FitPicture(w, h, static_cast<float>(screenWidth) * twipsPerPixel,
                                      static_cast<float>(screenHeight) * twipsPerPixel, stretch);
    const auto pixels = [twipsPerPixel](float twips) { return static_cast<int>(std::lround(twips / twipsPerPixel)); };
    const int left = pixels(fit.left), top = pixels(fit.top);
    return PicturePlace{fit, {left, top, left + pixels(fit.width), top + pixels(fit.height)}};
}

FadeSetup SetUpFade(std::int32_t opaquetime, std::int32_t transvalue) {
    // Milliseconds per alpha unit; saturates at the timer's maximum for huge fade times.
    std::int32_t interval = num::ToInt32(static_cast<double>(opaquetime) / static_cast<double>(transvalue) * 1000.0);
    std::string tag = "1";
    if (interval < kShortestTick) {
        // Several units per tick instead, so no tick comes sooner than 100 ms. The step goes
        // through its text (15 significant digits) as the timer's tag, and is read back from it.
        tag = num::FormatDouble(100.0 / interval + 1.0);
        interval = num::ToInt32(num::ParseNumber(tag).value_or(1.0) * interval);
    }
    return FadeSetup{interval, num::ToInt16(num::ParseNumber(tag).value_or(1.0))};
}

std::uint8_t NextAlpha(std::uint8_t alpha, std::int16_t step) {
    return static_cast<std::uint8_t>(std::min(alpha + step, int{kOpaque}));
}

bool PointerFilter::Moved(float x, float y) {
    const std::int32_t xi = num::ToInt32(x), yi = num::ToInt32(y);
    if (xi == lastX && yi == lastY) {
        moveCount = 0;
    } else {
        lastX = xi;
        lastY = yi;
        if (moveCount < 5) ++moveCount;
    }
    return moveCount > 4;
}
