// The dimming screen's rules, free of Windows: where the picture goes, how the fade is timed
// and stepped, and which pointer movement counts as real.
#pragma once

#include <cstdint>
#include <optional>

#include "pure/pixel_rect.h"

// The picture control's geometry in twips.
struct PictureFit {
    float width, height, left, top;
};
// A picture of pw x ph on a screen of sw x sh (twips): its own size, or scaled to fit the
// screen with its aspect ratio kept; centred either way.
PictureFit FitPicture(float pw, float ph, float sw, float sh, bool stretch);

// A picture of `width` x `height` pixels on a screen of `screenWidth` x `screenHeight` pixels:
// its fit in twips and the same in whole pixels. Nothing when its size in twips leaves 32 bits.
struct PicturePlace {
    PictureFit fit;
    PixelRect pixels;
};
std::optional<PicturePlace> PlacePicture(int width, int height, int screenWidth, int screenHeight, float twipsPerPixel,
                                         bool stretch);

// The fade timer: ticks at least 100 ms apart, each adding `step` to the alpha.
struct FadeSetup {
    std::int32_t interval;
    std::int16_t step;
};
FadeSetup SetUpFade(std::int32_t opaquetime, std::int32_t transvalue);
// The alpha after one tick: raised by the step, never beyond 255.
std::uint8_t NextAlpha(std::uint8_t alpha, std::int16_t step);

// Counts pointer moves to new positions; a repeated position starts the count again.
// Positions are 32-bit, so every screen's coordinates in twips fit.
struct PointerFilter {
    std::int32_t moveCount = 0;
    std::int32_t lastX = 0, lastY = 0;
    // True once five moves in a row reached new positions.
    bool Moved(float x, float y);
};
