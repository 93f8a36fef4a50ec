#include "e2e.h"

#include <psapi.h>

#include <chrono>

namespace e2e {
namespace {

std::string g_scr;

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

struct Search {
    DWORD pid;
    const char* windowClass;  // nullptr: either of ours
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK FindOwn(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->pid) return TRUE;
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    const std::string cls = name;
    const bool ours = search->windowClass ? cls == search->windowClass : (cls == kSaverClass || cls == kDialogClass);
    if (ours && (!search->visibleOnly || IsWindowVisible(hwnd))) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindWindowOf(DWORD pid, const char* windowClass, bool visibleOnly) {
    Search search{pid, windowClass, visibleOnly, nullptr};
    EnumWindows(FindOwn, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

const std::string& ScrPath() { return g_scr; }

std::string TestData(const std::string& file) { return WindowsPath(std::string(VELUMBRA_TEST_DATA) + "/" + file); }

Scr::Scr(const std::string& arguments) {
    std::string command = "\"" + g_scr + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(g_scr.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_))
        ADD_FAILURE() << "cannot start " << command << ": " << GetLastError();
}

Scr::~Scr() {
    if (info_.hProcess == nullptr) return;
    if (Running()) {
        ADD_FAILURE() << "Velumbra.scr was still running at the end of the test; killed";
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool Scr::Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

bool Scr::Exited(DWORD milliseconds) {
    if (info_.hProcess == nullptr) return false;
    if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
        GetExitCodeProcess(info_.hProcess, &exitCode_);
        return false;
    }
    GetExitCodeProcess(info_.hProcess, &exitCode_);
    return true;
}

HWND Scr::WaitWindow(const char* windowClass, DWORD milliseconds) const {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindWindowOf(info_.dwProcessId, windowClass, true)) != nullptr; }, milliseconds);
    return found;
}

bool Scr::HasWindow() const { return FindWindowOf(info_.dwProcessId, nullptr, false) != nullptr; }

bool Scr::ExitedWithoutWindow(DWORD milliseconds) {
    bool seen = false;
    const auto start = GetTickCount();
    while (Running() && GetTickCount() - start < milliseconds) {
        seen = seen || HasWindow();
        Sleep(1);
    }
    return Exited(0) && !seen;
}

bool HasModule(HANDLE process, const char* name) {
    HMODULE modules[512];
    DWORD bytes = 0;
    if (!EnumProcessModules(process, modules, sizeof modules, &bytes)) return false;
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
        char base[MAX_PATH] = {};
        if (GetModuleBaseNameA(process, modules[i], base, sizeof base) && lstrcmpiA(base, name) == 0) return true;
    }
    return false;
}

bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds) {
    const auto start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(2);
    }
}

void ClearSettings() { RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey); }

static void Put(const char* name, DWORD type, const BYTE* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              0);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, data, size), 0);
    RegCloseKey(key);
}

void PutDword(const char* name, std::uint32_t value) {
    Put(name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
}

void PutText(const char* name, const std::string& text) {
    Put(name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
}

Snapshot ReadSettings(bool* exists) {
    Snapshot values;
    HKEY key = nullptr;
    const bool open = RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) == 0;
    if (exists) *exists = open;
    if (!open) return values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name, type = 0, size = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &size) != 0) break;
        std::vector<BYTE> data(size);
        nameSize = sizeof name;
        RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data.data(), &size);
        data.resize(size);
        values[name] = {type, data};
    }
    RegCloseKey(key);
    return values;
}

void Click(int x, int y, DWORD down, DWORD up) {
    INPUT in[3] = {};
    for (INPUT& i : in) i.type = INPUT_MOUSE;
    in[0].mi.dx = (x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN);
    in[0].mi.dy = (y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN);
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = down;
    in[2].mi.dwFlags = up;
    SendInput(3, in, sizeof(INPUT));
}

Screenshot CaptureScreen() {
    Screenshot shot;
    shot.width = GetSystemMetrics(SM_CXSCREEN);
    shot.height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.width, shot.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    shot.pixels.assign(p, p + static_cast<std::size_t>(shot.width) * shot.height);
    for (auto& px : shot.pixels) px &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

}  // namespace e2e

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: e2e_tests <path of Velumbra.scr>\n");
        return 2;
    }
    e2e::g_scr = e2e::WindowsPath(argv[1]);
    return RUN_ALL_TESTS();
}
