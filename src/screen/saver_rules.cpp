#include "screen/saver_rules.h"

#include "platform/numbers.h"

namespace {

// The leftover rounded halves to even, then halved toward zero.
float CentreOffset(float screen, float size) { return static_cast<float>(num::ToInt32(screen - size) / 2); }

double TagValue(const std::string& tag) { return num::ParseNumber(tag).value_or(1.0); }

}  // namespace

PictureFit FitPicture(float pw, float ph, float sw, float sh, bool stretch) {
    float w = pw;
    float h = ph;
    if (stretch) {
        const float r = pw / ph;
        if (sw / sh > r) {  // the screen is relatively wider: bars left and right
            h = sh;
            w = h * r;
        } else {
            w = sw;
            h = w / r;
        }
    }
    return PictureFit{w, h, CentreOffset(sw, w), CentreOffset(sh, h)};
}

FadeSetup SetUpFade(std::int32_t opaquetime, std::int32_t transvalue) {
    // Milliseconds per alpha unit; saturates at the timer's maximum for huge fade times.
    std::int32_t interval = num::ToInt32(static_cast<double>(opaquetime) / static_cast<double>(transvalue) * 1000.0);
    std::string tag = "1";
    if (interval < 100) {
        // Several units per tick instead, so no tick comes sooner than 100 ms. The step is
        // read back from its text, as each tick reads it.
        tag = num::FormatDouble(100.0 / interval + 1.0);
        interval = num::ToInt32(TagValue(tag) * interval);
    }
    return FadeSetup{interval, tag};
}

std::uint8_t NextAlpha(std::uint8_t alpha, const std::string& tag) {
    if (alpha + num::ToInt16(TagValue(tag)) > 255) return 255;
    return static_cast<std::uint8_t>(alpha + num::ToByte(TagValue(tag)));
}

bool PointerFilter::Moved(float x, float y) {
    const std::int32_t xi = num::ToInt32(x);
    const std::int32_t yi = num::ToInt32(y);
    if (xi == lastX && yi == lastY) {
        moveCount = 0;
    } else {
        lastX = xi;
        lastY = yi;
        if (moveCount < 5) ++moveCount;
    }
    return moveCount > 4;
}
