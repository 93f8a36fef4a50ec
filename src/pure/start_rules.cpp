#include "pure/start_rules.h"

#include <limits>
#include <optional>

#include "pure/numbers.h"

namespace {

constexpr std::int32_t kMargin = 10;

// A screen length in whole pixels, or none for a factor that rounds to 0.
std::optional<std::int32_t> ScreenPixels(float twips, float twipsPerPixel) {
    const std::int32_t divisor = num::ToInt32(twipsPerPixel);
    if (divisor == 0) return std::nullopt;
    const std::int32_t dividend = num::ToInt32(twips);
    // The one quotient that leaves 32 bits.
    if (dividend == std::numeric_limits<std::int32_t>::min() && divisor == -1)
        return std::numeric_limits<std::int32_t>::max();
    return dividend / divisor;
}

// W - 10 or H - 10, in 64 bits so no screen size can overflow it.
std::optional<std::int64_t> FarBound(float twips, float twipsPerPixel) {
    const auto pixels = ScreenPixels(twips, twipsPerPixel);
    if (!pixels) return std::nullopt;
    return std::int64_t{*pixels} - kMargin;
}

}  // namespace

Mode ModeOf(const std::string& arguments) {
    std::string mode = arguments.substr(0, 2);
    for (char& c : mode)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (mode == "/c") return Mode::Dialog;
    if (mode == "/s" || mode.empty()) return Mode::Saver;
    return Mode::End;  // "/p" (no preview is drawn), "/a" (password change) and anything else
}

bool InCorner(int corner, std::int32_t x, std::int32_t y, const ScreenTwips& screen) {
    const auto right = [&] { return FarBound(screen.width, screen.twipsPerPixelX); };
    const auto bottom = [&] { return FarBound(screen.height, screen.twipsPerPixelY); };
    switch (corner) {
        case 1: {  // bottom-left
            const auto b = bottom();
            return b && x <= kMargin && y >= *b;
        }
        case 2: {  // top-right
            const auto r = right();
            return r && x >= *r && y <= kMargin;
        }
        case 3: {  // bottom-right
            const auto r = right(), b = bottom();
            return r && b && x >= *r && y >= *b;
        }
        case 4: return x <= kMargin && y <= kMargin;  // top-left
        default: return false;
    }
}
