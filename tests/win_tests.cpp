// Under Wine on a virtual display. End to end: this program starts the real Velumbra.scr,
// prepares the registry, reads its windows and the screen from outside, sends real input and
// checks the outcome. In process, where only the real registry and codecs can fail: the
// registry routines, and fuzzing of stored settings and of picture files.
#include <windows.h>
#include <wincodec.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <ranges>
#include <thread>

#include "config/frmConfig.h"
#include "platform/app.h"
#include "platform/numbers.h"
#include "platform/picture.h"
#include "screen/picture_job.h"
#include "settings/reg.h"
#include "settings/settings.h"

namespace {

std::wstring g_scr;                   // Velumbra.scr as a Windows path
constexpr const char* kSaver = "Velumbra_frmMain";
constexpr const char* kDialog = "Velumbra_frmConfig";
using Bytes = std::vector<BYTE>;

// Polls until done; false when it is not done in time.
bool WaitFor(const std::function<bool()>& done, DWORD ms) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(2))
        if (GetTickCount() - start > ms) return false;
    return true;
}
std::wstring Text(HWND h) { wchar_t s[1024]; return std::wstring(s, SendMessageW(h, WM_GETTEXT, 1024, LPARAM(s))); }
HWND Focus(HWND w) { GUITHREADINFO i{sizeof i}; GetGUIThreadInfo(GetWindowThreadProcessId(w, 0), &i); return i.hwndFocus; }
DWORD Pid(HWND w) { DWORD pid = 0; GetWindowThreadProcessId(w, &pid); return pid; }
// Visible top-level windows of the classes, of one process or (0) of any.
std::vector<HWND> Windows(DWORD pid, std::initializer_list<const char*> classes = {kSaver, kDialog}) {
    std::vector<HWND> found;
    for (const char* c : classes)
        for (HWND h = FindWindowExA(0, 0, c, 0); h; h = FindWindowExA(0, h, c, 0))
            if ((!pid || Pid(h) == pid) && IsWindowVisible(h)) found.push_back(h);
    return found;
}

// Velumbra.scr started with the arguments; still running when its test ends, it is killed and
// the test fails.
struct Scr {
    PROCESS_INFORMATION pi{};
    DWORD code = STILL_ACTIVE;
    explicit Scr(const std::string& args) {
        std::wstring command = L"\"" + g_scr + L"\" " + std::wstring(args.begin(), args.end());
        STARTUPINFOW startup{sizeof startup};
        EXPECT_TRUE(CreateProcessW(g_scr.c_str(), command.data(), 0, 0, 0, 0, 0, 0, &startup, &pi)) << args;
    }
    ~Scr() {
        EXPECT_NE(ExitCode(0), kKilled) << "still running: killed";
        CloseHandle(pi.hThread), CloseHandle(pi.hProcess);
    }
    bool Running() const { return WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }
    // The exit status once ended; not ended in time, it is killed: kKilled.
    static constexpr DWORD kKilled = 99;
    DWORD ExitCode(DWORD ms = 5000) {
        if (WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, kKilled), WaitForSingleObject(pi.hProcess, 5000);
        GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }
    bool Exited(DWORD ms = 5000) { return ExitCode(ms) == 0; }
    bool ExitedWithoutWindow() {  // ever showing one
        bool seen = false;
        for (DWORD t = GetTickCount(); Running() && GetTickCount() - t < 5000; Sleep(1)) seen |= !Windows(pi.dwProcessId).empty();
        return Exited(0) && !seen;
    }
    // A visible window of the process, once the process is idle (input sent sooner can miss the
    // window) and, when asked, the focus is set in the window's thread.
    HWND Window(std::initializer_list<const char*> classes = {kSaver, kDialog}, bool focus = false) const {
        std::vector<HWND> w;
        const bool shown = WaitFor([&] { return !(w = Windows(pi.dwProcessId, classes)).empty(); }, 10000);
        EXPECT_TRUE(shown && (!focus || WaitFor([&] { return Focus(w[0]); }, 3000)));
        EXPECT_EQ(WaitForInputIdle(pi.hProcess, 5000), 0u);
        return shown ? w[0] : nullptr;
    }
};

// ---- HKCU\Software\Velumbra: name, type and bytes of each value. A missing key reads as the
// one entry "(no key)", so comparing snapshots also tells a key that was created.
using Snapshot = std::map<std::wstring, std::pair<DWORD, Bytes>>;
constexpr const wchar_t* kKey = L"Software\\Velumbra";
const Snapshot kNoKey = {{L"(no key)", {}}};
Snapshot::mapped_type Dw(std::uint32_t v) { return {REG_DWORD, {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}}; }
Snapshot::mapped_type Sz(const std::wstring& s, bool nul = true) {  // text as Windows keeps it: Unicode
    const auto* p = reinterpret_cast<const BYTE*>(s.c_str());
    return {REG_SZ, Bytes(p, p + 2 * s.size() + (nul ? 2 : 0))};
}
void Put(const Snapshot& values) {
    for (const auto& [name, v] : values)
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name.c_str(), v.first, v.second.data(), DWORD(v.second.size()));
}
// The values anew; `readOnly`: in a key that may be read but not written, as an administrator may lock it.
void Store(const Snapshot& values, bool readOnly = false) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey), Put(values);
    PSECURITY_DESCRIPTOR sd;
    HKEY key;
    if (readOnly && ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", 1, &sd, 0) &&
        !RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, WRITE_DAC, &key))
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd), RegCloseKey(key), LocalFree(sd);
}
Snapshot Read() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key)) return kNoKey;
    Snapshot s;
    wchar_t name[256];
    Bytes data(1 << 20);
    for (DWORD i = 0, n = 256, type, size = 1 << 20; !RegEnumValueW(key, i, name, &n, 0, &type, data.data(), &size);
         ++i, n = 256, size = 1 << 20)
        s[name] = {type, Bytes(data.data(), data.data() + size)};
    RegCloseKey(key);
    return s;
}

// ---- Real input, and a moment for it to be handled.
void Keys(std::initializer_list<BYTE> keys, bool alt = false, DWORD settle = 80) {
    if (alt) keybd_event(VK_MENU, 0, 0, 0);
    for (BYTE k : keys) keybd_event(k, 0, 0, 0), keybd_event(k, 0, KEYEVENTF_KEYUP, 0);
    if (alt) keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
    Sleep(settle);
}
// The move to (x, y) in the same event as the press, so the press cannot come first; then the
// release (its flag is the press flag doubled).
void Click(int x, int y, DWORD down = MOUSEEVENTF_LEFTDOWN, DWORD data = 0) {
    mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | down, (x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN),
                (y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN), data, 0);
    mouse_event(down * 2, 0, 0, data, 0);
    Sleep(80);
}
void ClickOn(HWND h) { RECT r; GetWindowRect(h, &r); Click((r.left + r.right) / 2, (r.top + r.bottom) / 2); }
// Each move apart, so the saver sees it alone (moves waiting together are merged).
void MoveTo(int x, int y) { SetCursorPos(x, y); Sleep(60); }

