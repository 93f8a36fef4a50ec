// Form frmMain: the dimming screen. One borderless, topmost, layered window over the primary
// screen, tinted with the chosen colour, optionally with a centred picture and a fade to
// opaque; a key, a click or a run of real pointer movement ends it.
//
// The form's own names:
//   doSS              sets the screen up from the settings and shows it
//   img               the picture control: where the background picture lies, in twips
//   tmrOpaque         the fade timer (its interval and the step each tick adds)
//   curAlpha          the window's alpha now: 0 lets the desktop through, 255 covers it
//   Form_*, img_*     the handlers of the form's and the picture's events; tmrOpaque_Timer the tick
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/picture.h"
#include "platform/win.h"
#include "pure/saver_rules.h"

class frmMain : Pinned {
public:
    // The window exists, hidden; none of the form's code has run. When Windows gives no window,
    // the process ends at once with a failure status.
    frmMain();

    // Sets the screen up from the settings and shows it; returns at once.
    void doSS();

private:
    friend LRESULT CALLBACK FormProc<frmMain, DefWindowProcA>(HWND, UINT, WPARAM, LPARAM);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    void Form_KeyDown();
    void Form_MouseDown();
    void Form_MouseMove(float x, float y);
    [[noreturn]] void Form_Unload();
    void img_MouseDown();
    void img_MouseMove(float x, float y);
    void tmrOpaque_Timer();

    // What the window's messages do.
    void ButtonPressed(LPARAM at);
    void PointerMoved(LPARAM at);
    void TimerElapsed(WPARAM timer);
    void ActivationChanged(bool active);
    void DisplayChanged();
    void PictureDone(LPARAM outcome);
    void Paint();

    void CoverScreen();
    void StartPicture();

    HWND window_ = nullptr;
    COLORREF backColor_ = 0;
    float twipsPerPixel_ = 15;
    std::optional<PictureFit> img;  // present once the picture shows
    FadeSetup tmrOpaque{};
    std::uint8_t curAlpha = 0;
    PointerFilter pointer_;
    bool shown_ = false;  // set up and shown: a loss of the activation now counts
    // The picture, decoded beside the window: the latest request, the requests not yet done
    // (a thread stopped anywhere may hold a lock), and the picture over the back colour.
    unsigned pictureRequest_ = 0;
    int picturesDecoding_ = 0;
    std::shared_ptr<std::atomic<bool>> pictureCancelled_;
    std::optional<DrawnPicture> drawn_;
};
