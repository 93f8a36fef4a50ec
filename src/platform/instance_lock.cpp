#include "platform/instance_lock.h"

#include <windows.h>

namespace app {

bool PrevInstance() {
    // One name per user session. Never closed: the system releases it with the process.
    HANDLE lock = CreateMutexA(nullptr, FALSE, "Local\\Velumbra.ScreenSaver.Instance");
    const DWORD error = GetLastError();
    // It existed already, or it exists and may not even be opened (an instance running elevated
    // holds it). Any other failure gives no lock, and the program runs.
    return lock != nullptr ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

}  // namespace app
