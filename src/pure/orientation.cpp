#include "pure/orientation.h"

#include <algorithm>
#include <cstddef>

namespace {

struct Point {
    int x, y;
};

// The stored pixel that shows at (x, y), in a picture stored w x h: 5..8 swap the axes, and
// then 2, 3, 7 and 8 mirror across, 3, 4, 6 and 7 down.
Point StoredPoint(int x, int y, int w, int h, int orientation) {
    constexpr bool kAcross[] = {false, false, true, true, false, false, false, true, true};
    constexpr bool kDown[] = {false, false, false, true, true, false, true, true, false};
    const int o = orientation >= 1 && orientation <= 8 ? orientation : 1;
    const Point p = SwapsSides(o) ? Point{y, x} : Point{x, y};
    return {kAcross[o] ? w - 1 - p.x : p.x, kDown[o] ? h - 1 - p.y : p.y};
}

}  // namespace

bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

PixelRect StoredRect(PixelRect shown, int storedWidth, int storedHeight, int orientation) {
    if (shown.right <= shown.left || shown.bottom <= shown.top) return {0, 0, 0, 0};
    // Every orientation maps a rectangle onto a rectangle, opposite corners onto opposite corners.
    const Point a = StoredPoint(shown.left, shown.top, storedWidth, storedHeight, orientation);
    const Point b = StoredPoint(shown.right - 1, shown.bottom - 1, storedWidth, storedHeight, orientation);
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
}

void Orient(const std::uint32_t* stored, int width, int height, int orientation, std::uint32_t* shown) {
    // The stored pixel moves by a fixed step for each shown pixel across and each shown row down.
    const auto index = [&](int x, int y) {
        const Point p = StoredPoint(x, y, width, height, orientation);
        return static_cast<std::ptrdiff_t>(p.y) * width + p.x;
    };
    const std::ptrdiff_t first = index(0, 0), across = index(1, 0) - first, down = index(0, 1) - first;
    const int shownWidth = SwapsSides(orientation) ? height : width;
    const int shownHeight = SwapsSides(orientation) ? width : height;
    for (int y = 0; y < shownHeight; ++y) {
        const std::uint32_t* row = stored + first + down * y;
        for (int x = 0; x < shownWidth; ++x) *shown++ = row[across * x];
    }
}
