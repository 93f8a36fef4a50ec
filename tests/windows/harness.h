// What the Windows-side tests share. End to end they start the real Velumbra.scr, prepare its
// settings, read its windows and the screen from outside and send real input, or what Windows
// sends; in process they call the program's own routines. The same program runs under Wine and
// natively on Windows.
#pragma once

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/win.h"

using Bytes = std::vector<BYTE>;

inline constexpr const char* kSaver = "Velumbra_frmMain";
inline constexpr const char* kDialog = "Velumbra_frmConfig";
inline constexpr const char* kBox = "#32770";     // a message box or a chooser
inline constexpr std::uint32_t kTint = 0x996633;  // formcolor 0x00336699 on the screen
// Longer than any step takes: waiting beyond it means the step hangs.
inline constexpr DWORD kPatience = 10000;

// Polls until done; false when it is not done in time.
inline bool WaitFor(const std::function<bool()>& done, DWORD ms = kPatience) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(2))
        if (GetTickCount() - start > ms) return false;
    return true;
}

inline std::wstring Text(HWND window) {
    wchar_t text[1024];
    return std::wstring(text, SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text)));
}

inline HWND Focus(HWND window) {
    GUITHREADINFO info{sizeof info};
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

// Visible top-level windows of the classes, of one process.
inline std::vector<HWND> Windows(DWORD pid, std::initializer_list<const char*> classes) {
    std::vector<HWND> found;
    for (const char* name : classes)
        for (HWND w = FindWindowExA(nullptr, nullptr, name, nullptr); w; w = FindWindowExA(nullptr, w, name, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == pid && IsWindowVisible(w)) found.push_back(w);
        }
    return found;
}

// ---- Files: the test pictures beside this program, scratch files in the temporary folder.
inline std::wstring Folder() {
    wchar_t self[MAX_PATH];
    const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    return path.substr(0, path.rfind(L'\\') + 1);
}
inline std::wstring DataPath(const std::wstring& file) { return Folder() + L"data\\" + file; }
inline Bytes ReadData(const std::wstring& file) {
    std::ifstream in(std::filesystem::path(DataPath(file)), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline std::wstring Scratch(const std::wstring& name, const Bytes& data) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    return path.wstring();
}

// Velumbra.scr: the one built beside these tests, or the one named on the command line.
inline std::wstring& ScrPath() {
    static std::wstring path = Folder() + L"..\\Velumbra.scr";
    return path;
}

// Velumbra.scr started with the arguments. Still running when the test is done with it, it is
// killed and the test fails.
class Scr {
public:
    static constexpr DWORD kKilled = 99;
    explicit Scr(const std::string& args) {
        std::wstring command = L"\"" + ScrPath() + L"\" " + std::wstring(args.begin(), args.end());
        STARTUPINFOW startup{sizeof startup};
        PROCESS_INFORMATION info{};
        EXPECT_TRUE(CreateProcessW(ScrPath().c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &info))
            << "cannot start " << args;
        process_ = File(info.hProcess);
        CloseHandle(info.hThread);
        pid_ = info.dwProcessId;
    }
    ~Scr() { EXPECT_NE(ExitCode(0), kKilled) << "still running: killed"; }
    DWORD Pid() const { return pid_; }
    bool Running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    // The exit status once it has ended; killed when it does not end in time.
    DWORD ExitCode(DWORD ms = kPatience) {
        if (WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) TerminateProcess(process_.get(), kKilled);
        WaitForSingleObject(process_.get(), kPatience);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }
    // Its visible window of the class, once the process waits for input (or as soon as it shows).
    HWND Window(const char* windowClass, bool idle = true) const {
        std::vector<HWND> found;
        EXPECT_TRUE(WaitFor([&] { return !(found = Windows(pid_, {windowClass})).empty() || !Running(); }))
            << "no window";
        if (idle) WaitForInputIdle(process_.get(), kPatience);
        return found.empty() ? nullptr : found.front();
    }

private:
    File process_;
    DWORD pid_ = 0;
};

// ---- HKCU\Software\Velumbra: name, type and bytes of each value. A missing key reads as the
// one entry "(no key)", so comparing snapshots also tells a key that was created.
using Value = std::pair<DWORD, Bytes>;
using Snapshot = std::map<std::wstring, Value>;
inline constexpr const wchar_t* kKey = L"Software\\Velumbra";
inline const Snapshot kNoKey = {{L"(no key)", {}}};
inline Value Dw(std::uint32_t v) { return {REG_DWORD, {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}}; }
// Text as Windows keeps it: UTF-16, with its NUL unless told otherwise.
inline Value Sz(const std::wstring& text, bool nul = true) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return {REG_SZ, Bytes(bytes, bytes + 2 * text.size() + (nul ? 2 : 0))};
}
// The values added; with `anew` in a new key, which `readOnly` may be read but not written, as
// an administrator may lock it.
inline void Store(const Snapshot& values, bool readOnly = false, bool anew = true) {
    if (anew) RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    for (const auto& [name, v] : values)
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name.c_str(), v.first, v.second.data(), DWORD(v.second.size()));
    PSECURITY_DESCRIPTOR readable = nullptr;
    Key key;
    if (readOnly && ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", 1, &readable, nullptr) &&
        RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, WRITE_DAC, key.put()) == ERROR_SUCCESS)
        RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, readable);
    LocalFree(readable);
}
inline Snapshot Read() {
    Key key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return kNoKey;
    Snapshot values;
    wchar_t name[256];
    Bytes data(1 << 20);
    DWORD length = 256, type = 0, size = static_cast<DWORD>(data.size());
    for (DWORD i = 0; RegEnumValueW(key.get(), i, name, &length, nullptr, &type, data.data(), &size) == 0; ++i) {
        values[name] = {type, Bytes(data.begin(), data.begin() + size)};
        length = 256;
        size = static_cast<DWORD>(data.size());
    }
    return values;
}