// ---- What others see of a window and of the screen.
int Alpha(HWND h) {  // -1 while the window is not layered with LWA_ALPHA
    BYTE alpha = 0; DWORD flags = 0;
    const bool layered = GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_LAYERED;
    return layered && GetLayeredWindowAttributes(h, 0, &alpha, &flags) && flags & LWA_ALPHA ? alpha : -1;
}
bool PointerShowing() { CURSORINFO i{sizeof i}; return GetCursorInfo(&i) && i.flags & CURSOR_SHOWING; }
struct Shot {  // the screen as 0x00RRGGBB
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    std::vector<std::uint32_t> px = std::vector<std::uint32_t>(w * h);
    Shot() {
        HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
        BITMAPINFO info{{sizeof(BITMAPINFOHEADER), w, -h, 1, 32}};
        GetDIBits(memory, HBITMAP(SelectObject(memory, old)), 0, h, px.data(), &info, DIB_RGB_COLORS);
        DeleteObject(bitmap), DeleteDC(memory), ReleaseDC(nullptr, screen);
    }
    std::uint32_t operator()(int x, int y) const { return px[y * w + x] & 0xFFFFFF; }
    int Off(RECT r, std::uint32_t rgb) const {  // pixels of the rectangle other than `rgb`
        int off = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) off += (*this)(x, y) != rgb;
        return off;
    }
};

// ---- The saver on the settings, the pointer resting at (0, 0) (moved away and back, so the
// display's pointer is there too and the move that comes with the window repeats it). Once
// its layered window has painted, `check` looks at it and `end` ends it (a key when empty);
// then exit code 0, the pointer shown and the settings as they were.
using Step = std::function<void(Scr&, HWND)>;
void RunSaver(const Snapshot& settings, const Step& check, const Step& end = {}, const char* args = "/s", bool readOnly = false) {
    Store(settings, readOnly);
    SetCursorPos(1, 1); SetCursorPos(0, 0);
    const Snapshot before = Read();
    Scr scr(args);
    // Watched from the start: the window is layered with its alpha when it first shows.
    std::vector<HWND> w;
    for (DWORD t = GetTickCount(); GetTickCount() - t < 10000 && (w = Windows(scr.pi.dwProcessId, {kSaver})).empty();) {}
    EXPECT_TRUE(!w.empty() && Alpha(w[0]) >= 0) << "shown before it was layered";
    HWND h = scr.Window({kSaver});
    Sleep(150);
    if (check) check(scr, h);
    end ? end(scr, h) : Keys({VK_SPACE});
    EXPECT_TRUE(scr.Exited() && PointerShowing()) << "exit code " << scr.code << ", the pointer shown";
    EXPECT_EQ(Read(), before);
}

// ---- The test pictures beside this program, and scratch files in the temporary folder.
std::wstring Folder() {  // this program's, with its backslash
    wchar_t self[MAX_PATH];
    const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    return path.substr(0, path.rfind(L'\\') + 1);
}
std::wstring DataPath(const char* file) { return Folder() + L"data\\" + std::wstring(file, file + strlen(file)); }
Bytes ReadData(const char* file, DWORD most = 1 << 20) {
    Bytes data(most);
    HANDLE f = CreateFileW(DataPath(file).c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    ReadFile(f, data.data(), most, &most, 0); CloseHandle(f);
    data.resize(most);
    return data;
}
// A file with the bytes in the temporary folder, which goes with the test run's Wine prefix.
std::wstring Scratch(const std::wstring& name, const Bytes& data) {
    wchar_t temp[MAX_PATH];
    const std::wstring path = std::wstring(temp, GetTempPathW(MAX_PATH, temp)) + name;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    DWORD written = 0;
    WriteFile(f, data.data(), DWORD(data.size()), &written, 0), CloseHandle(f);
    return path;
}

// A photo-sized JPEG in four colours, red and green above blue and white, meeting at (x, y),
// encoded a band of rows at a time.
Bytes FourColourJpeg(UINT width, UINT height, UINT x, UINT y) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Com<IWICImagingFactory> factory;
    Com<IStream> stream;
    Com<IWICBitmapEncoder> encoder;
    Com<IWICBitmapFrameEncode> frame;
    CoCreateInstance(CLSID_WICImagingFactory, 0, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()));
    CreateStreamOnHGlobal(0, TRUE, stream.put()), factory->CreateEncoder(GUID_ContainerFormatJpeg, 0, encoder.put());
    encoder->Initialize(stream.get(), WICBitmapEncoderNoCache), encoder->CreateNewFrame(frame.put(), 0), frame->Initialize(0);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    frame->SetSize(width, height), frame->SetPixelFormat(&format);
    Bytes rows(width * 3 * 16);
    for (UINT top = 0; top < height; top += 16) {
        for (UINT i = 0; i < width * 16; ++i) {
            const std::uint32_t rgb = top + i / width < y ? (i % width < x ? 0xFF0000 : 0x00FF00) : (i % width < x ? 0x0000FF : 0xFFFFFF);
            rows[3 * i] = BYTE(rgb), rows[3 * i + 1] = BYTE(rgb >> 8), rows[3 * i + 2] = BYTE(rgb >> 16);
        }
        EXPECT_EQ(frame->WritePixels(std::min(16u, height - top), width * 3, width * 3 * 16, rows.data()), S_OK);
    }
    HGLOBAL memory;
    STATSTG stat;
    frame->Commit(), encoder->Commit(), GetHGlobalFromStream(stream.get(), &memory), stream->Stat(&stat, STATFLAG_NONAME);
    const BYTE* bytes = static_cast<const BYTE*>(GlobalLock(memory));
    const Bytes jpeg(bytes, bytes + stat.cbSize.QuadPart);
    return GlobalUnlock(memory), jpeg;
}

// ---- The dialog as designed: lengths in twips, a frame's controls placed from the frame.
enum Id { kCornerFrame, kCornerNone, kCorner3, kCorner2, kCorner1, kCorner4, kPictureFrame, kPictureNone, kPicture,
          kStretch, kPictureChange, kCancel, kOk, kAbout, kAlphaFrame, kFade, kOpaque, kScroll, kLabel, kSeconds,
          kColourFrame, kColourChange, kColourBox };
