#include "platform/app.h"

namespace app {

bool PrevInstance() {
    // One name per user session. Never closed: the system releases it when the process ends,
    // however it ends.
    HANDLE lock = CreateMutexA(nullptr, FALSE, "Local\\Velumbra.ScreenSaver.Instance");
    return lock != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace app
