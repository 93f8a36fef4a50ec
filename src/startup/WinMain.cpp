// The process entry: install the Win32 platform, run Main, then the event loop.
#include "platform/forms.h"
#include "platform/text.h"
#include "platform/win32_backend.h"
#include "platform/win32_registry.h"
#include "platform/win32_services.h"
#include "startup/modMain.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    static platform::Win32Registry registry;
    static platform::Win32WindowServices window;
    static platform::Win32Screen screen;
    static platform::Win32Application app(commandLine != nullptr ? commandLine : "");
    static forms::Win32Backend backend(instance);
    platform::SetRegistry(&registry);
    platform::SetWindowServices(&window);
    platform::SetScreen(&screen);
    platform::SetApp(&app);
    forms::SetBackend(&backend);
    platform::LoadLocaleSeparators();
    text::SetUtf8(GetACP() == CP_UTF8);

    modMain::Main();
    forms::RunEventLoop();
    return 0;
}
