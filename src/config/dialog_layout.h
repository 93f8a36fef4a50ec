// The settings dialog as designed: its controls' ids, kinds, captions and places in twips, the
// window and controls made from them, and the dialog's texts.
#pragma once

#include "platform/win.h"
#include "pure/pixel_rect.h"

namespace dialog {

// Control ids. An array's elements have consecutive ids from its first, so an id less the first
// is the element's index; but Command2's, whose "&Ok" is IDOK (Enter presses it) and "&Cancel"
// IDCANCEL (Esc presses it). No control has id 0, the dialog manager's "no default button".
enum Command1Index { ColourChooser, PictureChooser };
enum Command2Index { About, Ok, Cancel };
enum OptImageIndex { PictureOption, NoPicture };
enum Frame3Index { PictureFrame, CornerFrame };
constexpr int idAbout = 3, idCommand1 = 10;
constexpr int kCommand2Ids[] = {idAbout, IDOK, IDCANCEL};
constexpr int idChkStretch = 40, idChkOpaque = 41, idTxtFadeTime = 42, idVarTrans = 43, idLblTrans = 44;
constexpr int idLabel1 = 45, idBoxColor = 46, idFrame1 = 50, idFrame2 = 51, idFrame3 = 52;

// An option group: its buttons' first id and their count; the index of the selected one is the value.
struct OptionGroup {
    int first, count;
    bool Holds(int id) const { return id >= first && id < first + count; }
};
// The picture options, and the corner options by the corner setting: none, bottom-left, top-right, ...
constexpr OptionGroup kOptImage{20, 2}, kOptDisable{30, 5};

constexpr int kScrollMax = 31, kScrollLine = 1, kScrollPage = 4;
constexpr int kTransparencyStep = 8;  // transvalue per step of the scroll bar
constexpr int kFadeTimeLength = 6;
// The part of the picture option's width taken by its selection mark, in twips.
constexpr float kOptionMarkWidth = 315.0f;

inline constexpr const char* kCaption = "Configure Velumbra";
inline constexpr const char* kPictureFilter =
    "All Images|*.bmp;*.jpg;*.gif;*.ico|Bitmaps (*.bmp)|*.bmp|JPEGs (*.jpg)|*.jpg|GIFs (*.gif)|*.gif|"
    "Icons (*.ico)|*.ico|All Files|*.*";
inline constexpr const char* kAboutText =
    "Velumbra dims your screen instead of hiding it. Written with care by the Velumbra team.\n\n"
    "velumbra@example.org\nhttps://velumbra.example.org/";
inline constexpr const char* kNotSaved =
    "Windows did not let Velumbra save your settings: you may not change them on this computer.";

// The dialog's window, hidden, its client area as designed at its resolution and centred on the
// work area, of a class whose window procedure is `proc`, `form` in its creation parameters, run
// by the dialog manager. Ends the process when Windows gives no window.
HWND CreateDialogWindow(WNDPROC proc, void* form);
// Its controls, in tab order.
void CreateControls(HWND dialog);
// Places the controls at a resolution, in the message font at that resolution: the font, to be
// kept while the controls use it.
Gdi<HFONT> LayOut(HWND dialog, int dpi);
// Where a control lies, in twips from its container's top-left corner.
PixelRect Place(int id);

}  // namespace dialog
