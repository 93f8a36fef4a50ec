// Start-up's rules, free of Windows: the mode from the command line and the corner bands.
#pragma once

#include <cstdint>
#include <string>

enum class Mode { End, Dialog, Saver };

// The first two characters of the argument text, lower-cased, decide: "/c" the settings
// dialog, "/s" or nothing the saver, "/p", "/a" and anything else end at once.
Mode ModeOf(const std::string& arguments);

// The primary screen as the screen object gives it: size in twips, twips per pixel.
struct ScreenTwips {
    float width, height, twipsPerPixelX, twipsPerPixelY;
};

// True when the pointer at (x, y) pixels rests in the corner numbered by the corner setting
// (1 bottom-left, 2 top-right, 3 bottom-right, 4 top-left): within 10 pixels of the left or
// top edge, or from W - 10 and H - 10 on, where W and H are the screen's twips and its twips
// per pixel each rounded on their own (halves to even), then divided. A factor that rounds to
// 0 gives no screen, and any other corner number no corner.
bool InCorner(int corner, std::int32_t x, std::int32_t y, const ScreenTwips& screen);
