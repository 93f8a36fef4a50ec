#include "config/frmConfig.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "config/dialog_rules.h"
#include "platform/app.h"
#include "platform/numbers.h"
#include "settings/settings.h"

namespace {

// Control ids. The elements of a control array have consecutive ids from the array's first,
// so an id less the first is the element's index; but Command2's, whose "&Ok" is IDOK (Enter
// presses it) and "&Cancel" IDCANCEL (Esc presses it). No control has id 0, the dialog
// manager's "no default button".
constexpr int idAbout = 3;
constexpr int kCommand2Ids[] = {idAbout, IDOK, IDCANCEL};
constexpr int idCommand1 = 10;
constexpr int idOptImage = 20;
constexpr int idOptDisable = 30;  // 30 + disablecorner
constexpr int idChkStretch = 40, idChkOpaque = 41, idTxtFadeTime = 42, idVarTrans = 43, idLblTrans = 44,
              idLabel1 = 45, idBoxColor = 46;
constexpr int idFrame1 = 50, idFrame2 = 51, idFrame3 = 52;  // Frame3 is an array of two
enum Command1Index { ColourChooser, PictureChooser };
enum Command2Index { About, Ok, Cancel };
constexpr int idOk = kCommand2Ids[Ok], idCancel = kCommand2Ids[Cancel];
enum OptImageIndex { PictureOption, NoPicture };

enum class Kind { Frame, Option, Check, Button, Text, Scroll, Label, Shape };

// Per kind of control: its window class and style.
struct KindInfo {
    const char* windowClass;
    DWORD style;
    DWORD exStyle;
};
constexpr KindInfo kKinds[] = {
    {"BUTTON", BS_GROUPBOX, 0},
    {"BUTTON", BS_RADIOBUTTON, 0},  // selected by the form, which raises Click
    {"BUTTON", BS_CHECKBOX | WS_TABSTOP, 0},
    {"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0},
    {"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE},
    {"SCROLLBAR", SBS_HORZ | WS_TABSTOP, 0},
    {"STATIC", SS_LEFT, 0},
    {"STATIC", SS_OWNERDRAW, 0},  // the colour box, filled by the form
};

// The dialog as designed, in tab order: the controls that take the focus first, then labels
// and the colour box, frames last so nothing hides behind them. Lengths in twips, from the
// top-left corner of the container: the window, or the frame named.
struct Row {
    int id;
    Kind kind;
    int frame;  // 0: the window
    const char* text;
    int left, top, width, height;
    DWORD style;
};
constexpr Row kLayout[] = {
    {idCommand1 + ColourChooser, Kind::Button, idFrame1, "C&hange", 1200, 240, 1575, 375, 0},
    {idVarTrans, Kind::Scroll, idFrame2, "", 120, 240, 2655, 255, 0},
    {idOk, Kind::Button, 0, "&Ok", 2520, 5100, 975, 375, BS_DEFPUSHBUTTON},
    {idCancel, Kind::Button, 0, "&Cancel", 1320, 5100, 975, 375, 0},
    {idAbout, Kind::Button, 0, "&About", 120, 5100, 975, 375, 0},
    {idChkOpaque, Kind::Check, idFrame2, "Transition to Opaque", 120, 960, 2175, 255, 0},
    {idTxtFadeTime, Kind::Text, idFrame2, "0", 960, 1260, 675, 285, 0},
    {idCommand1 + PictureChooser, Kind::Button, idFrame3, "Cha&nge", 120, 600, 1095, 375, 0},
    {idChkStretch, Kind::Check, idFrame3, "Stretch Image", 1380, 660, 1455, 255, 0},
    // Each option group is one run of buttons; Tab stops at the selected one, or the first.
    {idOptImage + PictureOption, Kind::Option, idFrame3, "", 120, 240, 1695, 255, 0},
    {idOptImage + NoPicture, Kind::Option, idFrame3, "(None)", 1860, 240, 975, 255, WS_TABSTOP},
    {idOptDisable + 4, Kind::Option, idFrame3 + 1, "", 420, 300, 255, 255, WS_TABSTOP},  // the corners, 2 by 2
    {idOptDisable + 1, Kind::Option, idFrame3 + 1, "", 420, 660, 255, 255, 0},
    {idOptDisable + 2, Kind::Option, idFrame3 + 1, "", 840, 300, 255, 255, 0},
    {idOptDisable + 3, Kind::Option, idFrame3 + 1, "", 840, 660, 255, 255, 0},
    {idOptDisable + 0, Kind::Option, idFrame3 + 1, "(None)", 1320, 480, 1095, 255, 0},
    {idLblTrans, Kind::Label, idFrame2, "50% Transparent", 240, 600, 2415, 255, SS_CENTER},
    {idLabel1, Kind::Label, idFrame2, "Seconds", 1740, 1320, 975, 255, 0},
    {idBoxColor, Kind::Shape, idFrame1, "", 120, 240, 855, 375, 0},
    {idFrame3 + 1, Kind::Frame, 0, "Disabling Corner", 360, 3900, 2895, 1035, 0},
    {idFrame3, Kind::Frame, 0, "Background Image", 360, 2760, 2895, 1035, 0},
    {idFrame2, Kind::Frame, 0, "Alpha Transparency", 360, 960, 2895, 1695, 0},
    {idFrame1, Kind::Frame, 0, "Fade to Color", 360, 120, 2895, 735, 0},
};

constexpr int kClientWidth = 3615, kClientHeight = 5565;
constexpr int kScrollMax = 31, kScrollLine = 1, kScrollPage = 4;
constexpr int kFadeTimeLength = 6;
// The part of the picture option's width taken by its selection mark.
constexpr float kOptionMarkWidth = 315.0f;

// OFN_READONLY | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST |
// OFN_DONTADDTORECENT: no read-only box, only an existing file, the current folder left as
// it was, nothing added to the recent documents.
constexpr DWORD kOpenFlags = OFN_READONLY | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                             OFN_FILEMUSTEXIST | OFN_DONTADDTORECENT;
const char* const kPictureFilter =
    "All Images|*.bmp;*.jpg;*.gif;*.ico|Bitmaps (*.bmp)|*.bmp|JPEGs (*.jpg)|*.jpg|GIFs (*.gif)|*.gif|"
    "Icons (*.ico)|*.ico|All Files|*.*";

const char* const kCredit = "Velumbra dims your screen instead of hiding it. Written with care by the Velumbra team.";
const char* const kContact = "velumbra@example.org";
const char* const kWeb = "https://velumbra.example.org/";
const char* const kNotSaved =
    "Windows did not let Velumbra save your settings: you may not change them on this computer.";

const Row& RowOf(int id) {
    return *std::find_if(std::begin(kLayout), std::end(kLayout), [id](const Row& row) { return row.id == id; });
}


NextChar ActiveCodePage() {
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8) return NextUtf8;
    return DoubleByte([codePage](unsigned char byte) { return IsDBCSLeadByteEx(codePage, byte) != FALSE; });
}

std::string WindowText(HWND window) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

frmConfig::frmConfig() {
    CreateDialogWindow();
    CreateControls();
    // Enter presses "&Ok" from every control but another push button.
    SendMessageA(window_, DM_SETDEFID, idOk, 0);
    // Further design settings; no handler runs for them.
    SendMessageA(Item(idOptImage + NoPicture), BM_SETCHECK, BST_CHECKED, 0);
    SetScrollRange(Item(idVarTrans), SB_CTL, 0, kScrollMax, FALSE);
    HWND fadeTime = Item(idTxtFadeTime);
    SendMessageA(fadeTime, EM_LIMITTEXT, kFadeTimeLength, 0);
    // Every character typed into the fade time passes its key filter first.
    SetWindowLongPtrA(fadeTime, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    editProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(fadeTime, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&frmConfig::FadeTimeProc)));
    // Option buttons are selected by a click, Space or an arrow key (which moves by place), never
    // by the focus alone, as Windows would by itself.
    for (const Row& row : kLayout) {
        if (row.kind != Kind::Option) continue;
        HWND option = Item(row.id);
        SendMessageA(option, BM_SETDONTCLICK, TRUE, 0);
        SetWindowLongPtrA(option, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        optionProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(option, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&frmConfig::OptionProc)));
    }
    cmd.Filter = kPictureFilter;
}

