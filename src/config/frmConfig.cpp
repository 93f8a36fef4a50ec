#include "config/frmConfig.h"

#include <commdlg.h>

#include <algorithm>
#include <iterator>

#include "platform/dpi.h"
#include "platform/event_loop.h"
#include "platform/version.h"
#include "pure/numbers.h"
#include "pure/settings_record.h"
#include "settings/store.h"

using namespace dialog;

namespace {

// OFN_READONLY | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST |
// OFN_DONTADDTORECENT: no read-only box, only an existing file, the current folder left as
// it was, nothing added to the recent documents.
constexpr DWORD kOpenFlags =
    OFN_READONLY | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_DONTADDTORECENT;
// CC_RGBINIT | CC_FULLOPEN: start from Color, with the custom colours open.
constexpr DWORD kColourFlags = CC_RGBINIT | CC_FULLOPEN;

NextChar ActiveCodePage() {
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8) return NextUtf8;
    return DoubleByte([codePage](unsigned char byte) { return IsDBCSLeadByteEx(codePage, byte) != FALSE; });
}

// The colour box: filled solid, no outline.
void PaintColourBox(const DRAWITEMSTRUCT& item, COLORREF color) {
    const Gdi<HBRUSH> brush(CreateSolidBrush(color));
    FillRect(item.hDC, &item.rcItem, brush.get());
}

}  // namespace

frmConfig::frmConfig() {
    CreateDialogWindow(FormProc<frmConfig, DefDlgProcA>, this);
    CreateControls(window_);
    dpi_ = app::WindowDpi(window_);
    font_ = LayOut(window_, dpi_);
    // Enter presses "&Ok" from every control but another push button.
    SendMessageA(window_, DM_SETDEFID, IDOK, 0);
    // Further design settings; no handler runs for them.
    SendMessageA(Item(kOptImage.first + NoPicture), BM_SETCHECK, BST_CHECKED, 0);
    SetScrollRange(Item(idVarTrans), SB_CTL, 0, kScrollMax, FALSE);
    SendMessageA(Item(idTxtFadeTime), EM_LIMITTEXT, kFadeTimeLength, 0);
    Subclass();
    cmd.Filter = kPictureFilter;
}

void frmConfig::pop() {
    const settings::SettingsRecord& s = settings::Current();
    SetFillColor(static_cast<COLORREF>(s.formcolor));
    SetScrollValue(num::ToInt16(s.transvalue / kTransparencyStep));
    varTrans_Change();  // the label in any case, also when the value stayed
    SetWindowTextA(Item(idTxtFadeTime), std::to_string(num::Magnitude(s.opaquetime)).c_str());
    SetCheck(idChkOpaque, s.opaquetime > 0);
    EnableWindow(Item(idTxtFadeTime), s.opaquetime > 0);
    if (!s.imagename.empty()) {
        FitImageCaption();
        Select(kOptImage, PictureOption);
    }
    if (s.imagestretch != 0) SetCheck(idChkStretch, true);
    Select(kOptDisable, s.disablecorner);
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetNextDlgTabItem(window_, nullptr, FALSE)), TRUE);
}

LRESULT frmConfig::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) Clicked(LOWORD(wParam));
            return 0;
        case WM_HSCROLL: Scrolled(LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_DPICHANGED: ResolutionChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam)); return 0;
        case WM_DRAWITEM: PaintColourBox(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), fillColor_); return TRUE;
        default: return DefDlgProcA(window_, message, wParam, lParam);
    }
}

void frmConfig::Clicked(int id) {
    const auto command2 = std::ranges::find(kCommand2Ids, id);
    if (command2 != std::end(kCommand2Ids)) Command2_Click(static_cast<int>(command2 - std::begin(kCommand2Ids)));
    if (id == idCommand1 + ColourChooser || id == idCommand1 + PictureChooser) Command1_Click(id - idCommand1);
    if (kOptImage.Holds(id)) Select(kOptImage, id - kOptImage.first);
    if (kOptDisable.Holds(id)) Select(kOptDisable, id - kOptDisable.first);
    if (id == idChkOpaque || id == idChkStretch) SetCheck(id, !Checked(id));
}

void frmConfig::Scrolled(int code, int position) {
    int value = ScrollValue();
    switch (code) {
        case SB_LINELEFT: value -= kScrollLine; break;
        case SB_LINERIGHT: value += kScrollLine; break;
        case SB_PAGELEFT: value -= kScrollPage; break;
        case SB_PAGERIGHT: value += kScrollPage; break;
        case SB_LEFT: value = 0; break;
        case SB_RIGHT: value = kScrollMax; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: value = position; break;
        default: return;
    }
    SetScrollValue(std::clamp(value, 0, kScrollMax));
}

