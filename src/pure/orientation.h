// EXIF orientation: how the stored pixels of a photo are turned or mirrored to show it upright.
// Values outside 1..8 mean the photo is stored upright, as 1 does.
#pragma once

#include <cstdint>

#include "pure/pixel_rect.h"

// 5..8: the shown picture is the stored one's height wide.
bool SwapsSides(int orientation);

// The stored rectangle (of a picture stored storedWidth x storedHeight) whose pixels show as `shown`,
// a rectangle of the shown picture.
PixelRect StoredRect(PixelRect shown, int storedWidth, int storedHeight, int orientation);

// Writes the shown picture of `stored` (width x height pixels, 32-bit) into `shown` (height x width
// when SwapsSides).
void Orient(const std::uint32_t* stored, int width, int height, int orientation, std::uint32_t* shown);
