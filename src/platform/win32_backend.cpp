#include "platform/win32_backend.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "platform/application.h"
#include "platform/picture_scale.h"

namespace forms {

struct Win32Backend::Peer {
    explicit Peer(Control& c) : control(c) {}
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    ~Peer() {
        if (bitmap) DeleteObject(bitmap);
    }

    Control& control;
    HWND hwnd = nullptr;  // the form's window, or the control's own child window
    int id = 0;
    bool arranged = false;  // forms: tab order set up at the first show
    WNDPROC editProc = nullptr;
    // Images: the picture at the control's size over the back colour, ready to copy.
    HBITMAP bitmap = nullptr;
    bool stale = true;
};

namespace {

Win32Backend* g_self = nullptr;

std::string ClassName(const Form& form) { return "Velumbra_" + form.name(); }

// Captions whose "&" is literal get it doubled for the system's controls.
std::string ShownCaption(const Control& control) {
    if (control.mnemonic) return control.Caption();
    std::string shown;
    for (char c : control.Caption()) {
        shown += c;
        if (c == '&') shown += '&';
    }
    return shown;
}

std::int16_t ShiftState() {
    std::int16_t shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
    if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
    if (GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

std::int16_t MouseButtons(WPARAM wParam) {
    std::int16_t buttons = 0;
    if (wParam & MK_LBUTTON) buttons |= 1;
    if (wParam & MK_RBUTTON) buttons |= 2;
    if (wParam & MK_MBUTTON) buttons |= 4;
    return buttons;
}

// The common dialogs' DLL is loaded the first time a chooser opens. Linked at start, it
// would bring the shell, the printing system and their libraries into every saver process
// (about 9 MB more resident under Wine) for choosers only the settings dialog shows.
struct CommonDialogs {
    decltype(&ChooseColorA) chooseColor = nullptr;
    decltype(&GetOpenFileNameA) getOpenFileName = nullptr;
    decltype(&CommDlgExtendedError) extendedError = nullptr;
};

const CommonDialogs& LoadCommonDialogs() {
    static const CommonDialogs dialogs = [] {
        CommonDialogs d;
        HMODULE module = LoadLibraryExA("comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module == nullptr) return d;
        const auto get = [module](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
        };
        get(d.chooseColor, "ChooseColorA");
        get(d.getOpenFileName, "GetOpenFileNameA");
        get(d.extendedError, "CommDlgExtendedError");
        return d;
    }();
    return dialogs;
}

bool TakesFocus(Kind kind) {
    return kind == Kind::OptionButton || kind == Kind::CheckBox || kind == Kind::CommandButton ||
           kind == Kind::TextBox || kind == Kind::HScrollBar;
}

}  // namespace

Win32Backend::Win32Backend(HINSTANCE instance) : instance_(instance) {
    g_self = this;
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font_ = CreateFontIndirectA(&metrics.lfMessageFont);
    if (font_ == nullptr) font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

Win32Backend::~Win32Backend() {
    peers_.clear();
    g_self = nullptr;
}

Win32Backend::Peer& Win32Backend::PeerOf(const Control& control) const { return *static_cast<Peer*>(control.peer); }

int Win32Backend::PixelsX(float twips) const {
    return static_cast<int>(std::lround(twips / platform::Screen().TwipsPerPixelX()));
}
int Win32Backend::PixelsY(float twips) const {
    return static_cast<int>(std::lround(twips / platform::Screen().TwipsPerPixelY()));
}

// ---- Creation

void Win32Backend::Created(Control& control) {
    peers_.push_back(std::make_unique<Peer>(control));
    control.peer = peers_.back().get();
    if (control.kind() == Kind::Form)
        CreateFormWindow(static_cast<Form&>(control));
    else
        CreateChild(control);
}

void Win32Backend::CreateFormWindow(Form& form) {
    const bool dialog = form.border == Form::Border::FixedDialog;
    const std::string className = ClassName(form);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(instance_, className.c_str(), &wc)) {
        wc = WNDCLASSEXA{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = FormProc;
        wc.cbWndExtra = dialog ? DLGWINDOWEXTRA : 0;
        wc.hInstance = instance_;
        // The saver hides the pointer for its whole life: without a class cursor, showing it
        // again on the way out costs nothing.
        wc.hCursor = dialog ? LoadCursor(nullptr, IDC_ARROW) : nullptr;
        if (form.iconResource != 0) {
            wc.hIcon = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(form.iconResource), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
            wc.hIconSm = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(form.iconResource), IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        }
        wc.lpszClassName = className.c_str();
        RegisterClassExA(&wc);
    }
    DWORD style = WS_POPUP | WS_CLIPSIBLINGS;
    DWORD exStyle = form.showInTaskbar ? 0 : WS_EX_TOOLWINDOW;
    if (dialog) {
        style |= WS_CAPTION | WS_SYSMENU;
        exStyle |= WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
        dialog_ = nullptr;  // set once the window exists
    }
    HWND hwnd = CreateWindowExA(exStyle, className.c_str(), form.Caption().c_str(), style, 0, 0, 1, 1, nullptr,
                                nullptr, instance_, &form);
    PeerOf(form).hwnd = hwnd;
    if (dialog) dialog_ = hwnd;
    if (wc.hIcon) SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(wc.hIcon));
    if (wc.hIconSm) SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(wc.hIconSm));
    PlaceForm(form);
}

void Win32Backend::CreateChild(Control& control) {
    Peer& peer = PeerOf(control);
    if (control.kind() == Kind::Timer) {
        peer.id = nextId_++;
        SyncTimer(static_cast<Timer&>(control));
        return;
    }
    if (control.kind() == Kind::Image || control.kind() == Kind::CommonDialog) return;  // drawn by the form / no window

    const char* className = "BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    int id = nextId_++;
    switch (control.kind()) {
        case Kind::Frame: style |= BS_GROUPBOX; break;
        case Kind::OptionButton: style |= BS_RADIOBUTTON; break;
        case Kind::CheckBox: style |= BS_CHECKBOX | WS_TABSTOP; break;
        case Kind::CommandButton: {
            const auto& button = static_cast<CommandButton&>(control);
            style |= (button.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
            if (button.isDefault) id = IDOK;
            if (button.isCancel) id = IDCANCEL;
            break;
        }
        case Kind::TextBox:
            className = "EDIT";
            style |= ES_AUTOHSCROLL | WS_TABSTOP;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case Kind::HScrollBar:
            className = "SCROLLBAR";
            style |= SBS_HORZ | WS_TABSTOP;
            break;
        case Kind::Label:
            className = "STATIC";
            style |= static_cast<Label&>(control).centred ? SS_CENTER : SS_LEFT;
            break;
        case Kind::Shape:
            className = "STATIC";
            style |= SS_OWNERDRAW;
            break;
        default: return;
    }
    peer.id = id;
    byId_[id] = &control;
    const std::string text =
        control.kind() == Kind::TextBox ? static_cast<TextBox&>(control).Text() : ShownCaption(control);
    peer.hwnd = CreateWindowExA(exStyle, className, text.c_str(), style, 0, 0, 1, 1, PeerOf(control.form()).hwnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    SendMessageA(peer.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    if (!control.Enabled()) EnableWindow(peer.hwnd, FALSE);
    if (control.kind() == Kind::TextBox) {
        auto& box = static_cast<TextBox&>(control);
        if (box.maxLength > 0) SendMessageA(peer.hwnd, EM_LIMITTEXT, static_cast<WPARAM>(box.maxLength), 0);
        SetWindowLongPtrA(peer.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&box));
        peer.editProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(peer.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Backend::EditProc)));
    }
    PlaceChild(control);
    SyncValue(control);
}

// Focusable controls by tab position first, then labels and the shape, frames at the bottom,
// so Tab follows the designed order and nothing hides behind a frame. Each option group is
// one run, its first button opening the group.
void Win32Backend::ArrangeTabOrder(Form& form) {
    std::vector<Control*> focusable, plain, frames;
    for (Control* c : form.Controls()) {
        if (c->peer == nullptr || PeerOf(*c).hwnd == nullptr) continue;
        if (TakesFocus(c->kind())) focusable.push_back(c);
        else if (c->kind() == Kind::Frame) frames.push_back(c);
        else plain.push_back(c);
    }
    std::stable_sort(focusable.begin(), focusable.end(),
                     [](Control* a, Control* b) { return a->TabIndex() < b->TabIndex(); });
    HWND after = HWND_TOP;
    const Control* previous = nullptr;
    for (auto* list : {&focusable, &plain, &frames}) {
        for (Control* c : *list) {
            HWND hwnd = PeerOf(*c).hwnd;
            SetWindowPos(hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            after = hwnd;
            const bool continuesGroup = c->kind() == Kind::OptionButton && previous != nullptr &&
                                        previous->kind() == Kind::OptionButton &&
                                        previous->container() == c->container();
            LONG style = GetWindowLongA(hwnd, GWL_STYLE);
            style = continuesGroup ? (style & ~WS_GROUP) : (style | WS_GROUP);
            SetWindowLongA(hwnd, GWL_STYLE, style);
            previous = c;
        }
    }
    for (Control* c : focusable)
        if (c->kind() == Kind::OptionButton) SyncValue(*c);
}

// ---- Geometry

void Win32Backend::PlaceForm(Form& form) {
    HWND hwnd = PeerOf(form).hwnd;
    if (form.WindowState() == Form::kMaximized) {
        // The primary monitor exactly: it starts at (0, 0) by definition.
        SetWindowPos(hwnd, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    RECT rect{0, 0, PixelsX(form.Width()), PixelsY(form.Height())};
    AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)));
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int x = work.left + std::max(0L, (work.right - work.left - width) / 2);
    const int y = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Backend::PlaceChild(Control& control) {
    Peer& peer = PeerOf(control);
    if (peer.hwnd == nullptr) return;
    // A control inside a frame is placed from the frame's own position, as a container would.
    int x = PixelsX(control.Left());
    int y = PixelsY(control.Top());
    if (const Control* frame = control.container()) {
        x += PixelsX(frame->Left());
        y += PixelsY(frame->Top());
    }
    SetWindowPos(peer.hwnd, nullptr, x, y, PixelsX(control.Width()), PixelsY(control.Height()),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- Property changes

void Win32Backend::Changed(Control& control, Prop prop) {
    if (control.peer == nullptr) return;
    Peer& peer = PeerOf(control);
    if (control.kind() == Kind::Form) {
        auto& form = static_cast<Form&>(control);
        switch (prop) {
            case Prop::Visible:
                if (form.Visible()) {
                    if (!peer.arranged) {
                        peer.arranged = true;
                        ArrangeTabOrder(form);
                    }
                    ShowWindow(peer.hwnd, SW_SHOW);
                    SetForegroundWindow(peer.hwnd);
                    if (form.border == Form::Border::FixedDialog) {
                        HWND first = GetNextDlgTabItem(peer.hwnd, nullptr, FALSE);
                        if (first) SendMessageA(peer.hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
                    } else {
                        SetFocus(peer.hwnd);
                    }
                } else {
                    ShowWindow(peer.hwnd, SW_HIDE);
                }
                break;
            case Prop::Geometry: PlaceForm(form); break;
            case Prop::Caption: SetWindowTextA(peer.hwnd, form.Caption().c_str()); break;
            case Prop::BackColor:
                for (Control* c : form.Controls())
                    if (c->kind() == Kind::Image) PeerOf(*c).stale = true;
                InvalidateRect(peer.hwnd, nullptr, TRUE);
                break;
            default: break;
        }
        return;
    }
    switch (control.kind()) {
        case Kind::Timer: SyncTimer(static_cast<Timer&>(control)); return;
        case Kind::Image:
            peer.stale = true;
            InvalidateRect(PeerOf(control.form()).hwnd, nullptr, FALSE);
            return;
        default: break;
    }
    if (peer.hwnd == nullptr) return;
    switch (prop) {
        case Prop::Geometry: PlaceChild(control); break;
        case Prop::Caption: SetWindowTextA(peer.hwnd, ShownCaption(control).c_str()); break;
        case Prop::Text: {
            const std::string& text = static_cast<TextBox&>(control).Text();
            char current[64] = {};
            GetWindowTextA(peer.hwnd, current, sizeof current);
            if (text != current) SetWindowTextA(peer.hwnd, text.c_str());
            break;
        }
        case Prop::Enabled: EnableWindow(peer.hwnd, control.Enabled()); break;
        case Prop::Value: SyncValue(control); break;
        case Prop::FillColor: InvalidateRect(peer.hwnd, nullptr, TRUE); break;
        case Prop::Focus:
            if (dialog_) SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(peer.hwnd), TRUE);
            else SetFocus(peer.hwnd);
            if (control.kind() == Kind::TextBox) SendMessageA(peer.hwnd, EM_SETSEL, 0, -1);
            break;
        default: break;
    }
}

void Win32Backend::SyncValue(Control& control) {
    HWND hwnd = PeerOf(control).hwnd;
    switch (control.kind()) {
        case Kind::OptionButton: {
            // The selected button of a group is the one Tab stops at; with none selected, the first.
            auto& option = static_cast<OptionButton&>(control);
            SendMessageA(hwnd, BM_SETCHECK, option.Value() ? BST_CHECKED : BST_UNCHECKED, 0);
            std::vector<OptionButton*> group;
            for (Control* c : control.form().Controls())
                if (c->kind() == Kind::OptionButton && c->container() == control.container() && c->peer &&
                    PeerOf(*c).hwnd)
                    group.push_back(static_cast<OptionButton*>(c));
            const auto selected = std::find_if(group.begin(), group.end(), [](auto* o) { return o->Value(); });
            const auto first = std::min_element(group.begin(), group.end(),
                                                 [](auto* a, auto* b) { return a->TabIndex() < b->TabIndex(); });
            const OptionButton* stop = selected != group.end() ? *selected : (first != group.end() ? *first : nullptr);
            for (OptionButton* o : group) {
                HWND h = PeerOf(*o).hwnd;
                const LONG style = GetWindowLongA(h, GWL_STYLE);
                SetWindowLongA(h, GWL_STYLE, o == stop ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
            }
            break;
        }
        case Kind::CheckBox:
            SendMessageA(hwnd, BM_SETCHECK, static_cast<CheckBox&>(control).Value() ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        case Kind::HScrollBar: {
            auto& bar = static_cast<HScrollBar&>(control);
            SCROLLINFO info{};
            info.cbSize = sizeof info;
            info.fMask = SIF_RANGE | SIF_POS;
            info.nMin = bar.Min();
            info.nMax = bar.Max();
            info.nPos = bar.Value();
            SetScrollInfo(hwnd, SB_CTL, &info, TRUE);
            break;
        }
        default: break;
    }
}

void Win32Backend::SyncTimer(Timer& timer) {
    HWND owner = PeerOf(timer.form()).hwnd;
    const auto id = static_cast<UINT_PTR>(PeerOf(timer).id);
    if (timer.Enabled() && timer.Interval() > 0)
        SetTimer(owner, id, static_cast<UINT>(timer.Interval()), nullptr);
    else
        KillTimer(owner, id);
}

void Win32Backend::Destroyed(Form& form) {
    Peer& peer = PeerOf(form);
    if (peer.hwnd == dialog_) dialog_ = nullptr;
    if (peer.hwnd) DestroyWindow(peer.hwnd);
    peer.hwnd = nullptr;
}

HWND Win32Backend::WindowOf(const Form& form) { return form.peer ? PeerOf(form).hwnd : nullptr; }

// ---- Services

float Win32Backend::TextWidth(const Form& form, const std::string& text) {
    HWND hwnd = WindowOf(form);
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, font_);
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return static_cast<float>(size.cx) * platform::Screen().TwipsPerPixelX();
}

std::shared_ptr<Picture> Win32Backend::LoadPicture(const std::string& path) { return DecodePictureFile(path); }

DialogOutcome Win32Backend::ShowColor(CommonDialog& dialog) {
    const CommonDialogs& dialogs = LoadCommonDialogs();
    if (!dialogs.chooseColor || !dialogs.extendedError) return DialogOutcome::Failed;
    static COLORREF custom[16] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                  0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = WindowOf(dialog.form());
    cc.rgbResult = dialog.Color;
    cc.lpCustColors = custom;
    cc.Flags = dialog.Flags;
    if (dialogs.chooseColor(&cc)) {
        dialog.Color = cc.rgbResult;
        return DialogOutcome::Confirmed;
    }
    return dialogs.extendedError() == 0 ? DialogOutcome::Cancelled : DialogOutcome::Failed;
}

DialogOutcome Win32Backend::ShowOpen(CommonDialog& dialog) {
    const CommonDialogs& dialogs = LoadCommonDialogs();
    if (!dialogs.getOpenFileName || !dialogs.extendedError) return DialogOutcome::Failed;
    std::string filter = dialog.Filter;
    std::replace(filter.begin(), filter.end(), '|', '\0');
    filter.push_back('\0');  // with the string's own, the list ends in two NULs
    std::vector<char> file(32768, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        // A stored name the chooser cannot start from must not lock the user out: the
        // second attempt starts empty.
        const std::string initial = attempt == 0 ? dialog.FileName : std::string();
        std::fill(file.begin(), file.end(), '\0');
        std::memcpy(file.data(), initial.data(), std::min(initial.size(), file.size() - 1));
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = WindowOf(dialog.form());
        ofn.lpstrFilter = filter.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = static_cast<DWORD>(file.size());
        ofn.Flags = dialog.Flags;
        if (dialogs.getOpenFileName(&ofn)) {
            dialog.FileName = file.data();
            return DialogOutcome::Confirmed;
        }
        const DWORD error = dialogs.extendedError();
        if (error == 0) return DialogOutcome::Cancelled;
        if (error != FNERR_INVALIDFILENAME || initial.empty()) return DialogOutcome::Failed;
    }
    return DialogOutcome::Failed;
}

void Win32Backend::MsgBox(const std::string& text, int style, const std::string& title) {
    MessageBoxA(dialog_, text.c_str(), title.c_str(), static_cast<UINT>(style));
}

void Win32Backend::Beep() { MessageBeep(MB_OK); }

bool Win32Backend::Dispatch(MSG& msg) {
    if (dialog_ != nullptr && IsDialogMessageA(dialog_, &msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void Win32Backend::DoEvents() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
}

void Win32Backend::RunEventLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
}

// ---- Messages

LRESULT CALLBACK Win32Backend::FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (form == nullptr || g_self == nullptr || form->peer == nullptr) {
        const bool dialog = form != nullptr && form->border == Form::Border::FixedDialog;
        return dialog ? DefDlgProcA(hwnd, message, wParam, lParam) : DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return g_self->OnFormMessage(*form, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Win32Backend::EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* box = reinterpret_cast<TextBox*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    WNDPROC original = g_self->PeerOf(*box).editProc;
    if (message == WM_CHAR) {
        // Every typed character passes the box's key filter; 0 means it is discarded.
        const int code = box->FilterKey(static_cast<int>(wParam));
        if (code == 0) return 0;
        wParam = static_cast<WPARAM>(code);
    }
    return CallWindowProcA(original, hwnd, message, wParam, lParam);
}

LRESULT Win32Backend::OnFormMessage(Form& form, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool dialog = form.border == Form::Border::FixedDialog;
    const float tx = platform::Screen().TwipsPerPixelX();
    const float ty = platform::Screen().TwipsPerPixelY();
    const auto x = [&] { return static_cast<float>(static_cast<short>(LOWORD(lParam))) * tx; };
    const auto y = [&] { return static_cast<float>(static_cast<short>(HIWORD(lParam))) * ty; };
    switch (message) {
        case WM_CLOSE: form.Unload(); return 0;
        case WM_COMMAND: OnCommand(form, LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_HSCROLL:
            for (Control* c : form.Controls())
                if (c->kind() == Kind::HScrollBar && PeerOf(*c).hwnd == reinterpret_cast<HWND>(lParam))
                    OnScroll(static_cast<HScrollBar&>(*c), LOWORD(wParam));
            return 0;
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            auto it = byId_.find(static_cast<int>(item->CtlID));
            if (it != byId_.end() && it->second->kind() == Kind::Shape) {
                HBRUSH brush = CreateSolidBrush(static_cast<Shape*>(it->second)->FillColor());
                FillRect(item->hDC, &item->rcItem, brush);
                DeleteObject(brush);
                return TRUE;
            }
            break;
        }
        case WM_TIMER:
            for (Control* c : form.Controls())
                if (c->kind() == Kind::Timer && PeerOf(*c).id == static_cast<int>(wParam)) {
                    static_cast<Timer*>(c)->Tick();
                    return 0;
                }
            return 0;
        case WM_ERASEBKGND:
            if (!dialog) return 1;  // WM_PAINT covers every pixel
            break;
        case WM_PAINT:
            if (!dialog) {
                OnPaint(form, hwnd);
                return 0;
            }
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (!dialog) {
                form.KeyDown(static_cast<std::int16_t>(wParam), ShiftState());
                return 0;
            }
            break;
        case WM_LBUTTONDOWN: form.MouseDown(1, ShiftState(), x(), y()); return 0;
        case WM_RBUTTONDOWN: form.MouseDown(2, ShiftState(), x(), y()); return 0;
        case WM_MBUTTONDOWN: form.MouseDown(4, ShiftState(), x(), y()); return 0;
        case WM_XBUTTONDOWN: form.MouseDown(0, ShiftState(), x(), y()); return TRUE;
        case WM_MOUSEMOVE: form.MouseMove(MouseButtons(wParam), ShiftState(), x(), y()); return 0;
        case WM_SYSCOMMAND:
            // Already saving the screen: the system's idle request needs nothing more.
            if (!dialog && (wParam & 0xFFF0) == SC_SCREENSAVE) return 0;
            break;
        default: break;
    }
    return dialog ? DefDlgProcA(hwnd, message, wParam, lParam) : DefWindowProcA(hwnd, message, wParam, lParam);
}

void Win32Backend::OnCommand(Form&, int id, int code) {
    auto it = byId_.find(id);
    if (it == byId_.end()) return;
    Control& control = *it->second;
    switch (control.kind()) {
        case Kind::CommandButton:
            if (code == BN_CLICKED) static_cast<CommandButton&>(control).Press();
            break;
        case Kind::OptionButton:
            if (code == BN_CLICKED) static_cast<OptionButton&>(control).SetValue(true);
            break;
        case Kind::CheckBox:
            if (code == BN_CLICKED) static_cast<CheckBox&>(control).Toggle();
            break;
        case Kind::TextBox:
            if (code == EN_CHANGE) {
                HWND hwnd = PeerOf(control).hwnd;
                std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
                text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
                static_cast<TextBox&>(control).TextEdited(std::move(text));
            }
            break;
        default: break;
    }
}

void Win32Backend::OnScroll(HScrollBar& bar, int code) {
    int value = bar.Value();
    switch (code) {
        case SB_LINELEFT: value -= bar.smallChange; break;
        case SB_LINERIGHT: value += bar.smallChange; break;
        case SB_PAGELEFT: value -= bar.largeChange; break;
        case SB_PAGERIGHT: value += bar.largeChange; break;
        case SB_LEFT: value = bar.Min(); break;
        case SB_RIGHT: value = bar.Max(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info{};
            info.cbSize = sizeof info;
            info.fMask = SIF_TRACKPOS;
            GetScrollInfo(PeerOf(bar).hwnd, SB_CTL, &info);
            value = info.nTrackPos;
            break;
        }
        default: return;
    }
    bar.SetValue(value);
}

void Win32Backend::OnPaint(Form& form, HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH back = CreateSolidBrush(form.BackColor() & 0xFFFFFF);
    for (Control* c : form.Controls()) {
        if (c->kind() != Kind::Image) continue;
        auto& image = static_cast<Image&>(*c);
        const auto& picture = image.GetPicture();
        if (!picture || picture->pixels.empty()) continue;
        Peer& peer = PeerOf(image);
        const int left = PixelsX(image.Left()), top = PixelsY(image.Top());
        const int width = PixelsX(image.Width()), height = PixelsY(image.Height());
        if (width <= 0 || height <= 0) continue;
        if (peer.stale || peer.bitmap == nullptr) {
            // Scaled and laid over the back colour once; every repaint only copies it.
            if (peer.bitmap) DeleteObject(peer.bitmap);
            peer.bitmap = nullptr;
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = width;
            info.bmiHeader.biHeight = -height;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            void* bits = nullptr;
            HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (bitmap == nullptr) continue;
            const std::size_t count = static_cast<std::size_t>(width) * height;
            auto* out = static_cast<std::uint32_t*>(bits);
            if (width == picture->pixelWidth && height == picture->pixelHeight) {
                std::memcpy(out, picture->pixels.data(), count * 4);
            } else {
                const auto scaled =
                    picture::Resample(picture->pixels, picture->pixelWidth, picture->pixelHeight, width, height);
                std::memcpy(out, scaled.data(), count * 4);
            }
            picture::Flatten(out, count, form.BackColor() & 0xFFFFFF);
            peer.bitmap = bitmap;
            peer.stale = false;
        }
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, peer.bitmap);
        BitBlt(dc, left, top, width, height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        ExcludeClipRect(dc, left, top, left + width, top + height);
    }
    FillRect(dc, &client, back);
    DeleteObject(back);
    EndPaint(hwnd, &ps);
}

}  // namespace forms