// Moved to a screen of another scale, or the scale changed: the rectangle Windows suggests, and
// everything laid out, fitted and painted anew at the new resolution.
void frmConfig::ResolutionChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The font the controls used before goes once they have the new one.
    font_ = LayOut(window_, dpi_);
    if (GetWindowTextLengthA(Item(kOptImage.first + PictureOption)) > 0) FitImageCaption();
    // Text and frames drawn at the old size would stay where nothing new covers them.
    RedrawWindow(window_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void frmConfig::varTrans_Change() {
    SetWindowTextA(Item(idLblTrans), TransparencyLabel(ScrollValue(), kScrollMax).c_str());
}

void frmConfig::chkOpaque_Click() { EnableWindow(Item(idTxtFadeTime), Checked(idChkOpaque)); }

void frmConfig::optDisable_Click(int index) { settings::Current().disablecorner = static_cast<std::int16_t>(index); }

void frmConfig::txtFadeTime_KeyPress(int& keyAscii) {
    if (keyAscii < '0' || keyAscii > '9') {
        MessageBeep(MB_OK);
        keyAscii = 0;
    }
}

void frmConfig::optImage_Click(int index) {
    // The picture option without a picture named asks for one.
    if (index != PictureOption || GetWindowTextLengthA(Item(kOptImage.first + PictureOption)) > 0) return;
    Command1_Click(PictureChooser);
    if (GetWindowTextLengthA(Item(kOptImage.first + PictureOption)) > 0) return;
    // None chosen: "(None)" again, and the focus with it, off the option that opens the chooser.
    Select(kOptImage, NoPicture);
    SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(kOptImage.first + NoPicture)), TRUE);
}

void frmConfig::Command1_Click(int index) {
    if (index == ColourChooser) {
        cmd.Flags = kColourFlags;
        cmd.Color = fillColor_;
        if (cmd.ShowColor(window_)) SetFillColor(cmd.Color);
    } else if (index == PictureChooser) {
        cmd.Flags = kOpenFlags;
        cmd.FileName = settings::Current().imagename;
        if (!cmd.ShowOpen(window_)) return;
        settings::Current().imagename = cmd.FileName;
        FitImageCaption();
        Select(kOptImage, PictureOption);
    }
}

void frmConfig::Command2_Click(int index) {
    if (index == Ok) SaveAndClose();
    if (index == Cancel) Form_Unload();
    if (index != About) return;
    const app::Version v = app::ProgramVersion();
    const std::string title = "Velumbra " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
                              std::to_string(v.revision) + " for Win2K";
    MessageBoxA(window_, kAboutText, title.c_str(), MB_ICONINFORMATION | MB_OK);
}

void frmConfig::SaveAndClose() {
    HWND box = Item(idTxtFadeTime);
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(box)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(box, text.data(), static_cast<int>(text.size()))));
    const auto seconds = FadeSeconds(text);
    if (!seconds) {
        // Text pasted past the key filter: refuse it and show where the fault is. The dialog
        // manager selects the box's whole text as it takes the focus, to be typed over.
        MessageBeep(MB_OK);
        HWND focus = IsWindowEnabled(box) ? box : Item(idChkOpaque);
        SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
        return;
    }
    const settings::SettingsRecord& s = settings::Current();
    if (settings::SaveSettings(static_cast<std::int32_t>(fillColor_), ScrollValue() * kTransparencyStep,
                               Checked(idChkOpaque) ? *seconds : -*seconds,
                               Checked(kOptImage.first + NoPicture) ? std::string() : s.imagename,
                               Checked(idChkStretch) ? -1 : 0, s.disablecorner))
        Form_Unload();
    // Not saved: say so, and leave the choices in the dialog to try again or to cancel.
    MessageBoxA(window_, kNotSaved, kCaption, MB_ICONWARNING | MB_OK);
}

void frmConfig::Form_Unload() { app::EndProgram(); }

void frmConfig::FitImageCaption() {
    const std::string name = FileNamePart(settings::Current().imagename, ActiveCodePage());
    const unsigned generation = ++fitGeneration_;
    const float room = static_cast<float>(Place(kOptImage.first + PictureOption).Width()) - kOptionMarkWidth;
    const auto yield = [&] {
        app::DoEvents();
        return generation == fitGeneration_;  // a newer fit began meanwhile: its caption stands
    };
    const auto most = static_cast<std::size_t>(std::max(0, num::TwipsToPixels(room, dpi_)));
    const auto fits = [&](const std::string& s) {  // in the dialog's font
        const WindowDC dc(window_);
        const Selected font(dc.get(), font_.get());
        SIZE size{};
        GetTextExtentPoint32A(dc.get(), s.c_str(), static_cast<int>(s.size()), &size);
        return room >= static_cast<float>(size.cx) * num::TwipsPerPixel(dpi_);
    };
    const auto caption = FitCaption(name, fits, yield, ActiveCodePage(), most);
    if (!caption) return;
    // A file name shows its "&" as it is, not as an access key.
    std::string shown;
    for (char c : *caption) shown += c == '&' ? "&&" : std::string(1, c);
    SetWindowTextA(Item(kOptImage.first + PictureOption), shown.c_str());
}
