#include "platform/app.h"
#include "startup/start_rules.h"

namespace app {

bool PrevInstance() {
    // One name per user session. Never closed: the system releases it when the process ends,
    // however it ends.
    HANDLE lock = CreateMutexA(nullptr, FALSE, "Local\\Velumbra.ScreenSaver.Instance");
    return AnotherInstance(lock != nullptr, GetLastError());
}

}  // namespace app
