#include "screen/frmMain.h"

#include "platform/application.h"
#include "platform/numbers.h"
#include "platform/window_services.h"
#include "settings/settings.h"

using platform::WindowServices;

PictureFit FitPicture(float pw, float ph, float sw, float sh, bool stretch) {
    float w = pw;
    float h = ph;
    bool fullHeight = false;
    if (stretch) {
        const float r = pw / ph;
        const float s = sw / sh;
        fullHeight = s > r;  // the screen is relatively wider: bars left and right
        if (fullHeight) {
            h = sh;
            w = h * r;
        } else {
            w = sw;
            h = w / r;
        }
    }
    return PictureFit{w, h, CentreOffset(sw, w), CentreOffset(sh, h), fullHeight};
}

float CentreOffset(float screen, float size) {
    const float leftover = screen - size;
    return static_cast<float>(num::ToInt32(leftover) / 2);
}

FadeSetup SetUpFade(std::int32_t opaquetime, std::int32_t transvalue) {
    // Milliseconds per alpha unit; saturates at the timer's maximum for huge fade times.
    std::int32_t interval = num::ToInt32(static_cast<double>(opaquetime) / static_cast<double>(transvalue) * 1000.0);
    std::string tag = "1";
    if (interval < 100) {
        // Several units per tick instead, so no tick comes sooner than 100 ms.
        tag = num::FormatDouble(100.0 / interval + 1.0);
        interval = num::ToInt32(num::ParseNumber(tag).value_or(1.0) * interval);
    }
    return FadeSetup{interval, tag};
}

bool PointerFilter::Moved(float x, float y) {
    const std::int32_t xi = num::ToInt32(x);
    const std::int32_t yi = num::ToInt32(y);
    if (xi == lastX && yi == lastY) {
        moveCount = 0;
    } else {
        lastX = xi;
        lastY = yi;
        if (moveCount < 5) ++moveCount;
    }
    return moveCount > 4;
}

frmMain::frmMain() : forms::Form("frmMain"), tmrOpaque(*this, "tmrOpaque"), img(*this, "img") {
    Move(0, 0, 4680, 3195);
    border = Border::None;
    showInTaskbar = false;
    tmrOpaque.SetInterval(1000);
    img.Move(0, 0, 3555, 2295);

    OnKeyDown = [this](std::int16_t key, std::int16_t shift) { Form_KeyDown(key, shift); };
    OnMouseDown = [this](std::int16_t b, std::int16_t s, float x, float y) { Form_MouseDown(b, s, x, y); };
    OnMouseMove = [this](std::int16_t b, std::int16_t s, float x, float y) { Form_MouseMove(b, s, x, y); };
    OnUnload = [this](std::int16_t& cancel) { Form_Unload(cancel); };
    img.OnMouseDown = [this](std::int16_t b, std::int16_t s, float x, float y) { img_MouseDown(b, s, x, y); };
    img.OnMouseMove = [this](std::int16_t b, std::int16_t s, float x, float y) { img_MouseMove(b, s, x, y); };
    tmrOpaque.OnTimer = [this] { tmrOpaque_Timer(); };
}

void frmMain::doSS() {
    const settings::SettingsRecord& s = settings::Current();
    SetBackColor(static_cast<COLORREF>(s.formcolor));
    SetWindowState(kMaximized);

    if (!s.imagename.empty()) {
        bool loadFailed = false;
        try {
            img.SetPicture(forms::LoadPicture(s.imagename));
        } catch (const std::exception&) {
            loadFailed = true;  // no picture: the tint alone
        }
        if (!loadFailed) {
            platform::IScreen& screen = platform::Screen();
            const float sw = screen.Width();
            const float sh = screen.Height();
            const PictureFit fit = FitPicture(img.Width(), img.Height(), sw, sh, s.imagestretch != 0);
            if (s.imagestretch != 0) {
                img.SetStretch(true);
                if (fit.fullHeight) {
                    img.SetHeight(fit.height);
                    img.SetWidth(fit.width);
                } else {
                    img.SetWidth(fit.width);
                    img.SetHeight(fit.height);
                }
            }
            img.SetTop(fit.top);
            img.SetLeft(fit.left);
        }
    }

    Show();
    WindowServices().SetWindowPos(hWnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    WindowServices().ShowCursor(0);
    curAlpha = static_cast<std::uint8_t>(255 - static_cast<std::uint8_t>(s.transvalue));
    if (s.opaquetime > 0 && curAlpha < 255) {
        const FadeSetup fade = SetUpFade(s.opaquetime, s.transvalue);
        tmrOpaque.SetInterval(fade.interval);
        tmrOpaque.SetTag(fade.tag);
        tmrOpaque.SetEnabled(true);
    }
    const LONG exStyle = WindowServices().GetWindowLongA(hWnd(), GWL_EXSTYLE);
    WindowServices().SetWindowLongA(hWnd(), GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    WindowServices().SetLayeredWindowAttributes(hWnd(), 0, curAlpha, LWA_ALPHA);
}

void frmMain::tmrOpaque_Timer() {
    if (curAlpha == 255) {
        tmrOpaque.SetEnabled(false);
    } else {
        const double step = num::ParseNumber(tmrOpaque.Tag()).value_or(1.0);
        if (curAlpha + num::ToInt16(step) > 255)
            curAlpha = 255;
        else
            curAlpha = static_cast<std::uint8_t>(curAlpha + num::ToByte(step));
        WindowServices().SetLayeredWindowAttributes(hWnd(), 0, curAlpha, LWA_ALPHA);
    }
    // Input waiting now (a key, a click) is handled before the next tick.
    forms::DoEvents();
}

void frmMain::Form_KeyDown(std::int16_t, std::int16_t) { Unload(); }

void frmMain::Form_MouseDown(std::int16_t, std::int16_t, float, float) { Unload(); }

void frmMain::img_MouseDown(std::int16_t, std::int16_t, float, float) { Unload(); }

void frmMain::Form_MouseMove(std::int16_t, std::int16_t, float x, float y) {
    if (pointer.Moved(x, y)) {
        Hide();
        Unload();
    }
}

void frmMain::img_MouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
    Form_MouseMove(button, shift, img.Left() + x, img.Top() + y);
}

void frmMain::Form_Unload(std::int16_t&) {
    WindowServices().SetWindowPos(hWnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    WindowServices().ShowCursor(-1);
    platform::EndProgram();
}