// ---- Real input.
inline void Keys(std::initializer_list<BYTE> keys, bool alt = false) {
    if (alt) keybd_event(VK_MENU, 0, 0, 0);
    for (BYTE k : keys) {
        keybd_event(k, 0, 0, 0);
        keybd_event(k, 0, KEYEVENTF_KEYUP, 0);
    }
    if (alt) keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
}
// The move to (x, y) in the same event as the press, so the press cannot come first; then the
// release (its flag is the press flag doubled).
inline void Click(int x, int y, DWORD down = MOUSEEVENTF_LEFTDOWN, DWORD data = 0) {
    const DWORD ax = (x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN);
    const DWORD ay = (y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN);
    mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | down, ax, ay, data, 0);
    mouse_event(down * 2, 0, 0, data, 0);
}
inline void ClickOn(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// ---- What others see of a window and of the screen.
inline int Alpha(HWND window) {  // -1 while the window is not layered with LWA_ALPHA
    BYTE alpha = 0;
    DWORD flags = 0;
    const bool layered = GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED;
    return layered && GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) && flags & LWA_ALPHA ? alpha : -1;
}
// A window's place in pixels in another's client area (on the screen with none): left, top,
// right, bottom.
using Box = std::vector<long>;
inline Box Placed(HWND in, HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, in, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}
inline bool PointerShowing() {
    CURSORINFO info{sizeof info};
    return GetCursorInfo(&info) && info.flags & CURSOR_SHOWING;
}
// The screen, or a part of it, as 0x00RRGGBB; read at screen coordinates.
struct Shot {
    explicit Shot(RECT part = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)})
        : part(part), width(part.right - part.left), height(part.bottom - part.top), pixels(width * height) {
        const WindowDC screen(nullptr);
        const MemoryDC memory(CreateCompatibleDC(screen.get()));
        const Gdi<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), width, height));
        const Selected into(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), part.left, part.top, SRCCOPY);
        BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32}};
        GetDIBits(memory.get(), bitmap.get(), 0, height, pixels.data(), &info, DIB_RGB_COLORS);
        for (auto& p : pixels) p &= 0xFFFFFF;
    }
    std::uint32_t operator()(int x, int y) const { return pixels[std::size_t(y - part.top) * width + x - part.left]; }
    std::ptrdiff_t Off(std::uint32_t rgb) const {
        return std::ranges::count_if(pixels, [&](auto p) { return p != rgb; });
    }
    RECT part;
    int width, height;
    std::vector<std::uint32_t> pixels;
};