void frmConfig::CreateDialogWindow() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = FormProc<frmConfig>;
    // Run by the dialog manager, so Tab, Esc, Enter and Alt with a letter work as in any dialog.
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "Velumbra_frmConfig";
    const DWORD style = WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RegisterClassA(&wc);  // failing, so does the window
    if (!CreateWindowExA(exStyle, wc.lpszClassName, "Configure Velumbra", style, 0, 0, 1, 1, nullptr, nullptr, instance,
                         this))
        app::EndProgram(app::kNoWindow);
    const auto icon = [instance](int width, int height) {
        return reinterpret_cast<LPARAM>(LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON,
                                                   GetSystemMetrics(width), GetSystemMetrics(height), 0));
    };
    SendMessageA(window_, WM_SETICON, ICON_BIG, icon(SM_CXICON, SM_CYICON));
    SendMessageA(window_, WM_SETICON, ICON_SMALL, icon(SM_CXSMICON, SM_CYSMICON));

    // The client area as designed at the window's resolution, centred on the primary screen's
    // work area.
    app::UseDpiOf(window_);
    RECT frame{0, 0, app::PixelsX(kClientWidth), app::PixelsY(kClientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = work.left + std::max(0, static_cast<int>(work.right - work.left - width) / 2);
    const int top = work.top + std::max(0, static_cast<int>(work.bottom - work.top - height) / 2);
    SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmConfig::CreateControls() {
    const Row* previous = nullptr;
    for (const Row& row : kLayout) {
        const KindInfo& kind = kKinds[static_cast<int>(row.kind)];
        // Every control opens a group for the dialog's arrow keys, but for an option button
        // that continues the one before it.
        const bool continues = row.kind == Kind::Option && previous != nullptr && previous->kind == Kind::Option &&
                               previous->frame == row.frame;
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | kind.style | row.style | (continues ? 0 : WS_GROUP);
        CreateWindowExA(kind.exStyle, kind.windowClass, row.text, style, 0, 0, 0, 0, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), nullptr, nullptr);
        previous = &row;
    }
    Layout();
}

// Places the controls and sets their font at the resolution the dialog works at.
void frmConfig::Layout() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    Gdi<HFONT> font;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        // Given at the system's resolution.
        const WindowDC screen(nullptr);
        metrics.lfMessageFont.lfHeight =
            MulDiv(metrics.lfMessageFont.lfHeight, app::Dpi(), GetDeviceCaps(screen.get(), LOGPIXELSY));
        font = Gdi<HFONT>(CreateFontIndirectA(&metrics.lfMessageFont));
    }
    for (const Row& row : kLayout) {
        int left = row.left;
        int top = row.top;
        if (row.frame != 0) {
            left += RowOf(row.frame).left;
            top += RowOf(row.frame).top;
        }
        SetWindowPos(Item(row.id), nullptr, app::PixelsX(left), app::PixelsY(top), app::PixelsX(row.width),
                     app::PixelsY(row.height), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(Item(row.id), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    font_ = std::move(font);  // the one the controls used before goes now
}

void frmConfig::pop() {
    const settings::SettingsRecord& s = settings::Current();
    SetFillColor(static_cast<COLORREF>(s.formcolor));
    SetScrollValue(num::ToInt16(s.transvalue / 8));
    varTrans_Change();  // the label in any case, also when the value stayed
    // The magnitude of the most negative value does not fit: it shows as the largest one.
    const std::int32_t seconds =
        s.opaquetime == std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::max()
                                                                 : std::abs(s.opaquetime);
    SetWindowTextA(Item(idTxtFadeTime), std::to_string(seconds).c_str());
    SetCheck(idChkOpaque, s.opaquetime > 0);
    EnableWindow(Item(idTxtFadeTime), s.opaquetime > 0);
    if (!s.imagename.empty()) {
        FitImageCaption(FileNamePart(s.imagename, ActiveCodePage()));
        Select(idOptImage, 2, PictureOption);
    }
    if (s.imagestretch != 0) SetCheck(idChkStretch, true);
    Select(idOptDisable, 5, s.disablecorner);

    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetNextDlgTabItem(window_, nullptr, FALSE)), TRUE);
}

