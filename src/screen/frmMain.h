// Form frmMain: the dimming screen. One borderless, topmost, layered window over the primary
// screen, tinted with the chosen colour, optionally with a centred picture and a fade to
// opaque; a key, a click or a run of real pointer movement ends it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/picture.h"
#include "platform/win.h"
#include "screen/saver_rules.h"

class frmMain {
public:
    // The window exists, hidden; none of the form's code has run.
    frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Sets the screen up from the settings and shows it; returns at once.
    void doSS();

private:
    friend LRESULT CALLBACK FormProc<frmMain>(HWND, UINT, WPARAM, LPARAM);
    static LRESULT Default(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void CoverScreen();
    void ShowPicture(const std::string& path, bool stretch);
    void DecodePicture();
    bool OnPicture(float x, float y) const;

    void Form_KeyDown();
    void Form_MouseDown();
    void Form_MouseMove(float x, float y);
    [[noreturn]] void Form_Unload();
    void img_MouseDown();
    void img_MouseMove(float x, float y);
    void tmrOpaque_Timer();

    HWND hWnd = nullptr;
    COLORREF BackColor = 0;
    // The fade timer: its interval, and the step it adds, as text.
    struct {
        std::int32_t Interval = 1000;
        std::string Tag;
    } tmrOpaque;
    // The picture control: geometry in twips of the client area.
    struct {
        float Left = 0, Top = 0, Width = 0, Height = 0;
        std::optional<PictureFile> Picture;
    } img;
    std::uint8_t curAlpha = 0;
    PointerFilter pointer;
    bool shown_ = false;     // set up and shown: a loss of the activation now counts
    bool decoding_ = false;  // a thread decodes the picture (or failed to, and said nothing)
    std::unique_ptr<DrawnPicture> drawn_;  // the picture over the back colour, once decoded
};