constexpr Id kCorners[] = {kCornerNone, kCorner1, kCorner2, kCorner3, kCorner4};  // by disablecorner
constexpr const char *B = "Button", *S = "Static";
constexpr struct { const char* cls; const wchar_t* text; int frame, x, y, w, h; } kDesign[] = {
    {B, L"Disabling Corner", -1, 360, 3900, 2895, 1035}, {B, L"(None)", 0, 1320, 480, 1095, 255},
    {B, L"", 0, 840, 660, 255, 255}, {B, L"", 0, 840, 300, 255, 255}, {B, L"", 0, 420, 660, 255, 255},
    {B, L"", 0, 420, 300, 255, 255}, {B, L"Background Image", -1, 360, 2760, 2895, 1035},
    {B, L"(None)", 6, 1860, 240, 975, 255}, {B, L"", 6, 120, 240, 1695, 255},
    {B, L"Stretch Image", 6, 1380, 660, 1455, 255}, {B, L"Cha&nge", 6, 120, 600, 1095, 375},
    {B, L"&Cancel", -1, 1320, 5100, 975, 375}, {B, L"&Ok", -1, 2520, 5100, 975, 375},
    {B, L"&About", -1, 120, 5100, 975, 375}, {B, L"Alpha Transparency", -1, 360, 960, 2895, 1695},
    {"Edit", L"0", 14, 960, 1260, 675, 285}, {B, L"Transition to Opaque", 14, 120, 960, 2175, 255},
    {"ScrollBar", L"", 14, 120, 240, 2655, 255}, {S, L"50% Transparent", 14, 240, 600, 2415, 255},
    {S, L"Seconds", 14, 1740, 1320, 975, 255}, {B, L"Fade to Color", -1, 360, 120, 2895, 735},
    {B, L"C&hange", 20, 1200, 240, 1575, 375}, {S, L"", 20, 120, 240, 855, 375}};
const double kTwipsPerPixel = 1440.0 / GetDeviceCaps(GetDC(nullptr), LOGPIXELSX);  // the screen's DC, kept
long Px(double twips) { return std::lround(twips / kTwipsPerPixel); }
RECT Where(int id) {  // where a control belongs in the dialog's client area
    const auto& c = kDesign[id];
    const long x = Px(c.x) + (c.frame < 0 ? 0 : Px(kDesign[c.frame].x));
    const long y = Px(c.y) + (c.frame < 0 ? 0 : Px(kDesign[c.frame].y));
    return {x, y, x + Px(c.w), y + Px(c.h)};
}
// Confirms or cancels a message box or chooser, and waits until it is gone.
void Answer(HWND box, bool ok) {
    PostMessageW(box, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }, 3000));
    Sleep(100);
}
// Velumbra.scr started with "/c" on the stored settings, its dialog ready for input.
struct Session : Scr {
    HWND d;
    explicit Session(const Snapshot& settings, const char* args = "/c", bool readOnly = false)
        : Scr((Store(settings, readOnly), args)), d(Window({kDialog}, true)) {}
    HWND operator[](int id) const {  // the child in the control's place
        RECT r, want = Where(id);
        for (HWND h = GetWindow(d, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
            GetWindowRect(h, &r); MapWindowPoints(0, d, reinterpret_cast<POINT*>(&r), 2);
            if (EqualRect(&want, &r)) return h;
        }
        return nullptr;
    }
    bool Checked(int id) const { return SendMessageW((*this)[id], BM_GETCHECK, 0, 0) == BST_CHECKED; }
    // All the dialog shows of the settings but the colour, in one line.
    std::wstring State() const {
        const bool picture = Checked(kPicture), none = Checked(kPictureNone);
        auto text = std::to_wstring(SendMessageW((*this)[kScroll], SBM_GETPOS, 0, 0)) + L" " + Text((*this)[kLabel]) +
                    L" | " + Text((*this)[kFade]) + (Checked(kOpaque) ? L" on" : L" off") +
                    (IsWindowEnabled((*this)[kFade]) ? L"" : L" greyed") + L" | '" + Text((*this)[kPicture]) +
                    (picture == none ? L"' both or neither" : picture ? L"' picture" : L"' none") +
                    (Checked(kStretch) ? L" stretch" : L"") + L" | corner";
        for (int c = 0; c < 5; ++c) text += Checked(kCorners[c]) ? L" " + std::to_wstring(c) : L"";
        return text;
    }
    HWND Open(int id) const { ClickOn((*this)[id]); return Window({"#32770"}); }  // the box or chooser a click opens
    void End(std::initializer_list<BYTE> keys, bool alt = false) { Keys(keys, alt); EXPECT_TRUE(Exited()); }
    void Ok() { End({'O'}, true); }  // Alt+O: "&Ok"
};

// ======== Start-up and the file

TEST(Startup, SwitchesThatEndAtOnceAndTheCornerVetoShowNoWindowAndCreateNoKey) {
    Store({});
    for (const char* args : {"/p 1234", "/a", "x"}) EXPECT_TRUE(Scr(args).ExitedWithoutWindow()) << args;
    EXPECT_EQ(Read(), kNoKey);
    // The pointer resting in the top-left corner, which is to keep the saver from starting.
    Store({{L"disablecorner", Dw(4)}});
    SetCursorPos(10, 10);
    EXPECT_TRUE(Scr("/s").ExitedWithoutWindow());
}

// Another instance holds the lock, or holds it so that it may not even be opened (an instance
// running elevated): every start ends at once. And when Windows gives no window (a hook refuses
// them), the process ends at once with a failure status and leaves the pointer as it was.
TEST(Startup, AnotherInstanceOrNoWindowEndsAtOnce) {
    Store({});
    SetCursorPos(0, 0);
    for (const wchar_t* dacl : {L"", L"D:P"}) {
        PSECURITY_DESCRIPTOR sd = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorW(dacl, 1, &sd, nullptr);
        SECURITY_ATTRIBUTES denied{sizeof denied, *dacl ? sd : nullptr, FALSE};
        const File lock(CreateMutexW(&denied, FALSE, L"Local\\Velumbra.ScreenSaver.Instance"));
        LocalFree(sd);
        for (const char* args : {"/s", "/c"}) EXPECT_TRUE(Scr(args).ExitedWithoutWindow()) << args << " beside a lock " << dacl;
    }
    const HMODULE hook = LoadLibraryW((Folder() + L"no_forms_hook.dll").c_str());
    const HHOOK refuse = SetWindowsHookExW(WH_CBT, reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(GetProcAddress(hook, "RefuseForms"))), hook, 0);
    ASSERT_NE(refuse, nullptr);
    for (const char* args : {"/s", "/c"}) {
        Scr scr(args);
        EXPECT_EQ(scr.ExitCode(), 1u) << args;
        EXPECT_TRUE(PointerShowing()) << args;
    }
    UnhookWindowsHookEx(refuse);
}

TEST(Faults, TwentyStartsAtOnceLeaveOneWindow) {
    std::vector<std::unique_ptr<Scr>> starts;
    Store({}); SetCursorPos(0, 0);
    for (int i = 0; i < 20; ++i) starts.push_back(std::make_unique<Scr>(i % 2 ? "/c" : "/s"));
    // Until one alone runs, no window but its own ever shows; the others end with exit code 0.
    std::set<HWND> shown;
    const auto running = [&] { return std::ranges::count_if(starts, [](auto& s) { return s->Running(); }); };
    ASSERT_TRUE(WaitFor([&] { for (HWND h : Windows(0)) shown.insert(h); return running() == 1; }, 15000));
    Scr& left = **std::ranges::find_if(starts, [](auto& s) { return s->Running(); });
    shown.insert(left.Window({kSaver, kDialog}, true));
    EXPECT_EQ(shown.size(), 1u);
    Keys({VK_ESCAPE});  // ends the saver, cancels the dialog
    EXPECT_TRUE(left.Exited());
}

// ======== The saver

constexpr std::uint32_t kTint = 0x996633;  // formcolor 0x00336699 on the screen

