#include "e2e.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>

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

std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size() + 1, L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                             wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

std::string Utf8(const wchar_t* wide, std::size_t length) {
    std::string utf8(length * 4 + 1, '\0');
    utf8.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), utf8.data(),
                                                             static_cast<int>(utf8.size()), nullptr, nullptr)));
    return utf8;
}

// Text goes in as Unicode, as Windows keeps it: the test's UTF-8 stays the same characters.
void PutText(const char* name, const std::string& text) {
    const std::wstring wide = Wide(text);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              0);
    EXPECT_EQ(RegSetValueExW(key, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                             static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))),
              0);
    RegCloseKey(key);
}

Snapshot ReadSettings(bool* exists) {
    Snapshot values;
    HKEY key = nullptr;
    const bool open = RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) == 0;
    if (exists) *exists = open;
    if (!open) return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameSize = 256, type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &nameSize, nullptr, &type, nullptr, &size) != 0) break;
        std::vector<BYTE> data(size);
        nameSize = 256;
        RegEnumValueW(key, i, name, &nameSize, nullptr, &type, data.data(), &size);
        data.resize(size);
        // Text values as UTF-8 bytes, their NULs kept; everything else as stored.
        if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
            const std::string utf8 = Utf8(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
            data.assign(utf8.begin(), utf8.end());
        }
        values[Utf8(name, nameSize)] = {type, data};
    }
    RegCloseKey(key);
    return values;
}

HWND Focused(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

HWND OpenDialog(const Scr& scr) {
    HWND dialog = scr.WaitWindow(kDialogClass, 10000);
    if (dialog == nullptr || !WaitFor([&] { return Focused(dialog) != nullptr; }, 3000) ||
        WaitForInputIdle(scr.Handle(), 5000) != 0)
        return nullptr;
    return dialog;
}

HWND ChildAt(HWND dialog, int x, int y) {
    for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        if (r.left == x && r.top == y) return h;
    }
    return nullptr;
}

std::string WindowText(HWND hwnd) {
    char buffer[1024] = {};
    SendMessageA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

HWND WaitSystemDialog(DWORD pid, std::string* title) {
    struct Find {
        DWORD pid;
        HWND found;
    } find{pid, nullptr};
    WaitFor(
        [&] {
            EnumWindows(
                [](HWND h, LPARAM l) -> BOOL {
                    auto* f = reinterpret_cast<Find*>(l);
                    DWORD owner = 0;
                    GetWindowThreadProcessId(h, &owner);
                    char cls[32] = {};
                    GetClassNameA(h, cls, sizeof cls);
                    if (owner == f->pid && std::string(cls) == "#32770" && IsWindowVisible(h)) {
                        f->found = h;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&find));
            return find.found != nullptr;
        },
        5000);
    if (find.found && title) *title = WindowText(find.found);
    return find.found;
}

void Keys(std::initializer_list<WORD> keys, bool alt) {
    std::vector<INPUT> in;
    const auto add = [&](WORD vk, DWORD flags) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = vk;
        i.ki.dwFlags = flags;
        in.push_back(i);
    };
    if (alt) add(VK_MENU, 0);
    for (WORD k : keys) {
        add(k, 0);
        add(k, KEYEVENTF_KEYUP);
    }
    if (alt) add(VK_MENU, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    Sleep(80);
}

Layered ReadLayered(HWND hwnd) {
    Layered l;
    l.layered = (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    COLORREF key = 0;
    if (l.layered) GetLayeredWindowAttributes(hwnd, &key, &l.alpha, &l.flags);
    return l;
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

namespace {

// One report line for the fault scenarios, which scripts/test gathers.
class FaultReport : public ::testing::EmptyTestEventListener {
    void OnTestProgramEnd(const ::testing::UnitTest& unit) override {
        int tried = 0, failed = 0;
        for (int i = 0; i < unit.total_test_suite_count(); ++i) {
            const ::testing::TestSuite* suite = unit.GetTestSuite(i);
            if (std::string(suite->name()) != "Faults") continue;
            tried += suite->test_to_run_count();
            failed += suite->failed_test_count();
        }
        if (tried > 0) std::printf("[ report ] end-to-end fault scenarios: %d tried, %d failed\n", tried, failed);
    }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FaultReport);
    if (argc < 2) {
        fprintf(stderr, "usage: e2e_tests <path of Velumbra.scr>\n");
        return 2;
    }
    e2e::g_scr = e2e::WindowsPath(argv[1]);
    return RUN_ALL_TESTS();
}
