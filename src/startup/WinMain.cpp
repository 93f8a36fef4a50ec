// The process entry: Main, then the event loop, in which the one form lives until it ends
// the process.
#include <windows.h>

#include "platform/event_loop.h"
#include "platform/locale.h"
#include "startup/modMain.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    app::LoadLocaleSeparators();
    modMain::Main(commandLine != nullptr ? commandLine : "");
    app::RunEventLoop();
    return 0;
}