// At the screen's resolution (ctest runs the AnyDpi tests at 96, 144 and 192 dots per inch):
// the window, its alpha and the hidden pointer; any key or button, on the tint or on the
// picture, or the wheel ends it, and so do five pointer moves to new places in a row, but not
// four, and another window taking the activation.
TEST(AnyDpi, SaverWindowAndWhatEndsIt) {
    const auto click = [](int x, int y, DWORD button, DWORD data = 0) { return [=](Scr&, HWND) { Click(x, y, button, data); }; };
    const Step wheel = [](Scr&, HWND) { mouse_event(MOUSEEVENTF_WHEEL, 0, 0, DWORD(-WHEEL_DELTA), 0); };
    const Step activation = [](Scr& scr, HWND) {
        HWND other = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, 0, 0, 0, 0);
        EXPECT_TRUE(SetForegroundWindow(other) && scr.Exited());
        DestroyWindow(other);
    };
    const Step moves = [](Scr& scr, HWND) {
        // One pixel apart, new places at any resolution, onto the picture: four leave it running.
        for (int x : {477, 478, 479, 480}) MoveTo(x, 370);
        Sleep(100);
        EXPECT_TRUE(scr.Running()) << "four moves ended the saver";
        MoveTo(481, 370);
    };
    const Step close = [](Scr&, HWND h) { PostMessageW(h, WM_CLOSE, 0, 0); };  // taskkill, Task Manager's "End task"
    const Step signOut = [](Scr&, HWND h) {  // what Windows sends as the user signs out
        DWORD_PTR agreed = FALSE;
        EXPECT_TRUE(SendMessageTimeoutW(h, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &agreed) && agreed);
        SendMessageTimeoutW(h, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, nullptr);
    };
    const struct { int trans; const char* args; Step end; bool readOnly = false; } rows[] = {
        {0, "/s", {}}, {77, "/S extra", click(0, 0, MOUSEEVENTF_LEFTDOWN)}, {128, "/s", click(0, 0, MOUSEEVENTF_RIGHTDOWN)},
        {255, "/s", click(0, 0, MOUSEEVENTF_MIDDLEDOWN)}, {128, "/s", click(500, 380, MOUSEEVENTF_LEFTDOWN)},
        {128, "", moves}, {128, "/s", wheel}, {128, "/s", click(0, 0, MOUSEEVENTF_XDOWN, XBUTTON2)}, {128, "/s", activation},
        {128, "/s", close}, {128, "/s", signOut}, {40, "/s", {}, true}};  // a key that may only be read is read
    for (const auto& r : rows)
        RunSaver({{L"transvalue", Dw(r.trans)}, {L"imagename", Sz(DataPath("quadrants.bmp"))}}, [&](Scr&, HWND h) {
            RECT window, client, screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
            GetWindowRect(h, &window); GetClientRect(h, &client);
            EXPECT_TRUE(EqualRect(&window, &screen) && EqualRect(&client, &screen)) << window.right << "x" << window.bottom;
            EXPECT_TRUE(IsWindowVisible(h) && !PointerShowing() && Alpha(h) == 255 - r.trans) << "alpha " << Alpha(h);
            // Topmost, with no taskbar button, caption or frame.
            const LONG style = GetWindowLongW(h, GWL_STYLE), ex = GetWindowLongW(h, GWL_EXSTYLE);
            EXPECT_EQ(ex & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_APPWINDOW), WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
            EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME)) << style;
        }, r.end, r.args, r.readOnly);
}

// A bitmap of 64 x 48 pixels of 32 bits whose alpha channel is 0 in every pixel (a header with
// an alpha mask, as many tools write): red and green above blue and white, meeting at (32, 24).
Bytes AlphaZeroBitmap() {
    Bytes file = {'B', 'M'};
    const auto put = [&](std::uint32_t v) { file.insert(file.end(), {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}); };
    for (std::uint32_t field : {122u + 64 * 48 * 4, 0u, 122u, 108u, 64u, std::uint32_t(-48), 32u << 16 | 1u, 3u /* BI_BITFIELDS */,
                                64u * 48 * 4, 0u, 0u, 0u, 0u, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u})
        put(field);
    file.resize(122);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) put(y < 24 ? (x < 32 ? 0xFF0000 : 0x00FF00) : (x < 32 ? 0x0000FF : 0xFFFFFF));
    return file;
}
// A JPEG turned by its EXIF orientation: an APP1 segment put after its start of image.
Bytes Turned(Bytes jpeg, BYTE orientation) {
    const Bytes app1 = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                        0x12, 0x01, 3, 0, 1, 0, 0, 0, orientation, 0, 0, 0, 0, 0, 0, 0};
    jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
    return jpeg;
}
bool Similar(std::uint32_t a, std::uint32_t b) {  // JPEG's colours are near, not exact
    return std::ranges::all_of(std::array{0, 8, 16}, [&](int c) { return std::abs(int(a >> c & 255) - int(b >> c & 255)) < 40; });
}

struct Probe { int x, y; std::uint32_t rgb; };
// Once the picture decoded beside the window is drawn, each probe shows its colour; with no probes,
// the tint alone shows on every pixel.
void ShowsProbes(const std::vector<Probe>& probes) {
    const auto drawn = [&](const Shot& shot) {
        return std::ranges::all_of(probes, [&](const Probe& p) { return Similar(shot(p.x, p.y), p.rgb); });
    };
    WaitFor([&] { return drawn(Shot()); }, 30000);
    const Shot shot;
    for (const Probe& p : probes) EXPECT_TRUE(Similar(shot(p.x, p.y), p.rgb)) << p.x << "," << p.y << ": " << std::hex << shot(p.x, p.y);
    if (probes.empty()) {
        EXPECT_EQ(shot.Off({0, 0, shot.w, shot.h}, kTint), 0) << "not the tint alone";
    }
}

