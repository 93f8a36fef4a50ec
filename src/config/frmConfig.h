// Form frmConfig: the settings dialog. Its controls are made from one layout table; pop fills
// them from the settings and shows the window, "&Ok" saves all six settings.
#pragma once

#include <string>

#include "config/dialog_rules.h"
#include "platform/choosers.h"
#include "platform/win.h"

class frmConfig {
public:
    // The window and its controls exist as designed, hidden; none of the form's code has run.
    frmConfig();
    frmConfig(const frmConfig&) = delete;
    frmConfig& operator=(const frmConfig&) = delete;

    // Fills the controls from the settings and shows the dialog; returns at once.
    void pop();

private:
    friend LRESULT CALLBACK FormProc<frmConfig>(HWND, UINT, WPARAM, LPARAM);
    static LRESULT Default(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        return DefDlgProcA(hwnd, message, wParam, lParam);
    }
    void CreateDialogWindow();
    void CreateControls();
    void Layout();
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK FadeTimeProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK OptionProc(HWND option, UINT message, WPARAM wParam, LPARAM lParam);
    void MoveByPlace(int id, Arrow arrow);
    void OnClick(int id);
    void OnScroll(int code, int position);

    void Command1_Click(int index);
    void Command2_Click(int index);
    void optImage_Click(int index);
    void optDisable_Click(int index);
    void chkOpaque_Click();
    void txtFadeTime_KeyPress(int& keyAscii);
    void varTrans_Change();
    [[noreturn]] void Form_Unload();

    void SaveAndClose();
    void FitImageCaption(const std::string& name);

    // The controls' state, as the handlers see it. Setting a value by code raises the same
    // event as the user's click or scroll, when the value changes.
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    bool Checked(int id) const;
    void SetCheck(int id, bool checked);
    void Select(int firstId, int count, int index);
    int ScrollValue() const;
    void SetScrollValue(int value);
    void SetFillColor(COLORREF color);
    float TextWidth(const std::string& text) const;

    HWND window_ = nullptr;
    Gdi<HFONT> font_;
    COLORREF fillColor_ = 0;  // boxColor's FillColor
    CommonDialog cmd;
    WNDPROC editProc_ = nullptr;
    WNDPROC optionProc_ = nullptr;
    // Counts caption fits; a fit that sees a newer one start while it yields gives way to it.
    unsigned fitGeneration_ = 0;
};
