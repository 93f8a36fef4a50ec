// What the program asks of Windows itself: the instance lock, its version, the user's number
// format, the primary screen, the event loop and the end of the process.
#pragma once

#include <windows.h>

#include <cstdint>

namespace app {

// Takes the instance lock, held until the process ends; true when another instance has it.
bool PrevInstance();

// The program's version from its version resource: 1.6.0.13 gives 1, 6 and 13.
struct Version {
    std::int16_t major, minor, revision;
};
Version ProgramVersion();

// Hands the user's decimal and thousands separators to the number rules.
void LoadLocaleSeparators();

// The resolution the form works at: the system's, until the form takes its window's (where
// Windows tells it: Windows 10 1607 on) or the one Windows gives when the window moves to a
// screen of another scale.
void UseDpiOf(HWND window);
void UseDpi(int dpi);
int Dpi();
// The resolution of a window's screen (Windows 10 1607 on), else the system's.
int WindowDpi(HWND window);
// Twips per pixel at that resolution, and the primary screen's size in twips.
float TwipsPerPixelX();
float TwipsPerPixelY();
float ScreenWidth();
float ScreenHeight();
// A length in twips as whole pixels.
int PixelsX(float twips);
int PixelsY(float twips);

// Handles every window message waiting now.
void DoEvents();
// Handles window messages until the process ends.
void RunEventLoop();
// The process's exit status: 0 on every way out, but when Windows gave no window.
enum ExitStatus : UINT { kEnded = 0, kNoWindow = 1 };
// Ends the process at once; nothing after the call runs.
[[noreturn]] void EndProgram(ExitStatus status = kEnded);

}  // namespace app
