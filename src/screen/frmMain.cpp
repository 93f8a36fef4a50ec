#include "screen/frmMain.h"

#include <windowsx.h>

#include <new>
#include <thread>

#include "platform/app.h"
#include "settings/settings.h"

namespace {

constexpr UINT_PTR kFadeTimer = 1;
// A moment after the activation went, whether it went for good: while the window first
// appears the system may take it away and give it back.
constexpr UINT_PTR kActivationCheck = 2;
constexpr UINT kActivationCheckMs = 250;
// The picture, decoded beside the window, is ready to draw: lParam owns a DrawnPicture.
constexpr UINT kPictureDrawn = WM_APP + 1;

}  // namespace

frmMain::frmMain() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = FormProc<frmMain>;
    wc.hInstance = GetModuleHandleA(nullptr);
    // No class cursor: the pointer is hidden the whole time, so showing it again on the way
    // out costs nothing.
    wc.lpszClassName = "Velumbra_frmMain";
    RegisterClassA(&wc);
    // A tool window: no taskbar button.
    CreateWindowExA(WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance,
                    this);
}

void frmMain::doSS() {
    const settings::SettingsRecord& s = settings::Current();
    BackColor = static_cast<COLORREF>(s.formcolor);
    CoverScreen();
    app::UseDpiOf(hWnd);  // the primary screen's
    if (!s.imagename.empty()) ShowPicture(s.imagename, s.imagestretch != 0);
    // Layered and given its alpha before it first shows, so no frame of it is ever drawn opaque.
    curAlpha = static_cast<std::uint8_t>(255 - static_cast<std::uint8_t>(s.transvalue));
    const LONG exStyle = GetWindowLongA(hWnd, GWL_EXSTYLE);
    SetWindowLongA(hWnd, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    SetLayeredWindowAttributes(hWnd, 0, curAlpha, LWA_ALPHA);
    ShowWindow(hWnd, SW_SHOW);
    SetForegroundWindow(hWnd);
    SetWindowPos(hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    ShowCursor(FALSE);
    if (s.opaquetime > 0 && curAlpha < 255) {
        const FadeSetup fade = SetUpFade(s.opaquetime, s.transvalue);
        tmrOpaque.Interval = fade.interval;
        tmrOpaque.Tag = fade.tag;
        SetTimer(hWnd, kFadeTimer, static_cast<UINT>(tmrOpaque.Interval), nullptr);
    }
    shown_ = true;
    if (img.Picture) DecodePicture();
}

void frmMain::ShowPicture(const std::string& path, bool stretch) {
    std::optional<PictureFile> picture = OpenPicture(path);
    if (!picture) return;  // no picture: the tint alone
    // Its own size in twips at the screen's resolution; sizes beyond 32 bits would overflow
    // the placement, and such a picture counts as one that did not load.
    const float width = static_cast<float>(picture->width) * app::TwipsPerPixelX();
    const float height = static_cast<float>(picture->height) * app::TwipsPerPixelY();
    constexpr float kLimit = 2147483648.0f;
    if (!(width < kLimit && height < kLimit)) return;
    const PictureFit fit = FitPicture(width, height, app::ScreenWidth(), app::ScreenHeight(), stretch);
    img = {fit.left, fit.top, fit.width, fit.height, std::move(picture)};
}

// Maximised: a window without a frame covers the primary screen, which starts at (0, 0).
void frmMain::CoverScreen() {
    SetWindowPos(hWnd, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// The screen shows first, with its tint; the picture follows once decoded. Only the decoding
// runs on a thread of its own: the bitmap comes back to the window's thread as a message.
void frmMain::DecodePicture() {
    const int left = app::PixelsX(img.Left), top = app::PixelsY(img.Top);
    const RECT place{left, top, left + app::PixelsX(img.Width), top + app::PixelsY(img.Height)};
    RECT client;
    GetClientRect(hWnd, &client);
    decoding_ = true;
    std::thread([file = *img.Picture, place, client = SIZE{client.right, client.bottom}, back = BackColor,
                 window = hWnd] {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);  // the window's input first
        try {  // memory a picture of absurd proportions asks for and cannot have: the tint alone
            if (auto drawn = DrawPicture(file, place, client, back))
                PostMessageA(window, kPictureDrawn, 0, reinterpret_cast<LPARAM>(new DrawnPicture(std::move(*drawn))));
        } catch (const std::bad_alloc&) {
        }
    }).detach();
}

bool frmMain::OnPicture(float x, float y) const {
    return img.Picture && x >= img.Left && x < img.Left + img.Width && y >= img.Top && y < img.Top + img.Height;
}

LRESULT frmMain::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const auto x = [&] { return static_cast<float>(GET_X_LPARAM(lParam)) * app::TwipsPerPixelX(); };
    const auto y = [&] { return static_cast<float>(GET_Y_LPARAM(lParam)) * app::TwipsPerPixelY(); };
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: Form_KeyDown(); return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL:
            if (OnPicture(x(), y())) img_MouseDown(); else Form_MouseDown();
            return 0;
        case WM_MOUSEMOVE:
            if (OnPicture(x(), y())) img_MouseMove(x() - img.Left, y() - img.Top); else Form_MouseMove(x(), y());
            return 0;
        case WM_TIMER:
            if (wParam == kFadeTimer) tmrOpaque_Timer();
            if (wParam == kActivationCheck) {
                KillTimer(hWnd, kActivationCheck);
                if (GetForegroundWindow() != hWnd) Form_Unload();
            }
            return 0;
        // A new screen size: the window follows it, as a maximised one does; the picture stays put.
        case WM_DISPLAYCHANGE: CoverScreen(); return 0;
        // Another window took the activation, and with it the keys that would end the screen.
        case WM_ACTIVATEAPP:
            if (!wParam && shown_) SetTimer(hWnd, kActivationCheck, kActivationCheckMs, nullptr);
            break;
        case kPictureDrawn:
            decoding_ = false;
            drawn_.reset(reinterpret_cast<DrawnPicture*>(lParam));
            InvalidateRect(hWnd, nullptr, FALSE);
            return 0;
        case WM_ERASEBKGND: return 1;  // the paint covers every pixel
        case WM_PAINT: OnPaint(); return 0;
        case WM_SYSCOMMAND:
            // Already saving the screen: the system's idle request needs nothing more.
            if ((wParam & 0xFFF0) == SC_SCREENSAVE) return 0;
            break;
        default: break;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

void frmMain::OnPaint() {
    const Painting paint(hWnd);
    if (drawn_) {  // scaled and laid over the back colour once; every repaint only copies it
        const RECT& at = drawn_->at;
        const MemoryDC memory(CreateCompatibleDC(paint.get()));
        const Selected picture(memory.get(), drawn_->bitmap.get());
        BitBlt(paint.get(), at.left, at.top, at.right - at.left, at.bottom - at.top, memory.get(), 0, 0, SRCCOPY);
        ExcludeClipRect(paint.get(), at.left, at.top, at.right, at.bottom);
    }
    RECT client;
    GetClientRect(hWnd, &client);
    const Gdi<HBRUSH> back(CreateSolidBrush(BackColor & 0xFFFFFF));
    FillRect(paint.get(), &client, back.get());
}

void frmMain::tmrOpaque_Timer() {
    if (curAlpha == 255) {
        KillTimer(hWnd, kFadeTimer);
    } else {
        curAlpha = NextAlpha(curAlpha, tmrOpaque.Tag);
        SetLayeredWindowAttributes(hWnd, 0, curAlpha, LWA_ALPHA);
    }
    // Input waiting now (a key, a click) is handled before the next tick.
    app::DoEvents();
}

// Any key with any modifiers, and any button, ends the screen.
void frmMain::Form_KeyDown() { Form_Unload(); }
void frmMain::Form_MouseDown() { Form_Unload(); }
void frmMain::img_MouseDown() { Form_Unload(); }

void frmMain::Form_MouseMove(float x, float y) {
    if (pointer.Moved(x, y)) {
        ShowWindow(hWnd, SW_HIDE);
        Form_Unload();
    }
}

// The picture's events come relative to it; the filter counts in the form's coordinates.
void frmMain::img_MouseMove(float x, float y) { Form_MouseMove(img.Left + x, img.Top + y); }

void frmMain::Form_Unload() {
    SetWindowPos(hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    ShowCursor(TRUE);
    // A picture may still be decoding: its thread, stopped anywhere, may hold a lock that the
    // libraries' unload code would wait for, so end without running it.
    if (decoding_) TerminateProcess(GetCurrentProcess(), 0);
    app::EndProgram();
}
