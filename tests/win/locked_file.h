// A file held open with no sharing by another process (lockfile.exe) while this object
// lives; that process is ended by its handle when the object goes or Release() is called.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class LockedFile {
public:
    // `helper` is lockfile.exe as a Windows path.
    LockedFile(const std::string& helper, const std::string& path) {
        const std::string event = "Local\\velumbra-lock-" + std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(reinterpret_cast<std::uintptr_t>(this));
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, event.c_str());
        std::string command = "\"" + helper + "\" \"" + path + "\" " + event;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (ready != nullptr && CreateProcessA(helper.c_str(), command.data(), nullptr, nullptr, FALSE,
                                               CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info_)) {
            // Ready, or the helper ended (it could not open the file).
            HANDLE waits[2] = {ready, info_.hProcess};
            locked_ = WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
        }
        if (ready != nullptr) CloseHandle(ready);
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    ~LockedFile() { Release(); }

    // The helper had the file and holds it still.
    bool Locked() const { return locked_ && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

    void Release() {
        if (info_.hProcess == nullptr) return;
        TerminateProcess(info_.hProcess, 0);
        WaitForSingleObject(info_.hProcess, 10000);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
        info_ = {};
        locked_ = false;
    }

private:
    PROCESS_INFORMATION info_{};
    bool locked_ = false;
};

// A Unix path of the build (drive Z: is the Unix root under Wine) as a Windows path.
inline std::string WindowsPathOf(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}
