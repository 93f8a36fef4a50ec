// Module modMain: the program's start-up and the corner veto.
#pragma once

#include <cstdint>
#include <optional>

namespace modMain {

// Runs once at process start: the instance test, the settings, then the mode switch.
void Main();

// True when the pointer rests in the corner named by the corner setting, which keeps the
// saver from starting.
bool CursorInDisabledCorner();

// A screen length in whole pixels: twips and twips-per-pixel each rounded on their own,
// then divided. A factor that rounds to 0 gives no length.
std::optional<std::int32_t> ScreenPixels(float twips, float twipsPerPixel);

}  // namespace modMain
