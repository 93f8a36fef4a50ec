#include "pure/start_rules.h"

#include <limits>
#include <optional>

#include "pure/numbers.h"

namespace {

constexpr std::int32_t kMargin = 10;

// W - 10 or H - 10, from the screen's length in whole pixels, in 64 bits so no screen size can
// overflow it; none for a factor that rounds to 0.
std::optional<std::int64_t> FarBound(float twips, float twipsPerPixel) {
    const std::int32_t divisor = num::ToInt32(twipsPerPixel);
    if (divisor == 0) return std::nullopt;
    const std::int32_t dividend = num::ToInt32(twips);
    // The one quotient that leaves 32 bits.
    const bool overflows = dividend == std::numeric_limits<std::int32_t>::min() && divisor == -1;
    return std::int64_t{overflows ? std::numeric_limits<std::int32_t>::max() : dividend / divisor} - kMargin;
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
    const auto right = FarBound(screen.width, screen.twipsPerPixelX);
    const auto bottom = FarBound(screen.height, screen.twipsPerPixelY);
    const bool left = x <= kMargin, top = y <= kMargin;
    const bool atRight = right && x >= *right, atBottom = bottom && y >= *bottom;
    switch (corner) {
        case 1: return left && atBottom;
        case 2: return atRight && top;
        case 3: return atRight && atBottom;
        case 4: return left && top;
        default: return false;
    }
}
