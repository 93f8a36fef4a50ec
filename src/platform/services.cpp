#include <cstdlib>

#ifdef _WIN32
#include "platform/wintypes.h"
#endif

#include "platform/application.h"
#include "platform/registry.h"
#include "platform/window_services.h"

namespace platform {
namespace {
IRegistry* g_registry = nullptr;
IWindowServices* g_window = nullptr;
IApplication* g_app = nullptr;
IScreen* g_screen = nullptr;
EndHandler g_end = nullptr;

template <class T>
T& Installed(T* service) {
    // Using a service before start-up installed it is a programming error.
    if (service == nullptr) std::abort();
    return *service;
}
}  // namespace

IRegistry& Registry() { return Installed(g_registry); }
void SetRegistry(IRegistry* registry) { g_registry = registry; }
IWindowServices& WindowServices() { return Installed(g_window); }
void SetWindowServices(IWindowServices* services) { g_window = services; }
IApplication& App() { return Installed(g_app); }
void SetApp(IApplication* app) { g_app = app; }
IScreen& Screen() { return Installed(g_screen); }
void SetScreen(IScreen* screen) { g_screen = screen; }

void SetEndHandler(EndHandler handler) { g_end = handler; }

void EndProgram() {
    if (g_end != nullptr) g_end();
#ifdef _WIN32
    ExitProcess(0);
#else
    std::_Exit(0);
#endif
}

}  // namespace platform
