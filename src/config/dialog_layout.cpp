#include "config/dialog_layout.h"

#include <algorithm>

#include "platform/dpi.h"
#include "platform/event_loop.h"
#include "pure/numbers.h"

namespace dialog {

namespace {

// A kind of control: its window class and style; WS_TABSTOP where it takes the focus.
struct Kind {
    const char* windowClass;
    DWORD style;
    DWORD exStyle;
};
constexpr Kind kFrame{"BUTTON", BS_GROUPBOX, 0};
constexpr Kind kOption{"BUTTON", BS_RADIOBUTTON, 0};  // selected by the form, which raises Click
constexpr Kind kCheck{"BUTTON", BS_CHECKBOX | WS_TABSTOP, 0};
constexpr Kind kButton{"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
constexpr Kind kText{"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
constexpr Kind kScroll{"SCROLLBAR", SBS_HORZ | WS_TABSTOP, 0};
constexpr Kind kLabel{"STATIC", SS_LEFT, 0};
constexpr Kind kShape{"STATIC", SS_OWNERDRAW, 0};  // the colour box, filled by the form

// The dialog as designed, in tab order: the controls that take the focus first, then labels
// and the colour box, frames last so nothing hides behind them. Lengths in twips, from the
// top-left corner of the container: the window (0), or the frame named.
struct Row {
    int id;
    const Kind& kind;
    int frame;
    const char* text;
    int left, top, width, height;
    DWORD style;
};
constexpr int idPictureFrame = idFrame3 + PictureFrame, idCornerFrame = idFrame3 + CornerFrame;
constexpr Row kLayout[] = {
    {idCommand1 + ColourChooser, kButton, idFrame1, "C&hange", 1200, 240, 1575, 375, 0},
    {idVarTrans, kScroll, idFrame2, "", 120, 240, 2655, 255, 0},
    {IDOK, kButton, 0, "&Ok", 2520, 5100, 975, 375, BS_DEFPUSHBUTTON},
    {IDCANCEL, kButton, 0, "&Cancel", 1320, 5100, 975, 375, 0},
    {idAbout, kButton, 0, "&About", 120, 5100, 975, 375, 0},
    {idChkOpaque, kCheck, idFrame2, "Transition to Opaque", 120, 960, 2175, 255, 0},
    {idTxtFadeTime, kText, idFrame2, "0", 960, 1260, 675, 285, 0},
    {idCommand1 + PictureChooser, kButton, idPictureFrame, "Cha&nge", 120, 600, 1095, 375, 0},
    {idChkStretch, kCheck, idPictureFrame, "Stretch Image", 1380, 660, 1455, 255, 0},
    // Each option group is one run of buttons; Tab stops at the selected one, or the first.
    {kOptImage.first + PictureOption, kOption, idPictureFrame, "", 120, 240, 1695, 255, 0},
    {kOptImage.first + NoPicture, kOption, idPictureFrame, "(None)", 1860, 240, 975, 255, WS_TABSTOP},
    {kOptDisable.first + 4, kOption, idCornerFrame, "", 420, 300, 255, 255, WS_TABSTOP},  // the grid
    {kOptDisable.first + 1, kOption, idCornerFrame, "", 420, 660, 255, 255, 0},
    {kOptDisable.first + 2, kOption, idCornerFrame, "", 840, 300, 255, 255, 0},
    {kOptDisable.first + 3, kOption, idCornerFrame, "", 840, 660, 255, 255, 0},
    {kOptDisable.first + 0, kOption, idCornerFrame, "(None)", 1320, 480, 1095, 255, 0},
    {idLblTrans, kLabel, idFrame2, "50% Transparent", 240, 600, 2415, 255, SS_CENTER},
    {idLabel1, kLabel, idFrame2, "Seconds", 1740, 1320, 975, 255, 0},
    {idBoxColor, kShape, idFrame1, "", 120, 240, 855, 375, 0},
    {idCornerFrame, kFrame, 0, "Disabling Corner", 360, 3900, 2895, 1035, 0},
    {idPictureFrame, kFrame, 0, "Background Image", 360, 2760, 2895, 1035, 0},
    {idFrame2, kFrame, 0, "Alpha Transparency", 360, 960, 2895, 1695, 0},
    {idFrame1, kFrame, 0, "Fade to Color", 360, 120, 2895, 735, 0},
};
constexpr int kClientWidth = 3615, kClientHeight = 5565;
constexpr DWORD kStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

int Pixels(int twips, int dpi) { return num::TwipsToPixels(static_cast<float>(twips), dpi); }

}  // namespace

HWND CreateDialogWindow(WNDPROC proc, void* form) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    // Run by the dialog manager, so Tab, Esc, Enter and Alt with a letter work as in any dialog.
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "Velumbra_frmConfig";
    RegisterClassA(&wc);  // failing, so does the window
    HWND dialog =
        CreateWindowExA(kExStyle, wc.lpszClassName, kCaption, kStyle, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, form);
    if (!dialog) app::EndProgram(app::kNoWindow);
    constexpr int kIcons[][3] = {{ICON_BIG, SM_CXICON, SM_CYICON}, {ICON_SMALL, SM_CXSMICON, SM_CYSMICON}};
    for (const auto& [which, cx, cy] : kIcons) {
        HANDLE icon =
            LoadImageA(wc.hInstance, MAKEINTRESOURCEA(1), IMAGE_ICON, GetSystemMetrics(cx), GetSystemMetrics(cy), 0);
        SendMessageA(dialog, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    }
    // The client area as designed at the window's resolution, centred on the primary screen's
    // work area, but never above or left of it.
    const int dpi = app::WindowDpi(dialog);
    RECT frame{0, 0, Pixels(kClientWidth, dpi), Pixels(kClientHeight, dpi)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const int left = work.left + std::max(0, static_cast<int>(work.right - work.left - width) / 2);
    const int top = work.top + std::max(0, static_cast<int>(work.bottom - work.top - height) / 2);
    SetWindowPos(dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return dialog;
}

void CreateControls(HWND dialog) {
    const Row* previous = nullptr;
    for (const Row& row : kLayout) {
        // Every control opens a group for the dialog's arrow keys, but for an option button
        // that continues the one before it.
        const bool continues =
            &row.kind == &kOption && previous != nullptr && &previous->kind == &kOption && previous->frame == row.frame;
        const DWORD style =
            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | row.kind.style | row.style | (continues ? 0 : WS_GROUP);
        CreateWindowExA(row.kind.exStyle, row.kind.windowClass, row.text, style, 0, 0, 0, 0, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), nullptr, nullptr);
        previous = &row;
    }
}

Gdi<HFONT> LayOut(HWND dialog, int dpi) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    Gdi<HFONT> font;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        // Given at the system's resolution.
        metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, app::SystemDpi());
        font = Gdi<HFONT>(CreateFontIndirectA(&metrics.lfMessageFont));
    }
    for (const Row& row : kLayout) {
        const PixelRect frame = row.frame ? Place(row.frame) : PixelRect{0, 0, 0, 0};
        HWND control = GetDlgItem(dialog, row.id);
        SetWindowPos(control, nullptr, Pixels(frame.left + row.left, dpi), Pixels(frame.top + row.top, dpi),
                     Pixels(row.width, dpi), Pixels(row.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    return font;
}

PixelRect Place(int id) {
    const Row& row = *std::ranges::find(kLayout, id, &Row::id);
    return {row.left, row.top, row.left + row.width, row.top + row.height};
}

}  // namespace dialog