LRESULT frmConfig::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE: Form_Unload();
        case WM_ENDSESSION:
            if (wParam) Form_Unload();  // the user signs out or Windows shuts down: nothing saved
            return 0;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) OnClick(LOWORD(wParam));
            return 0;
        case WM_DPICHANGED: {  // moved to a screen of another scale, or the scale changed
            app::UseDpi(LOWORD(wParam));
            const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                         suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
            Layout();
            if (GetWindowTextLengthA(Item(idOptImage + PictureOption)) > 0)
                FitImageCaption(FileNamePart(settings::Current().imagename, ActiveCodePage()));
            // Text and frames drawn at the old size would stay where nothing new covers them.
            RedrawWindow(window_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
            return 0;
        }
        case WM_HSCROLL: OnScroll(LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_DRAWITEM: {  // the colour box: filled solid, no outline
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            const Gdi<HBRUSH> brush(CreateSolidBrush(fillColor_));
            FillRect(item->hDC, &item->rcItem, brush.get());
            return TRUE;
        }
        default: return DefDlgProcA(window_, message, wParam, lParam);
    }
}

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
    if (message != WM_KEYDOWN) return result;
    constexpr std::pair<WPARAM, Arrow> kArrows[] = {
        {VK_LEFT, Arrow::Left}, {VK_UP, Arrow::Up}, {VK_RIGHT, Arrow::Right}, {VK_DOWN, Arrow::Down}};
    for (const auto& [key, arrow] : kArrows)
        if (wParam == key) form->MoveByPlace(GetDlgCtrlID(option), arrow);
    return result;
}