// Pictures at their own size, centred, or stretched, each pixel where it belongs, photos upright and
// bitmaps whose alpha is empty opaque; a name of no usable picture leaves the tint alone.
TEST(Saver, PicturesLandWhereTheyBelongAndBadOnesLeaveTheTintAlone) {
    // 64 x 48 in four colours, at its own size from (480, 360).
    const std::vector<Probe> quadrants = {{479, 360, kTint}, {480, 359, kTint}, {480, 360, 0xFF0000}, {511, 383, 0xFF0000},
                                          {512, 383, 0x00FF00}, {511, 384, 0x0000FF}, {543, 407, 0xFFFFFF}, {544, 407, kTint}};
    const struct { std::wstring path; int stretch; std::vector<Probe> probes; } cases[] = {
        {DataPath("quadrants.bmp"), 0, quadrants}, {DataPath("quadrants.gif"), 0, quadrants},
        {Scratch(L"velumbra-alpha0.bmp", AlphaZeroBitmap()), 0, quadrants},
        // Turned a quarter clockwise to stand upright: 48 x 64 from (488, 352), blue and red above white and green.
        {Scratch(L"velumbra-turned.jpg", Turned(ReadData("quadrants.jpg"), 6)), 0,
         {{487, 360, kTint}, {492, 356, 0x0000FF}, {532, 356, 0xFF0000}, {492, 412, 0xFFFFFF}, {532, 412, 0x00FF00}, {536, 412, kTint}}},
        // 300 x 100 stretched to the full width: 341 rows from row 213, its 10-pixel blue corner about 34.
        {DataPath("wide.bmp"), 1, {{512, 211, kTint}, {512, 555, kTint}, {512, 216, 0xFFCC00}, {512, 552, 0xFFCC00},
                                   {1020, 380, 0xFFCC00}, {10, 225, 0x0066FF}, {60, 225, 0xFFCC00}}},
        // Its largest image, 32 x 32 from (496, 368), the tint through its transparent parts.
        {DataPath("icon.ico"), 0, {{496, 368, kTint}, {495, 373, kTint}, {496, 372, 0x1C2A4A}, {527, 373, 0x1C2A4A},
                                   {528, 373, kTint}, {500, 380, 0x4F7FD0}, {510, 397, 0xD8D8D8}, {527, 399, kTint}}},
        {DataPath(""), 1}};
    for (const auto& c : cases)
        RunSaver({{L"formcolor", Dw(0x00336699)}, {L"transvalue", Dw(0)}, {L"imagename", Sz(c.path)},
                  {L"imagestretch", Dw(c.stretch)}}, [&](Scr&, HWND) {
            ShowsProbes(c.probes);
        });
}

// The primary screen at another size for the scope, by a real change of the display mode.
struct DisplayMode {
    explicit DisplayMode(DWORD width, DWORD height) {
        DEVMODEW mode{};
        mode.dmSize = sizeof mode;
        mode.dmPelsWidth = width, mode.dmPelsHeight = height, mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
        EXPECT_EQ(ChangeDisplaySettingsExW(nullptr, &mode, nullptr, CDS_FULLSCREEN, nullptr), DISP_CHANGE_SUCCESSFUL);
    }
    ~DisplayMode() { ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr); }
};

// When the screen's resolution changes, the saver covers the new screen and places its picture
// anew by the same rules: the wide picture stretched to 800 pixels, 267 rows from row 167.
TEST(Saver, AfterADisplayChangeThePictureIsPlacedAgain) {
    RunSaver({{L"formcolor", Dw(0x00336699)}, {L"transvalue", Dw(0)}, {L"imagename", Sz(DataPath("wide.bmp"))},
              {L"imagestretch", Dw(1)}}, [](Scr&, HWND h) {
        ShowsProbes({{512, 211, kTint}, {512, 216, 0xFFCC00}});
        const DisplayMode mode(800, 600);
        ShowsProbes({{400, 165, kTint}, {400, 169, 0xFFCC00}, {799, 431, 0xFFCC00}, {400, 435, kTint}});
        RECT r;
        GetWindowRect(h, &r);
        EXPECT_EQ(std::pair(r.right, r.bottom), std::pair(800L, 600L));
    });
}

// Photos of 48 and 108 megapixels land where the rules place them; a key while one decodes ends
// the saver.
TEST(Saver, BigPhotosLandWhereTheyBelong) {
    const std::wstring path48 = Scratch(L"velumbra-48.jpg", FourColourJpeg(8000, 6000, 4000, 3000));
    const std::wstring path108 = Scratch(L"velumbra-108.jpg", FourColourJpeg(12000, 9000, 6000, 4496));
    const struct { std::wstring path; int stretch; std::vector<Probe> probes; Step end; } cases[] = {
        // Stretched over the whole screen, the colours meeting at (512, 384), averaged on the way.
        {path48, 1, {{0, 0, 0xFF0000}, {509, 381, 0xFF0000}, {514, 381, 0x00FF00},
                                                 {509, 386, 0x0000FF}, {514, 386, 0xFFFFFF}, {1023, 767, 0xFFFFFF}}},
        // At its own size, centred: columns 5488 to 6511 and rows 4116 to 4883 show, pixel for pixel.
        {path108, 0, {{0, 0, 0xFF0000}, {511, 379, 0xFF0000}, {512, 379, 0x00FF00}, {511, 380, 0x0000FF}, {512, 380, 0xFFFFFF}}},
        {path108, 1, {}, [](Scr&, HWND) { Keys({VK_SPACE}); }}};  // a key as soon as the window shows
    for (const auto& c : cases)
        RunSaver({{L"formcolor", Dw(0x00336699)}, {L"transvalue", Dw(0)}, {L"imagename", Sz(c.path)},
                  {L"imagestretch", Dw(c.stretch)}}, [&](Scr&, HWND) {
            if (!c.end) ShowsProbes(c.probes);
        }, c.end);
}

TEST(Saver, FadeRisesByItsStepAtItsIntervalToExactly255) {
    RunSaver({{L"transvalue", Dw(255)}, {L"opaquetime", Dw(1)}}, [](Scr&, HWND h) {  // 26 a tick, every 104 ms
        std::vector<int> seen = {Alpha(h)}, expected;  // each alpha seen from outside
        DWORD first = 0, last = 0;  // when the first and the last step came
        for (DWORD start = GetTickCount(); seen.back() < 255 && GetTickCount() - start < 10000; Sleep(1)) {
            if (Alpha(h) == seen.back()) continue;
            seen.push_back(Alpha(h));
            (seen.size() == 2 ? first : last) = GetTickCount();
        }
        // From 0: the first ticks may have come while the window was painted.
        for (int a = seen.front() - seen.front() % 26; a < 255 + 26; a += 26) expected.push_back(std::min(a, 255));
        EXPECT_EQ(seen, expected);
        EXPECT_NEAR(double(last - first) / (seen.size() - 2), 104, 104 / 4.);
    });
}

// ======== The dialog

TEST(AnyDpi, DialogLayout) {
    Session g({}, "/C:1234");
    RECT client, frame, work;
    GetClientRect(g.d, &client), GetWindowRect(g.d, &frame), SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(Text(g.d), L"Configure Velumbra");
    EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(Px(3615), Px(5565)));
    // Centred on the work area, but never above or left of it.
    EXPECT_EQ(frame.left, work.left + std::max(0L, (work.right - work.left - frame.right + frame.left) / 2));
    EXPECT_EQ(frame.top, work.top + std::max(0L, (work.bottom - work.top - frame.bottom + frame.top) / 2));
    EXPECT_EQ(GetWindowLongW(g.d, GWL_STYLE) & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU), WS_SYSMENU);
    // The 23 child windows, each of the designed class and text in its place.
    for (int id = 0; id <= kColourBox; ++id) {
        char cls[32] = {};
        GetClassNameA(g[id], cls, 32);
        EXPECT_TRUE(cls == std::string(kDesign[id].cls) && Text(g[id]) == kDesign[id].text) << "control " << id << ": " << cls;
    }
    g.End({VK_ESCAPE});
}

