// Test helper: opens the file named first with no sharing at all, sets the named event given
// second, and holds the file until the test ends this process (at most two minutes, so it
// never outlives a test that died).
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (ready == nullptr) return 4;
    SetEvent(ready);
    Sleep(120000);
    return 0;
}
