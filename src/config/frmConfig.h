// Form frmConfig: the settings dialog. pop fills its controls from the settings and shows it;
// "&Ok" saves all six settings; every way out ends the process.
//
// The form's own names (config/dialog_layout.h lays its controls out):
//   pop                fills the controls from the settings and shows the dialog
//   Command1(0), (1)   the "Change" buttons: the colour chooser, the picture chooser
//   Command2(0..2)     the buttons below: "&About", "&Ok", "&Cancel"
//   optImage(0), (1)   the picture option, captioned with the file name, and its "(None)"
//   optDisable(0..4)   the corner options, by the corner setting: "(None)" and the 2 x 2 grid
//   chkStretch         "Stretch Image"; chkOpaque "Transition to Opaque"
//   txtFadeTime        the fade time in seconds; varTrans the transparency bar, lblTrans its label
//   boxColor           the colour box; cmd the common dialog that shows both choosers
//   FitImageCaption    shortens the picture's file name to fit its option button
//   *_Click, *_Change, *_KeyPress, Form_Unload: the handlers of the controls' and the form's events
#pragma once

#include "config/dialog_layout.h"
#include "platform/choosers.h"
#include "platform/win.h"
#include "pure/dialog_rules.h"

class frmConfig : Pinned {
public:
    // The window and its controls exist as designed, hidden; none of the form's code has run.
    // When Windows gives no window, the process ends at once with a failure status.
    frmConfig();

    // Fills the controls from the settings and shows the dialog; returns at once.
    void pop();

private:
    friend LRESULT CALLBACK FormProc<frmConfig, DefDlgProcA>(HWND, UINT, WPARAM, LPARAM);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    void Command1_Click(int index);
    void Command2_Click(int index);
    void optImage_Click(int index);
    void optDisable_Click(int index);
    void chkOpaque_Click();
    void txtFadeTime_KeyPress(int& keyAscii);
    void varTrans_Change();
    [[noreturn]] void Form_Unload();
    void FitImageCaption();

    // What the window's messages do.
    void Clicked(int id);
    void Scrolled(int code, int position);
    void ResolutionChanged(int dpi, const RECT& suggested);
    void SaveAndClose();

    // The controls' state, as the handlers see it (dialog_controls.cpp). A value set by code
    // raises the same event as the user's click or scroll, when it changes.
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    bool Checked(int id) const;
    void SetCheck(int id, bool checked);
    void Select(dialog::OptionGroup group, int index);
    int ScrollValue() const;
    void SetScrollValue(int value);
    void SetFillColor(COLORREF color);
    // Keys for the fade time and the option buttons pass the form first.
    void Subclass();
    static LRESULT CALLBACK FadeTimeProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK OptionProc(HWND option, UINT message, WPARAM wParam, LPARAM lParam);
    void MoveByPlace(int id, Arrow arrow);

    HWND window_ = nullptr;
    int dpi_ = 0;  // the resolution the dialog is laid out at: its screen's
    Gdi<HFONT> font_;
    COLORREF fillColor_ = 0;  // boxColor's fill colour
    CommonDialog cmd;
    WNDPROC editProc_ = nullptr, optionProc_ = nullptr;
    // Counts caption fits; a fit that sees a newer one start while it yields gives way to it.
    unsigned fitGeneration_ = 0;
};