// And Enter presses the push button that has the focus, else "&Ok", also after the focus was on
// "&About".
TEST(Dialog, TabGoesThroughEveryStopAndBackAboutLeavesItOpenAndEnterPressesOk) {
    Session g({{L"opaquetime", Dw(10)}, {L"disablecorner", Dw(2)}});  // the fade box enabled, a corner chosen
    for (int id : {kColourChange, kScroll, kOk, kCancel, kAbout, kOpaque, kFade, kPictureChange, kStretch, kPictureNone,
                   kCorner2, kColourChange, kScroll, kOk, kCancel}) {
        EXPECT_TRUE(WaitFor([&] { return Focus(g.d) == g[id]; }, 1000)) << "control " << id;
        Keys({VK_TAB}, false, 0);
    }
    Keys({VK_RETURN});
    HWND about = g.Window({"#32770"});
    EXPECT_EQ(Text(about), L"Velumbra 1.6.13 for Win2K");
    Answer(about, true);
    EXPECT_TRUE(g.Running() && IsWindowVisible(g.d));
    Keys({VK_TAB, VK_TAB});  // on to the fade time
    // The dialog manager's default button is "&Ok" (and no control has id 0, its "none").
    EXPECT_EQ(SendMessageW(g.d, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
    EXPECT_EQ(GetDlgItem(g.d, 0), nullptr);
    g.End({VK_RETURN});
    EXPECT_EQ(Read()[L"opaquetime"], Dw(10));
}

// What the dialog shows of stored values, and what Ok then stores. Each row: the stored transvalue,
// opaquetime, imagename, imagestretch and disablecorner; what shows; the transvalue and opaquetime stored.
TEST(Dialog, ShowsTheStoredSettingsAndOkStoresThem) {
    const struct { std::uint32_t trans, opaque; const wchar_t* name; int stretch, corner; const wchar_t* shown; int t2, o2; }
        rows[] = {{128, 10, L"C:\\x\\Tom & Jerry.jpg", 1, 2,
                   L"16 50% Transparent | 10 on | 'Tom && Jerry.jpg' picture stretch | corner 2", 128, 10},
        {5, -30u, L"plain.bmp", 0, 0, L"0 0% Transparent | 30 off greyed | 'plain.bmp' picture | corner 0", 0, -30},
        {255, 0x80000000, L"", 0, 4, L"31 97% Transparent | 2147483647 off greyed | '' none | corner 4", 248, -2147483647}};
    for (const auto& r : rows) {
        const auto stored = [&](std::uint32_t trans, std::uint32_t opaque) {
            return Snapshot{{L"formcolor", Dw(0x00123456)}, {L"transvalue", Dw(trans)}, {L"opaquetime", Dw(opaque)},
                            {L"imagename", Sz(r.name)}, {L"imagestretch", Dw(r.stretch)}, {L"disablecorner", Dw(r.corner)}};
        };
        Session g(stored(r.trans, r.opaque));
        EXPECT_EQ(g.State(), r.shown);
        EXPECT_EQ(Text(g[kColourChange]) + L" " + Text(g[kPictureChange]), L"C&hange Cha&nge");  // access keys kept
        g.Ok();
        EXPECT_EQ(Read(), stored(r.t2, r.o2)) << r.shown;
    }
}

TEST(Dialog, TypingPastingScrollingAndAnArrowKeyToACornerThenEnterStoreExactlyTheSixValues) {
    Session g({});
    PostMessageW(g.d, WM_NEXTDLGCTL, WPARAM(g[kCornerNone]), TRUE);
    Keys({VK_DOWN});  // in an option group an arrow key chooses, by place: down and to the left from "(None)"
    for (int id : {kOpaque, kFade}) ClickOn(g[id]);
    SendMessageW(g[kFade], EM_SETSEL, 0, -1);
    Keys({'4', 'A', VK_OEM_MINUS, '2', VK_SPACE, VK_BACK, '1', '2', '3', '4', '5'});
    EXPECT_EQ(Text(g[kFade]), L"421234");  // digits only, six at most
    // Text that is no whole number, as a paste would put it past the key filter: Ok refuses it
    // and selects it.
    SetWindowTextW(g[kFade], L"7x-1.5");
    Keys({'O'}, true, 200);  // Alt+O: "&Ok"
    DWORD from = 1, to = 0;
    SendMessageW(g[kFade], EM_GETSEL, WPARAM(&from), LPARAM(&to));
    EXPECT_TRUE(g.Running() && Read() == kNoKey && Focus(g.d) == g[kFade] && from == 0 && to == 6)
        << "Ok took text that is no whole number, or left it unselected";
    SetWindowTextW(g[kFade], L"42");
    ClickOn(g[kScroll]);  // the thumb
    Keys({VK_RIGHT, VK_RIGHT, VK_NEXT, VK_LEFT});  // an arrow moves one step, a page four
    EXPECT_EQ(g.State(), L"21 66% Transparent | 42 on | '' none | corner 3");
    g.End({VK_RETURN});  // "&Ok", though the scroll bar has the focus
    EXPECT_EQ(Read(), (Snapshot{{L"formcolor", Dw(0)}, {L"transvalue", Dw(168)}, {L"opaquetime", Dw(42)},
                                {L"imagename", Sz(L"")}, {L"imagestretch", Dw(0)}, {L"disablecorner", Dw(3)}}));
}

// In process: moved to a screen of another scale, the dialog takes the rectangle Windows
// suggests and lays its controls and their font out again at the new resolution; moved back, it
// looks exactly as one just opened, with nothing of the larger drawing left.
TEST(Dialog, ANewResolutionLaysTheDialogOutAgainAndRepaintsIt) {
    const auto settled = [](HWND d) {  // the client area once every waiting message is handled
        RECT r;
        GetClientRect(d, &r), MapWindowPoints(d, 0, reinterpret_cast<POINT*>(&r), 2);
        app::DoEvents();
        const Shot shot;
        std::vector<std::uint32_t> pixels;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) pixels.push_back(shot(x, y));
        return pixels;
    };
    std::vector<std::uint32_t> fresh;
    {
        frmConfig form;
        form.pop();
        HWND d = FindWindowExA(0, 0, kDialog, 0);
        WaitFor([&] { return (fresh = settled(d)) == settled(d); }, 5000);
        DestroyWindow(d);
    }
    frmConfig form;
    form.pop();
    HWND d = FindWindowExA(0, 0, kDialog, 0), ok = GetDlgItem(d, IDOK);
    const auto font = [&] { LOGFONTW f{}; GetObjectW(HGDIOBJ(SendMessageW(ok, WM_GETFONT, 0, 0)), sizeof f, &f); return f.lfHeight; };
    const LONG before = font();
    RECT original, suggested{10, 20, 510, 800}, frame, r;
    GetWindowRect(d, &original);
    SendMessageW(d, WM_DPICHANGED, MAKEWPARAM(192, 192), LPARAM(&suggested));
    GetWindowRect(d, &frame), GetWindowRect(ok, &r), MapWindowPoints(0, d, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_TRUE(EqualRect(&frame, &suggested) && font() == 2 * before) << font() << " after " << before;
    EXPECT_EQ(std::tuple(r.left, r.top, r.right, r.bottom), std::tuple(336, 680, 466, 730));  // 2520, 5100, 975 x 375 twips
    app::DoEvents();  // painted large
    SendMessageW(d, WM_DPICHANGED, MAKEWPARAM(96, 96), LPARAM(&original));
    std::vector<std::uint32_t> now;
    WaitFor([&] { return (now = settled(d)) == fresh; }, 5000);
    ASSERT_EQ(now.size(), fresh.size());
    EXPECT_EQ(std::ranges::count_if(std::views::iota(std::size_t{0}, now.size()), [&](auto i) { return now[i] != fresh[i]; }), 0)
        << "pixels unlike a dialog just opened";
    DestroyWindow(d), app::UseDpi(0);
}

// And a key that may only be read: Ok says it cannot save, and the dialog stays for Esc.
TEST(Dialog, CancelEscAndTheCloseBoxChangeNothingEvenAfterACornerClick) {
    const Snapshot stored = {{L"transvalue", Dw(40)}, {L"imagename", Sz(L"C:\\k.bmp")}};
    for (int way = 0; way < 5; ++way) {
        Session g(way % 2 ? stored : Snapshot{}, "/c", way == 3);
        ClickOn(g[kCorner1]); ClickOn(g[kOpaque]);
        if (way == 3) Keys({'O'}, true), Answer(g.Window({"#32770"}), true);
        EXPECT_TRUE(IsWindowVisible(g.d));
        if (way == 0) Keys({'C'}, true);  // Alt+C: "&Cancel"
        if (way == 2) PostMessageW(g.d, WM_SYSCOMMAND, SC_CLOSE, 0);  // what the close box sends
        if (way == 1 || way == 3) Keys({VK_ESCAPE});
        if (way == 4) SendMessageTimeoutW(g.d, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, nullptr);
        EXPECT_TRUE(g.Exited());
        EXPECT_EQ(Read(), way % 2 ? stored : kNoKey) << "way " << way;
    }
}

TEST(Dialog, ChoosersStartFromTheStoredValuesAndTheirChoicesShowAndAreStored) {
    Session g({{L"formcolor", Dw(0x00102030)}});
    RECT box;
    GetWindowRect(g[kColourBox], &box);
    EXPECT_EQ(Shot().Off(box, 0x302010), 0) << "the colour box, edge to edge";
    for (bool ok : {false, true}) {
        HWND chooser = g.Open(kColourChange);
        for (int i = 0; i < 3; ++i) {  // red, green, blue: shown when the chooser opens fully
            HWND edit = GetDlgItem(chooser, 706 + i);
            EXPECT_TRUE(IsWindowVisible(edit) && Text(edit) == std::to_wstring(0x30 - 16 * i)) << 706 + i;
            SetWindowTextW(edit, std::to_wstring(10 + 10 * i).c_str());
        }
        Answer(chooser, ok);
        EXPECT_EQ(Shot().Off(box, ok ? 0x0A141E : 0x302010), 0) << "after " << (ok ? "Ok" : "Cancel");
    }
    // The caption-less picture option opens the picture chooser; cancelled, "(None)" is chosen
    // again and takes the focus, so coming back to the window opens nothing, where Windows
    // clicks an option button that gets the focus (sent here as Windows sends it).
    Answer(g.Open(kPicture), false);
    EXPECT_EQ(g.State(), L"16 50% Transparent | 0 off greyed | '' none | corner 0");
    HWND focus = Focus(g.d);
    EXPECT_EQ(focus, g[kPictureNone]);
    if ((GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK) == BS_RADIOBUTTON && !SendMessageW(focus, BM_GETCHECK, 0, 0))
        SendMessageTimeoutW(g.d, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED), LPARAM(focus), SMTO_NORMAL,
                            3000, nullptr);  // returns at once unless a chooser opens
    const std::vector<HWND> reopened = Windows(g.pi.dwProcessId, {"#32770"});
    EXPECT_TRUE(reopened.empty()) << "the picture chooser opened again";
    for (HWND chooser : reopened) Answer(chooser, false);
    HWND chooser = g.Open(kPictureChange);
    SetWindowTextW(GetDlgItem(chooser, 1148), DataPath("quadrants.gif").c_str());  // the file name box
    Answer(chooser, true);
    EXPECT_EQ(g.State(), L"16 50% Transparent | 0 off greyed | 'quadrants.gif' picture | corner 0");
    ClickOn(g[kPictureNone]); g.Ok();
    EXPECT_EQ(std::pair(Read()[L"formcolor"], Read()[L"imagename"]), std::pair(Dw(0x001E140A), Sz(L"")));
}

// However long the name, the dialog shows at once.
TEST(Faults, LongNameOutsideAsciiShowsShortenedAndSurvivesOk) {
    std::wstring file;
    while (file.size() < 200000) file += L"\u00E9t\u00E9-\u65E5\u672C-\u041C\u043E\u0441\u043A\u0432\u0430-\U0001F600-";
    const auto name = Sz(L"C:\\Bilder\\" + file + L".jpg");
    Session g({{L"imagename", name}});
    // Shortened by whole characters: the start of the file name (at least one), then "...".
    const std::wstring shown = Text(g[kPicture]);
    EXPECT_EQ(file.substr(0, std::max<std::size_t>(shown.size(), 4) - 3) + L"...", shown);
    g.Ok();
    EXPECT_EQ(Read()[L"imagename"], name);
}

// ======== In process: the registry routines against advapi32

// The process's open handles, asked after one by one (Wine counts none).
int OpenHandles() {
    int open = 0;
    DWORD flags = 0;
    for (ULONG_PTR h = 4; h < 8192; h += 4) open += GetHandleInformation(HANDLE(h), &flags) != 0;
    return open;
}

// Each value as text, nothing written and no key left open; and a REG_SZ that another program
// rewrites between the size query and the data query reads whole or empty.
TEST(Registry, ReadSettingGivesStoredValuesAsTextAlsoWhenTheyChangeWhileRead) {
    const std::map<std::wstring, std::pair<Snapshot::mapped_type, std::string>> cases = {
        {L"minus", {Dw(0xFFFFFFFF), "-1"}}, {L"short", {{REG_DWORD, {0x34, 0x12}}, "4660"}},
        {L"long", {{REG_DWORD, {1, 0, 0, 0, 0}}, ""}}, {L"nonul", {Sz(L"abc", false), "abc"}},
        {L"inner", {Sz(std::wstring(L"a\0c", 3)), "a"}},
        {L"sizezero", {{REG_SZ, {}}, ""}}, {L"binary", {{REG_BINARY, {'7', 0}}, ""}},
        {L"expand", {{REG_EXPAND_SZ, Sz(L"7").second}, ""}}, {L"multi", {{REG_MULTI_SZ, Sz(L"7").second}, ""}}};
    const auto read = [](const std::wstring& name) {
        return Reg::ReadSetting(HKEY_CURRENT_USER, "Software\\Velumbra", std::string(name.begin(), name.end()));
    };
    Store({});
    for (const auto& [name, c] : cases) Put({{name, c.first}});
    const Snapshot before = Read();
    const int handles = OpenHandles();
    for (const auto& [name, c] : cases) EXPECT_EQ(read(name), c.second) << name;
    EXPECT_EQ(read(L"missing") + Reg::ReadSetting(HKEY_CURRENT_USER, "Software\\VelumbraAbsent", "minus"), "");
    EXPECT_EQ(Read(), before);
    std::atomic<bool> done = false;
    std::thread writer([&] { for (int i = 0; !done; ++i) Put({{L"grows", Sz(i % 2 ? L"a" : std::wstring(199, L'b'))}}); });
    int empty = 0, wrong = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string text = read(L"grows");
        empty += text.empty();
        wrong += !(text.empty() || text == "a" || text == std::string(199, 'b'));
    }
    done = true;
    writer.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(OpenHandles(), handles) << "key handles left open";
    std::printf("[ info ] %d of 3000 reads met a value that grew\n", empty);
}

