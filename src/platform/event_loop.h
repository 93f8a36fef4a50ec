// The event loop, in which the one form lives until it ends the process.
#pragma once

#include <windows.h>

namespace app {

// Handles every window message waiting now.
void DoEvents();
// Handles window messages until the process ends.
void RunEventLoop();

// The process's exit status: 0 on every way out, but when Windows gave no window.
enum ExitStatus : UINT { kEnded = 0, kNoWindow = 1 };
// Ends the process at once; nothing after the call runs.
[[noreturn]] void EndProgram(ExitStatus status = kEnded);

}  // namespace app
