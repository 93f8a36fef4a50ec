// Helpers of the end-to-end tests: start Velumbra.scr, wait for it, look at its windows,
// prepare and read the registry. A process that outlives its test is killed by its handle
// and counts as a failure.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace e2e {

// The program under test, as a Windows path.
const std::string& ScrPath();
// A test picture, as a Windows path.
std::string TestData(const std::string& file);

constexpr const char* kSaverClass = "Velumbra_frmMain";
constexpr const char* kDialogClass = "Velumbra_frmConfig";
constexpr const char* kSettingsKey = "Software\\Velumbra";
constexpr const char* kInstanceMutex = "Local\\Velumbra.ScreenSaver.Instance";

class Scr {
public:
    explicit Scr(const std::string& arguments);
    Scr(const Scr&) = delete;
    Scr& operator=(const Scr&) = delete;
    ~Scr();
    // Waits for the exit; false (and the process killed) when it does not come in time.
    bool Exited(DWORD milliseconds);
    DWORD ExitCode() const { return exitCode_; }
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    bool Running() const;
    // Waits for a visible top-level window of this process with the class; nullptr on timeout.
    HWND WaitWindow(const char* windowClass, DWORD milliseconds) const;
    // True if a window of one of our classes belonging to this process exists now.
    bool HasWindow() const;
    // Waits for the exit while watching for windows; true when a window was ever seen.
    bool ExitedWithoutWindow(DWORD milliseconds);

private:
    PROCESS_INFORMATION info_{};
    DWORD exitCode_ = STILL_ACTIVE;
};

// True when the process has loaded the DLL (by file name, any case).
bool HasModule(HANDLE process, const char* name);

// Settings key helpers (HKCU\Software\Velumbra of the test prefix).
void ClearSettings();
void PutDword(const char* name, std::uint32_t value);
void PutText(const char* name, const std::string& text);
using Snapshot = std::map<std::string, std::pair<DWORD, std::vector<BYTE>>>;
// Every value of the key; `exists` tells whether the key is there at all.
Snapshot ReadSettings(bool* exists = nullptr);

// Waits until the condition holds, polling; false on timeout.
bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds);

// Waits for the settings dialog of the process, ready for input (focus set, the process
// idle: input sent sooner can miss its window); nullptr on timeout.
HWND OpenDialog(const Scr& scr);
// The window that has the keyboard focus in the thread of `window`.
HWND Focused(HWND window);

// A child window of a dialog by its top-left corner in the dialog's client coordinates.
HWND ChildAt(HWND dialog, int x, int y);
std::string WindowText(HWND hwnd);
// Waits for a visible system dialog (class #32770) of the process; its title into `title`.
HWND WaitSystemDialog(DWORD pid, std::string* title = nullptr);

// Real keys pressed and released in order, with Alt held when asked; then a moment for them
// to be handled.
void Keys(std::initializer_list<WORD> keys, bool alt = false);

// A window's layered state as others see it.
struct Layered {
    bool layered = false;
    BYTE alpha = 0;
    DWORD flags = 0;
};
Layered ReadLayered(HWND hwnd);

// Real input: the pointer moved to (x, y) and a button pressed and released there, in one
// sequence so the press cannot come before the move.
void Click(int x, int y, DWORD down, DWORD up);

// The screen's pixels as 0x00RRGGBB, row by row.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
Screenshot CaptureScreen();

}  // namespace e2e