void frmConfig::MoveByPlace(int id, Arrow arrow) {
    const bool picture = id < idOptDisable;
    const int first = picture ? idOptImage : idOptDisable;
    const int count = picture ? 2 : 5;
    std::vector<PixelRect> places;
    for (int i = 0; i < count; ++i) {
        const Row& row = RowOf(first + i);
        places.push_back({row.left, row.top, row.left + row.width, row.top + row.height});
    }
    Select(first, count, NextByPlace(places, id - first, arrow));
    // The focus goes with the selection, which a chooser cancelled may have taken back.
    for (int i = 0; i < count; ++i)
        if (Checked(first + i)) SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(first + i)), TRUE);
}

void frmConfig::OnClick(int id) {
    const auto command2 = std::ranges::find(kCommand2Ids, id);
    if (command2 != std::end(kCommand2Ids)) Command2_Click(static_cast<int>(command2 - std::begin(kCommand2Ids)));
    else if (id >= idCommand1 && id <= idCommand1 + PictureChooser) Command1_Click(id - idCommand1);
    else if (id >= idOptImage && id <= idOptImage + NoPicture) Select(idOptImage, 2, id - idOptImage);
    else if (id >= idOptDisable && id <= idOptDisable + 4) Select(idOptDisable, 5, id - idOptDisable);
    else if (id == idChkOpaque || id == idChkStretch) SetCheck(id, !Checked(id));
}