// What a picture shows where, within what JPEG and averaging change: once drawn (it is decoded
// beside the window) each probe shows its colour; with no probes, the tint alone on every pixel.
struct Probe {
    int x, y;
    std::uint32_t rgb;
};
inline bool Similar(std::uint32_t a, std::uint32_t b) {
    const auto within = [&](int c) { return std::abs(int(a >> c & 255) - int(b >> c & 255)) < 40; };
    return within(0) && within(8) && within(16);
}
inline void ShowsProbes(const std::vector<Probe>& probes) {
    Shot shot;
    WaitFor([&] {
        shot = Shot();
        return std::ranges::all_of(probes, [&](const Probe& p) { return Similar(shot(p.x, p.y), p.rgb); });
    });
    for (const Probe& p : probes) EXPECT_PRED2(Similar, shot(p.x, p.y), p.rgb) << "at " << p.x << "," << p.y;
    if (!probes.empty()) return;
    EXPECT_EQ(shot.Off(kTint), 0) << "pixels not of the tint";
}

// ---- The saver on the settings, the pointer resting at (0, 0). Watched from its start, its
// window is layered with its alpha when it first shows; `check` looks at it and `end` ends it (a
// key when empty); then exit status 0, the pointer shown and the settings as they were.
using Step = std::function<void(Scr&, HWND)>;
inline void RunSaver(const Snapshot& settings, const Step& check, const Step& end = {}, const char* args = "/s",
                     bool readOnly = false) {
    Store(settings, readOnly);
    SetCursorPos(0, 0);
    const Snapshot before = Read();
    Scr scr(args);
    HWND window = scr.Window(kSaver, false);
    ASSERT_NE(window, nullptr);
    EXPECT_GE(Alpha(window), 0) << "shown before it was layered";
    scr.Window(kSaver);
    if (check) check(scr, window);
    end ? end(scr, window) : Keys({VK_SPACE});
    EXPECT_EQ(scr.ExitCode(), 0u);
    EXPECT_TRUE(PointerShowing());
    EXPECT_EQ(Read(), before);
}

// ---- The dialog of Velumbra.scr started with "/c" on the stored settings, ready for input.
struct Session : Scr {
    explicit Session(const Snapshot& settings, const char* args = "/c", bool readOnly = false)
        : Scr((Store(settings, readOnly), args)), dialog(Window(kDialog)) {
        EXPECT_TRUE(WaitFor([&] { return Focus(dialog) != nullptr; })) << "no control has the focus";
    }
    HWND operator[](int id) const { return GetDlgItem(dialog, id); }
    bool Checked(int id) const { return SendMessageW((*this)[id], BM_GETCHECK, 0, 0) == BST_CHECKED; }
    // The message box or chooser that a click on the control opens.
    HWND Open(int id) {
        ClickOn((*this)[id]);
        return Window(kBox);
    }
    // Keys, then the process ends with status 0.
    void End(std::initializer_list<BYTE> keys, bool alt = false) {
        Keys(keys, alt);
        EXPECT_EQ(ExitCode(), 0u);
    }
    HWND dialog;
};
// Confirms or cancels a message box or chooser, and waits until it has gone.
inline void Answer(HWND box, bool ok) {
    PostMessageW(box, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); })) << "still open";
}
