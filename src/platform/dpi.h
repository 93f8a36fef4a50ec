// Resolutions, in dots per inch: a window's, or the system's before any window exists.
#pragma once

#include <windows.h>

namespace app {

// The resolution of the screen a window is on (Windows 10 1607 on), else the system's.
int WindowDpi(HWND window);
int SystemDpi();

}  // namespace app