void frmConfig::OnScroll(int code, int position) {
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

bool frmConfig::Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void frmConfig::SetCheck(int id, bool checked) {
    if (Checked(id) == checked) return;
    SendMessageA(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (id == idChkOpaque) chkOpaque_Click();
}

void frmConfig::Select(int firstId, int count, int index) {
    if (Checked(firstId + index)) return;
    for (int i = 0; i < count; ++i) {
        HWND option = Item(firstId + i);
        SendMessageA(option, BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
        const LONG style = GetWindowLongA(option, GWL_STYLE);
        SetWindowLongA(option, GWL_STYLE, i == index ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
    if (firstId == idOptImage) optImage_Click(index); else optDisable_Click(index);
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

float frmConfig::TextWidth(const std::string& text) const {
    const WindowDC dc(window_);
    const Selected font(dc.get(), font_.get());
    SIZE size{};
    GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    return static_cast<float>(size.cx) * app::TwipsPerPixelX();
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
    // The picture option without a picture named asks for one; none chosen, "(None)" again.
    if (index != PictureOption || GetWindowTextLengthA(Item(idOptImage + PictureOption)) > 0) return;
    Command1_Click(PictureChooser);
    if (GetWindowTextLengthA(Item(idOptImage + PictureOption)) > 0) return;
    // None chosen: "(None)" again, and the focus with it, off the option that opens the chooser.
    Select(idOptImage, 2, NoPicture);
    SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(idOptImage + NoPicture)), TRUE);
}

void frmConfig::Command1_Click(int index) {
    if (index == ColourChooser) {
        cmd.Flags = CC_RGBINIT | CC_FULLOPEN;  // start from Color, with the custom colours open
        cmd.Color = fillColor_;
        if (cmd.ShowColor(window_)) SetFillColor(cmd.Color);
    } else if (index == PictureChooser) {
        cmd.Flags = kOpenFlags;
        cmd.FileName = settings::Current().imagename;
        if (!cmd.ShowOpen(window_)) return;
        settings::Current().imagename = cmd.FileName;
        FitImageCaption(FileNamePart(cmd.FileName, ActiveCodePage()));
        Select(idOptImage, 2, PictureOption);
    }
}

void frmConfig::Command2_Click(int index) {
    if (index == About) {
        const app::Version v = app::ProgramVersion();
        const std::string title = "Velumbra " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
                                  std::to_string(v.revision) + " for Win2K";
        const std::string text = std::string(kCredit) + "\n\n" + kContact + "\n" + kWeb;
        MessageBoxA(window_, text.c_str(), title.c_str(), MB_ICONINFORMATION | MB_OK);
    } else if (index == Ok) {
        SaveAndClose();
    } else if (index == Cancel) {
        Form_Unload();
    }
}

void frmConfig::SaveAndClose() {
    const auto seconds = FadeSeconds(WindowText(Item(idTxtFadeTime)));
    if (!seconds) {
        // Text pasted past the key filter: refuse it and show where the fault is. The dialog
        // manager selects the box's whole text as it takes the focus, to be typed over.
        MessageBeep(MB_OK);
        HWND box = Item(idTxtFadeTime);
        SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(IsWindowEnabled(box) ? box : Item(idChkOpaque)),
                     TRUE);
        return;
    }
    const settings::SettingsRecord& s = settings::Current();
    if (settings::SaveSettings(static_cast<std::int32_t>(fillColor_), ScrollValue() * 8,
                               Checked(idChkOpaque) ? *seconds : -*seconds,
                               Checked(idOptImage + NoPicture) ? std::string() : s.imagename,
                               Checked(idChkStretch) ? -1 : 0, s.disablecorner))
        Form_Unload();
    // Not saved: say so, and leave the choices in the dialog to try again or to cancel.
    MessageBoxA(window_, kNotSaved, "Configure Velumbra", MB_ICONWARNING | MB_OK);
}

void frmConfig::Form_Unload() { app::EndProgram(); }

void frmConfig::FitImageCaption(const std::string& name) {
    const unsigned generation = ++fitGeneration_;
    const float room = static_cast<float>(RowOf(idOptImage + PictureOption).width) - kOptionMarkWidth;
    const auto caption = FitCaption(
        name, [&](const std::string& s) { return room >= TextWidth(s); },
        [&] {
            app::DoEvents();
            return generation == fitGeneration_;  // a newer fit began meanwhile: its caption stands
        },
        ActiveCodePage(), static_cast<std::size_t>(std::max(0, app::PixelsX(room))));
    if (!caption) return;
    // A file name shows its "&" as it is, not as an access key.
    std::string shown;
    for (char c : *caption) shown += c == '&' ? "&&" : std::string(1, c);
    SetWindowTextA(Item(idOptImage + PictureOption), shown.c_str());
}
