#include "screen/frmMain.h"

#include <windowsx.h>

#include "platform/dpi.h"
#include "platform/event_loop.h"
#include "pure/numbers.h"
#include "pure/settings_record.h"
#include "screen/picture_job.h"

namespace {

// The timers: the fade's ticks, and a look, a moment after the activation went, whether it went for
// good (while the window first appears the system may take it away and give it back).
constexpr UINT_PTR kFadeTimer = 1, kActivationCheck = 2;
constexpr UINT kActivationCheckMs = 250;
constexpr std::uint8_t kOpaque = 255;

bool OnPicture(const std::optional<PictureFit>& img, float x, float y) {
    return img && x >= img->left && x < img->left + img->width && y >= img->top && y < img->top + img->height;
}

}  // namespace

frmMain::frmMain() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = FormProc<frmMain, DefWindowProcA>;
    wc.hInstance = GetModuleHandleA(nullptr);
    // No class cursor: the pointer is hidden the whole time, so showing it again on the way
    // out costs nothing.
    wc.lpszClassName = "Velumbra_frmMain";
    // A tool window: no taskbar button.
    RegisterClassA(&wc);  // failing, so does the window
    if (!CreateWindowExA(WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance,
                         this))
        app::EndProgram(app::kNoWindow);
}

void frmMain::doSS() {
    const settings::SettingsRecord& s = settings::Current();
    backColor_ = static_cast<COLORREF>(s.formcolor);
    CoverScreen();
    // Layered and given its alpha before it first shows, so no frame of it is ever drawn opaque.
    curAlpha = static_cast<std::uint8_t>(kOpaque - static_cast<std::uint8_t>(s.transvalue));
    SetWindowLongA(window_, GWL_EXSTYLE, GetWindowLongA(window_, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(window_, 0, curAlpha, LWA_ALPHA);
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    ShowCursor(FALSE);
    if (s.opaquetime > 0 && curAlpha < kOpaque) {
        tmrOpaque = SetUpFade(s.opaquetime, s.transvalue);
        SetTimer(window_, kFadeTimer, static_cast<UINT>(tmrOpaque.interval), nullptr);
    }
    shown_ = true;
}

LRESULT frmMain::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: Form_KeyDown(); return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL: ButtonPressed(lParam); return 0;
        case WM_MOUSEMOVE: PointerMoved(lParam); return 0;
        case WM_TIMER: TimerElapsed(wParam); return 0;
        case WM_ACTIVATEAPP: ActivationChanged(wParam != FALSE); break;
        case WM_DISPLAYCHANGE: DisplayChanged(); return 0;
        case kPictureDone: PictureDone(lParam); return 0;
        case WM_ERASEBKGND: return 1;  // the paint covers every pixel
        case WM_PAINT: Paint(); return 0;
        case WM_SYSCOMMAND:
            // Already saving the screen: the system's idle request needs nothing more.
            if ((wParam & 0xFFF0) == SC_SCREENSAVE) return 0;
            break;
        default: break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

void frmMain::ButtonPressed(LPARAM at) {
    const float x = static_cast<float>(GET_X_LPARAM(at)) * twipsPerPixel_;
    const float y = static_cast<float>(GET_Y_LPARAM(at)) * twipsPerPixel_;
    if (OnPicture(img, x, y))
        img_MouseDown();
    else
        Form_MouseDown();
}

void frmMain::PointerMoved(LPARAM at) {
    const float x = static_cast<float>(GET_X_LPARAM(at)) * twipsPerPixel_;
    const float y = static_cast<float>(GET_Y_LPARAM(at)) * twipsPerPixel_;
    if (OnPicture(img, x, y))
        img_MouseMove(x - img->left, y - img->top);
    else
        Form_MouseMove(x, y);
}

void frmMain::TimerElapsed(WPARAM timer) {
    if (timer == kFadeTimer) tmrOpaque_Timer();
    if (timer != kActivationCheck) return;
    KillTimer(window_, kActivationCheck);
    if (GetForegroundWindow() != window_) Form_Unload();
}

// Another window took the activation, and with it the keys that would end the screen.
void frmMain::ActivationChanged(bool active) {
    if (!active && shown_) SetTimer(window_, kActivationCheck, kActivationCheckMs, nullptr);
}

// A new screen size: the window follows it, as a maximised one does, and the picture is placed
// anew by the same rules, also when it was still being decoded for the old size.
void frmMain::DisplayChanged() {
    CoverScreen();
    if (!pictureCancelled_) return;
    img.reset();
    drawn_.reset();
    InvalidateRect(window_, nullptr, FALSE);
    StartPicture();
}

void frmMain::PictureDone(LPARAM outcome) {
    const std::unique_ptr<PictureOutcome> done(reinterpret_cast<PictureOutcome*>(outcome));
    --picturesDecoding_;
    if (done->generation != pictureRequest_ || !done->drawn) return;  // replaced, or no picture
    img = done->fit;
    drawn_ = std::move(done->drawn);
    InvalidateRect(window_, nullptr, FALSE);
}

void frmMain::Paint() {
    // The picture file is not even opened before the screen has shown its tint.
    if (!pictureCancelled_ && !settings::Current().imagename.empty()) StartPicture();
    const Painting paint(window_);
    if (drawn_) {  // scaled and laid over the back colour once; every repaint only copies it
        const PixelRect& at = drawn_->at;
        const MemoryDC memory(CreateCompatibleDC(paint.get()));
        const Selected picture(memory.get(), drawn_->bitmap.get());
        BitBlt(paint.get(), at.left, at.top, at.Width(), at.Height(), memory.get(), 0, 0, SRCCOPY);
        ExcludeClipRect(paint.get(), at.left, at.top, at.right, at.bottom);
    }
    RECT client;
    GetClientRect(window_, &client);
    const Gdi<HBRUSH> back(CreateSolidBrush(backColor_ & 0xFFFFFF));
    FillRect(paint.get(), &client, back.get());
}

// Maximised: a window without a frame covers the primary screen, which starts at (0, 0), at the
// screen's resolution.
void frmMain::CoverScreen() {
    SetWindowPos(window_, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    twipsPerPixel_ = num::TwipsPerPixel(app::WindowDpi(window_));
}

// The picture is read, placed and decoded on a thread of its own; a request replaces any before it.
void frmMain::StartPicture() {
    if (pictureCancelled_) *pictureCancelled_ = true;
    pictureCancelled_ = std::make_shared<std::atomic<bool>>(false);
    const settings::SettingsRecord& s = settings::Current();
    RECT client;
    GetClientRect(window_, &client);
    PictureJob job{s.imagename,       s.imagestretch != 0, {client.right, client.bottom},
                   twipsPerPixel_,    backColor_,          window_,
                   ++pictureRequest_, pictureCancelled_};
    if (StartPictureJob(std::move(job))) ++picturesDecoding_;  // else the tint alone
}

void frmMain::tmrOpaque_Timer() {
    if (curAlpha == kOpaque) {
        KillTimer(window_, kFadeTimer);
    } else {
        curAlpha = NextAlpha(curAlpha, tmrOpaque.step);
        SetLayeredWindowAttributes(window_, 0, curAlpha, LWA_ALPHA);
    }
    // Input waiting now (a key, a click) is handled before the next tick.
    app::DoEvents();
}

// Any key with any modifiers, and any button, ends the screen.
void frmMain::Form_KeyDown() { Form_Unload(); }
void frmMain::Form_MouseDown() { Form_Unload(); }
void frmMain::img_MouseDown() { Form_Unload(); }

void frmMain::Form_MouseMove(float x, float y) {
    if (!pointer_.Moved(x, y)) return;
    ShowWindow(window_, SW_HIDE);
    Form_Unload();
}

// The picture's events come relative to it; the filter counts in the form's coordinates.
void frmMain::img_MouseMove(float x, float y) { Form_MouseMove(img->left + x, img->top + y); }

// Every way out comes here: out of the topmost band, the pointer shown again, the process ended.
void frmMain::Form_Unload() {
    SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    ShowCursor(TRUE);
    // A picture may still be decoding: its thread, stopped anywhere, may hold a lock that the
    // libraries' unload code would wait for, so end without running it.
    if (picturesDecoding_ > 0) TerminateProcess(GetCurrentProcess(), app::kEnded);
    app::EndProgram(app::kEnded);
}
