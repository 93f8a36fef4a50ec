// The dialog's controls as its handlers see them: their values, set by code, raise the same events
// as the user's clicks and scrolls; typed keys pass the form first.
#include <vector>

#include "config/frmConfig.h"

using namespace dialog;

bool frmConfig::Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void frmConfig::SetCheck(int id, bool checked) {
    if (Checked(id) == checked) return;
    SendMessageA(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (id == idChkOpaque) chkOpaque_Click();
}

void frmConfig::Select(OptionGroup group, int index) {
    if (Checked(group.first + index)) return;
    // Tab stops at the selected button of a group.
    for (int i = 0; i < group.count; ++i) {
        HWND option = Item(group.first + i);
        SendMessageA(option, BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
        const LONG style = GetWindowLongA(option, GWL_STYLE);
        SetWindowLongA(option, GWL_STYLE, i == index ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
    if (group.first == kOptImage.first) optImage_Click(index);
    if (group.first == kOptDisable.first) optDisable_Click(index);
}

int frmConfig::ScrollValue() const { return GetScrollPos(Item(idVarTrans), SB_CTL); }

void frmConfig::SetScrollValue(int value) {
    if (ScrollValue() == value) return;
    SetScrollPos(Item(idVarTrans), SB_CTL, value, TRUE);
    varTrans_Change();
}

void frmConfig::SetFillColor(COLORREF color) {
    fillColor_ = color;
    InvalidateRect(Item(idBoxColor), nullptr, TRUE);
}

void frmConfig::Subclass() {
    const auto subclass = [this](int id, WNDPROC proc) {
        SetWindowLongPtrA(Item(id), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return reinterpret_cast<WNDPROC>(SetWindowLongPtrA(Item(id), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
    };
    editProc_ = subclass(idTxtFadeTime, &frmConfig::FadeTimeProc);
    // Option buttons are selected by a click, Space or an arrow key (which moves by place), never
    // by the focus alone, as Windows would by itself.
    for (const OptionGroup group : {kOptImage, kOptDisable})
        for (int id = group.first; id < group.first + group.count; ++id) {
            SendMessageA(Item(id), BM_SETDONTCLICK, TRUE, 0);
            optionProc_ = subclass(id, &frmConfig::OptionProc);
        }
}

// Every character typed into the fade time passes its key filter first.
LRESULT CALLBACK frmConfig::FadeTimeProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<frmConfig*>(GetWindowLongPtrA(edit, GWLP_USERDATA));
    if (message == WM_CHAR) {
        int code = static_cast<int>(wParam);
        form->txtFadeTime_KeyPress(code);
        if (code == 0) return 0;  // discarded
        wParam = static_cast<WPARAM>(code);
    }
    return CallWindowProcA(form->editProc_, edit, message, wParam, lParam);
}

LRESULT CALLBACK frmConfig::OptionProc(HWND option, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<frmConfig*>(GetWindowLongPtrA(option, GWLP_USERDATA));
    const LRESULT result = CallWindowProcA(form->optionProc_, option, message, wParam, lParam);
    if (message == WM_GETDLGCODE) return result | DLGC_WANTARROWS;  // the arrows move by place, below
    // The arrow keys' codes run left, up, right, down, as Arrow does.
    if (message == WM_KEYDOWN && wParam >= VK_LEFT && wParam <= VK_DOWN)
        form->MoveByPlace(GetDlgCtrlID(option), static_cast<Arrow>(wParam - VK_LEFT));
    return result;
}

void frmConfig::MoveByPlace(int id, Arrow arrow) {
    const OptionGroup group = kOptImage.Holds(id) ? kOptImage : kOptDisable;
    std::vector<PixelRect> places;
    for (int i = 0; i < group.count; ++i) places.push_back(Place(group.first + i));
    Select(group, NextByPlace(places, id - group.first, arrow));
    // The focus goes with the selection, which a chooser cancelled may have taken back.
    for (int i = 0; i < group.count; ++i)
        if (Checked(group.first + i))
            SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(group.first + i)), TRUE);
}