// ======== In process: picture files the codecs and the saver's own checks must refuse or read

// The picture in the bytes, drawn at its own size on a client area of 256 x 256 pixels: what of it
// lies there, or nothing; `size` tells the size it showed at.
std::optional<DrawnPicture> Load(const Bytes& data, SIZE* size = nullptr) {
    const std::wstring path = Scratch(L"velumbra-fuzz.pic", data);
    const std::atomic<bool> carryOn = false;
    return LoadPicture(path, [&](int w, int h) {
        if (size) *size = {w, h};
        return std::optional<PixelRect>({0, 0, w, h});
    }, {256, 256}, 0, carryOn);
}

TEST(Pictures, MutatedFilesLoadSanelyOrAreRefused) {
    // A crash fails the program; a hang runs into ctest's time limit. The seed is fixed;
    // VELUMBRA_FUZZ_SEED sets another.
    const char* seed = std::getenv("VELUMBRA_FUZZ_SEED");
    std::mt19937_64 rng(seed && *seed ? std::strtoull(seed, nullptr, 0) : 20241206);
    const auto in = [&](std::size_t low, std::size_t high) { return std::uniform_int_distribution<std::size_t>(low, high)(rng); };
    const std::uint32_t extremes[] = {0, 1, 0xFFFF, 0x8000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 65536};
    int tried = 0, failed = 0, loaded = 0;
    for (const char* name : {"quadrants.bmp", "wide.bmp", "quadrants.jpg", "quadrants.gif", "icon.ico", "png256.ico"}) {
        for (int n = 0; n < 80; ++n, ++tried) {
            // Cut short, bytes changed, or a 32-bit field set to an extreme; half the changes in the
            // first 128 bytes, where the headers are.
            Bytes data = ReadData(name);
            const auto where = [&] { return in(0, (in(0, 1) ? 128 : data.size()) - 4); };
            if (n % 3 == 0) data.resize(in(1, data.size() - 1));
            for (int i = n % 3 == 1 ? int(in(1, 8)) : 0; i > 0; --i) data[where()] = BYTE(in(0, 255));
            for (std::size_t at = where(), i = 0, v = extremes[in(0, 7)]; n % 3 == 2 && i < 4; ++i) data[at + i] = BYTE(v >> 8 * i);
            SIZE size{};
            const auto drawn = Load(data, &size);
            const PixelRect want{0, 0, std::min<int>(size.cx, 256), std::min<int>(size.cy, 256)};
            loaded += drawn.has_value();
            if (drawn && !(drawn->bitmap && drawn->at == want) && ++failed <= 5)
                ADD_FAILURE() << name << " mutant " << n << " drawn at " << drawn->at.right << 'x' << drawn->at.bottom;
        }
    }
    EXPECT_GT(loaded, tried / 10) << "hardly any mutant loaded: the fuzzing reaches no decoder";
    std::printf("[ report ] picture fuzz of seed %s, files: %d tried, %d failed\n", seed && *seed ? seed : "20241206", tried, failed);
}

