#include "startup/modMain.h"

#include <cctype>
#include <limits>
#include <string>

#include "config/frmConfig.h"
#include "platform/application.h"
#include "platform/forms.h"
#include "platform/numbers.h"
#include "platform/window_services.h"
#include "screen/frmMain.h"
#include "settings/settings.h"

namespace modMain {
namespace {

constexpr std::int32_t kMargin = 10;

// The corner's far edge, W - 10 or H - 10, in 64 bits so no screen size can overflow it.
// The length is read before its factor.
std::optional<std::int64_t> FarBound(float (platform::IScreen::*length)(), float (platform::IScreen::*factor)()) {
    platform::IScreen& screen = platform::Screen();
    const float twips = (screen.*length)();
    const float twipsPerPixel = (screen.*factor)();
    const auto pixels = ScreenPixels(twips, twipsPerPixel);
    if (!pixels) return std::nullopt;
    return static_cast<std::int64_t>(*pixels) - kMargin;
}

}  // namespace

std::optional<std::int32_t> ScreenPixels(float twips, float twipsPerPixel) {
    const std::int32_t divisor = num::ToInt32(twipsPerPixel);
    if (divisor == 0) return std::nullopt;
    const std::int32_t dividend = num::ToInt32(twips);
    // The one quotient that leaves 32 bits.
    if (dividend == std::numeric_limits<std::int32_t>::min() && divisor == -1)
        return std::numeric_limits<std::int32_t>::max();
    return dividend / divisor;
}

bool CursorInDisabledCorner() {
    const std::int16_t corner = settings::Current().disablecorner;
    if (corner <= 0) return false;
    POINT p{0, 0};
    if (!platform::WindowServices().GetCursorPos(&p)) return false;

    using S = platform::IScreen;
    // Only the screen properties this corner needs are read.
    switch (corner) {
        case 1: {  // bottom-left
            const auto bottom = FarBound(&S::Height, &S::TwipsPerPixelY);
            return bottom && p.x <= kMargin && p.y >= *bottom;
        }
        case 2: {  // top-right
            const auto right = FarBound(&S::Width, &S::TwipsPerPixelX);
            return right && p.x >= *right && p.y <= kMargin;
        }
        case 3: {  // bottom-right
            const auto right = FarBound(&S::Width, &S::TwipsPerPixelX);
            const auto bottom = FarBound(&S::Height, &S::TwipsPerPixelY);
            return right && bottom && p.x >= *right && p.y >= *bottom;
        }
        case 4:  // top-left
            return p.x <= kMargin && p.y <= kMargin;
        default:
            return false;
    }
}

void Main() {
    if (platform::App().PrevInstance()) platform::EndProgram();

    settings::LoadSettings();

    std::string mode = platform::App().Command().substr(0, 2);
    for (char& c : mode) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

    if (mode == "/p") {
        platform::EndProgram();  // no preview is drawn
    } else if (mode == "/c") {
        forms::LoadForm<frmConfig>().pop();
    } else if (mode == "/s" || mode.empty()) {
        if (CursorInDisabledCorner()) platform::EndProgram();
        forms::LoadForm<frmMain>().doSS();
    } else {
        platform::EndProgram();  // "/a" (password change) and anything else
    }
}

}  // namespace modMain
