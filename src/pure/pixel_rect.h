// Rectangles of pixels, left and top inside, right and bottom outside.
#pragma once

#include <algorithm>
#include <optional>

struct PixelRect {
    int left, top, right, bottom;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const PixelRect&) const = default;
};

// The part the two share; nothing when they do not overlap.
inline std::optional<PixelRect> Intersection(const PixelRect& a, const PixelRect& b) {
    const PixelRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                      std::min(a.bottom, b.bottom)};
    if (r.Width() <= 0 || r.Height() <= 0) return std::nullopt;
    return r;
}