// In process: the decoding thread tells the window how it went, a picture or none, and it alone
// enters COM (the window's thread stays out of the multithreaded apartment).
TEST(Pictures, TheDecodingThreadTellsTheWindowEachTime) {
    for (const std::wstring& path : {DataPath("quadrants.bmp"), DataPath("no such picture.bmp")}) {
        std::thread([&] {
            HWND window = CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
            auto cancelled = std::make_shared<std::atomic<bool>>(false);
            const std::string ansi(path.begin(), path.end());
            ASSERT_TRUE(StartPictureJob({ansi, false, {1024, 768}, 15, 0, window, 7, cancelled}));
            MSG m{};
            const bool told = WaitFor([&] { return PeekMessageW(&m, window, kPictureDone, kPictureDone, PM_REMOVE); }, 10000);
            ASSERT_TRUE(told) << "nothing said of " << ansi;
            const std::unique_ptr<PictureOutcome> outcome(reinterpret_cast<PictureOutcome*>(m.lParam));
            EXPECT_EQ(outcome->generation, 7u);
            EXPECT_EQ(outcome->drawn.has_value(), path == DataPath("quadrants.bmp")) << ansi;
            APTTYPE type;
            APTTYPEQUALIFIER qualifier;
            EXPECT_EQ(CoGetApartmentType(&type, &qualifier), CO_E_NOTINITIALIZED);
            DestroyWindow(window);
        }).join();
    }
}

// No size limit but memory: bitmaps of one colour, run-length encoded and ended at once, so any
// size takes a few bytes; a terabyte is too much.
TEST(Pictures, PicturesBeyondMemoryAreRefused) {
    const auto bitmap = [](std::uint32_t width, std::uint32_t height) {
        Bytes file = {'B', 'M'};
        for (std::uint32_t field : {64u, 0u, 62u, 40u, width, height, 8u << 16 | 1u, 1u /* BI_RLE8 */, 2u, 0u, 0u, 2u,
                                    0u, 0x00FF0000u, 0x000000FFu})
            file.insert(file.end(), {BYTE(field), BYTE(field >> 8), BYTE(field >> 16), BYTE(field >> 24)});
        file.insert(file.end(), {0, 1});  // end of bitmap
        return file;
    };
    SIZE size{};
    EXPECT_TRUE(Load(bitmap(8193, 8193), &size).has_value());
    EXPECT_EQ(size.cx, 8193);
    EXPECT_FALSE(Load(bitmap(1 << 19, 1 << 19)).has_value());
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // The program built beside these tests, or the one named (an installed one, say).
    g_scr = argc > 1 ? std::wstring(argv[1], argv[1] + strlen(argv[1])) : Folder() + L"..\\Velumbra.scr";
    const auto wine = reinterpret_cast<const char* (*)()>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version")));
    std::printf("[ info ] %s\n", wine ? (std::string("under Wine ") + wine()).c_str() : "natively on Windows");
    const int status = RUN_ALL_TESTS();
    // One line for scripts/test: the fault scenarios tried and failed.
    for (int i = 0; const auto* s = testing::UnitTest::GetInstance()->GetTestSuite(i); ++i)
        if (std::string(s->name()) == "Faults" && s->test_to_run_count())
            std::printf("[ report ] end-to-end fault scenarios: %d tried, %d failed\n", s->test_to_run_count(),
                        s->failed_test_count());
    return status;
}
