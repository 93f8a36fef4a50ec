// The settings dialog end to end: layout, keys, choosers, what it shows and stores; in process, a
// change of resolution.
#include "config/dialog_layout.h"
#include "config/frmConfig.h"
#include "platform/event_loop.h"
#include "windows/harness.h"

using namespace dialog;

namespace {

constexpr int idCorners = kOptDisable.first, idPicture = kOptImage.first + PictureOption;
constexpr int idNoPicture = kOptImage.first + NoPicture, idPictureFrame = idFrame3 + PictureFrame;
constexpr int idColourChange = idCommand1 + ColourChooser, idPictureChange = idCommand1 + PictureChooser;

// All the dialog shows of the settings but the colour, in one line.
std::wstring State(const Session& g) {
    const auto mark = [&](int id, const std::wstring& word) { return g.Checked(id) ? L" " + word : L""; };
    std::wstring text = Text(g[idLblTrans]) + L" | " + Text(g[idTxtFadeTime]) + mark(idChkOpaque, L"on") +
                        (IsWindowEnabled(g[idTxtFadeTime]) ? L"" : L" greyed") + L" | '" + Text(g[idPicture]) + L"'" +
                        mark(idPicture, L"picture") + mark(idNoPicture, L"none") + mark(idChkStretch, L"stretch");
    for (int c = 0; c < kOptDisable.count; ++c) text += mark(idCorners + c, L"| corner " + std::to_wstring(c));
    return text;
}

// The whole stored settings with these values.
Snapshot Stored(int colour, std::uint32_t trans, std::uint32_t opaque, const wchar_t* name, int stretch, int corner) {
    return {{L"formcolor", Dw(colour)}, {L"transvalue", Dw(trans)},     {L"opaquetime", Dw(opaque)},
            {L"imagename", Sz(name)},   {L"imagestretch", Dw(stretch)}, {L"disablecorner", Dw(corner)}};
}

// A place in twips, in pixels at the screen's resolution (rounded half away from zero).
Box Px(int left, int top, int width, int height) {
    const WindowDC screen(nullptr);
    const auto px = [dpi = GetDeviceCaps(screen.get(), LOGPIXELSX)](int twips) { return MulDiv(twips, dpi, 1440); };
    return {px(left), px(top), px(left) + px(width), px(top) + px(height)};
}

// The window: its caption, style and designed size, centred on the work area but never above or
// left of it. Each control: its class and text, and its place in the window in twips, so that a
// control out of place, one not moved with its frame or a wrong conversion of twips shows.
TEST(AnyDpi, DialogLayout) {
    // clang-format off
    const struct { int id; const wchar_t* shown; int left, top, width, height; } controls[] = {
        {idFrame1, L"Button: Fade to Color", 360, 120, 2895, 735},
        {idColourChange, L"Button: C&hange", 1560, 360, 1575, 375}, {idBoxColor, L"Static: ", 480, 360, 855, 375},
        {idFrame2, L"Button: Alpha Transparency", 360, 960, 2895, 1695},
        {idVarTrans, L"ScrollBar: ", 480, 1200, 2655, 255},
        {idLblTrans, L"Static: 50% Transparent", 600, 1560, 2415, 255},
        {idChkOpaque, L"Button: Transition to Opaque", 480, 1920, 2175, 255},
        {idTxtFadeTime, L"Edit: 0", 1320, 2220, 675, 285}, {idLabel1, L"Static: Seconds", 2100, 2280, 975, 255},
        {idPicture, L"Button: ", 480, 3000, 1695, 255},
        {idPictureFrame, L"Button: Background Image", 360, 2760, 2895, 1035},
        {idNoPicture, L"Button: (None)", 2220, 3000, 975, 255},
        {idPictureChange, L"Button: Cha&nge", 480, 3360, 1095, 375},
        {idChkStretch, L"Button: Stretch Image", 1740, 3420, 1455, 255},
        {idFrame3 + CornerFrame, L"Button: Disabling Corner", 360, 3900, 2895, 1035},
        {idCorners, L"Button: (None)", 1680, 4380, 1095, 255}, {idCorners + 4, L"Button: ", 780, 4200, 255, 255},
        {idCorners + 2, L"Button: ", 1200, 4200, 255, 255}, {idCorners + 1, L"Button: ", 780, 4560, 255, 255},
        {idCorners + 3, L"Button: ", 1200, 4560, 255, 255}, {idAbout, L"Button: &About", 120, 5100, 975, 375},
        {IDCANCEL, L"Button: &Cancel", 1320, 5100, 975, 375}, {IDOK, L"Button: &Ok", 2520, 5100, 975, 375}};
    // clang-format on
    Session g({}, "/C:1234");
    EXPECT_EQ(Text(g.dialog), L"Configure Velumbra");
    EXPECT_EQ(GetWindowLongW(g.dialog, GWL_STYLE) & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU),
              WS_SYSMENU);
    RECT client, frame, work;
    GetClientRect(g.dialog, &client);
    GetWindowRect(g.dialog, &frame);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ((Box{0, 0, client.right, client.bottom}), Px(0, 0, 3615, 5565));
    EXPECT_EQ(frame.left, work.left + std::max(0L, (work.right - work.left - frame.right + frame.left) / 2));
    EXPECT_EQ(frame.top, work.top + std::max(0L, (work.bottom - work.top - frame.bottom + frame.top) / 2));
    for (const auto& c : controls) {
        wchar_t windowClass[32] = {};
        GetClassNameW(g[c.id], windowClass, 32);
        EXPECT_EQ(windowClass + (L": " + Text(g[c.id])), c.shown) << "control " << c.id;
        EXPECT_EQ(Placed(g.dialog, g[c.id]), Px(c.left, c.top, c.width, c.height)) << "control " << c.id;
    }
    g.End({VK_ESCAPE});
}

// At the keyboard, with no fade: checking "Transition to Opaque" enables the fade time; Tab goes
// through every stop and round; "&About" leaves the dialog open; an arrow key in the corners moves
// by place and chooses; the scroll bar moves a step or a page; text that is no whole number, as a
// paste puts it past the key filter, is refused by Ok and selected, to be typed over with digits
// only, six at most. The caption-less picture option opens the picture chooser; cancelled,
// "(None)" is chosen again and has the focus, so that no focus click can open it again. Enter,
// also after the focus was on "&About", presses "&Ok", which stores exactly the six values.
TEST(Dialog, KeysTypingAndScrollingThenEnterStoreExactlyTheSixValues) {
    const Snapshot stored = {{L"opaquetime", Dw(-10u)}, {L"disablecorner", Dw(2)}};  // no fade, a corner chosen
    Session g(stored);
    const auto focused = [&](int id) { return WaitFor([&] { return Focus(g.dialog) == g[id]; }); };
    EXPECT_TRUE(focused(idColourChange));
    ClickOn(g[idChkOpaque]);
    for (int id : {idChkOpaque, idTxtFadeTime, idPictureChange, idChkStretch, idNoPicture, idCorners + 2,
                   idColourChange, idVarTrans, IDOK, IDCANCEL}) {
        EXPECT_TRUE(focused(id)) << "control " << id;
        Keys({VK_TAB});
    }
    EXPECT_TRUE(focused(idAbout));
    Keys({VK_RETURN});
    HWND about = g.Window(kBox);
    EXPECT_EQ(Text(about), L"Velumbra 1.6.13 for Win2K");
    Answer(about, true);
    // The dialog manager's default button is "&Ok", and no control has its "none", id 0.
    EXPECT_EQ(SendMessageW(g.dialog, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
    EXPECT_EQ(GetDlgItem(g.dialog, 0), nullptr);
    PostMessageW(g.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(g[idCorners]), TRUE);
    Keys({VK_DOWN});  // down and to the left from "(None)": the bottom-right corner
    EXPECT_TRUE(focused(idCorners + 3));
    ClickOn(g[idVarTrans]);  // the thumb
    EXPECT_TRUE(focused(idVarTrans));
    Keys({VK_RIGHT, VK_RIGHT, VK_NEXT, VK_LEFT});  // an arrow moves one step, a page four
    EXPECT_TRUE(WaitFor([&] { return Text(g[idLblTrans]) == L"66% Transparent"; })) << Text(g[idLblTrans]);
    SetWindowTextW(g[idTxtFadeTime], L"-1.5");  // as a paste puts it
    Keys({'O'}, true);                          // Alt+O: "&Ok"
    EXPECT_TRUE(focused(idTxtFadeTime));
    EXPECT_EQ(SendMessageW(g[idTxtFadeTime], EM_GETSEL, 0, 0), MAKELONG(0, 4)) << "not all selected";
    EXPECT_EQ(Read(), stored);
    Keys({'9', 'A', VK_OEM_MINUS, '0', VK_SPACE, VK_BACK, '1', '2', '3', '4', '5'});
    const std::wstring shown = L"66% Transparent | 901234 on | '' none | corner 3";
    EXPECT_TRUE(WaitFor([&] { return State(g) == shown; })) << State(g);
    Answer(g.Open(idPicture), false);
    EXPECT_TRUE(focused(idNoPicture));
    EXPECT_TRUE(g.Checked(idNoPicture));
    PostMessageW(g.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(g[idTxtFadeTime]), TRUE);
    EXPECT_TRUE(focused(idTxtFadeTime));
    g.End({VK_RETURN});  // "&Ok", though the fade time, which filters keys, has the focus
    EXPECT_EQ(Read(), Stored(0, 168, 901234, L"", 0, 3));
}

// What the dialog shows of stored values, extreme and odd ones too, and what Ok then stores. A
// name of any length shows at once, shortened by whole characters: the start of the file name (at
// least one), then "...", shown here as '~'; Ok stores it unchanged.
TEST(Dialog, ShowsTheStoredSettingsAndOkStoresThem) {
    std::wstring file;
    while (file.size() < 200000) file += L"\u00E9t\u00E9-\u65E5\u672C-\u041C\u043E\u0441\u043A\u0432\u0430-\U0001F600-";
    const std::wstring path = L"C:\\Bilder\\" + file + L".jpg";
    // clang-format off
    const struct { std::uint32_t trans, opaque; std::wstring name; int stretch, corner; std::wstring shown;
                   std::uint32_t savedTrans, savedOpaque; } rows[] = {
        {128, 10, L"A & B.jpg", 1, 2, L"50% Transparent | 10 on | 'A && B.jpg' picture stretch | corner 2", 128, 10},
        {5, -30u, L"C:\\x\\a.bmp", 0, 0, L"0% Transparent | 30 greyed | 'a.bmp' picture | corner 0", 0, -30u},
        {255, 0x80000000, L"", 0, 4, L"97% Transparent | 2147483647 greyed | '' none | corner 4", 248, 0x80000001},
        {128, 0, path, 0, 0, L"50% Transparent | 0 greyed | '~' picture | corner 0", 128, 0}};
    // clang-format on
    for (const auto& r : rows) {
        Session g(Stored(0x00123456, r.trans, r.opaque, r.name.c_str(), r.stretch, r.corner));
        std::wstring shown = r.shown;
        if (const auto at = shown.find(L'~'); at != std::wstring::npos)
            shown.replace(at, 1, file.substr(0, std::max<std::size_t>(Text(g[idPicture]).size(), 4) - 3) + L"...");
        EXPECT_EQ(State(g), shown);
        g.End({'O'}, true);  // Alt+O: "&Ok"
        EXPECT_EQ(Read(), Stored(0x00123456, r.savedTrans, r.savedOpaque, r.name.c_str(), r.stretch, r.corner))
            << r.shown;
    }
}

// In process: every control with text in the message font; moved to a screen of another scale,
// the dialog takes the rectangle Windows suggests and lays its controls and their font out again
// at the new resolution; moved back, it looks exactly as one just opened, nothing of the larger
// drawing left.
TEST(Dialog, ANewResolutionLaysTheDialogOutAgainAndRepaintsIt) {
    frmConfig form;
    form.pop();
    HWND dialog = FindWindowExA(nullptr, nullptr, kDialog, nullptr), ok = GetDlgItem(dialog, IDOK);
    const auto font = [](HWND control) {  // face and height
        LOGFONTW f{};
        GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof f, &f);
        return std::wstring(f.lfFaceName) + L" " + std::to_wstring(f.lfHeight);
    };
    const auto client = [&] {  // its pixels once every waiting message is handled
        app::DoEvents();
        RECT r;
        GetClientRect(dialog, &r);
        MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&r), 2);
        return Shot(r).pixels;
    };
    NONCLIENTMETRICSW metrics{sizeof metrics};
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const std::wstring face = metrics.lfMessageFont.lfFaceName + std::wstring(L" ");
    const std::wstring message = face + std::to_wstring(metrics.lfMessageFont.lfHeight);
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))  // the scroll bar has no text
        if (c != GetDlgItem(dialog, idVarTrans)) {
            EXPECT_EQ(font(c), message) << "control " << GetDlgCtrlID(c);
        }
    std::vector<std::uint32_t> fresh;
    WaitFor([&] { return (fresh = client()) == client(); });
    RECT original, suggested{10, 20, 510, 800};
    GetWindowRect(dialog, &original);
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(Placed(nullptr, dialog), (Box{10, 20, 510, 800}));  // on the screen
    EXPECT_EQ(font(ok), face + std::to_wstring(2 * metrics.lfMessageFont.lfHeight));
    EXPECT_EQ(Placed(dialog, ok), (Box{336, 680, 466, 730}));  // 2520, 5100, 975 x 375 twips
    app::DoEvents();                                           // painted large
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&original));
    EXPECT_TRUE(WaitFor([&] { return client() == fresh; })) << "pixels unlike the dialog just opened";
    DestroyWindow(dialog);
}

// Cancel, Esc, the close box and the end of the session change nothing; nor does Ok where the key
// may only be read: it says it cannot save, and the dialog stays for Esc. Each way: the message
// sent, then the key pressed.
TEST(Dialog, EveryWayOutButOkChangesNothing) {
    const Snapshot stored = {{L"transvalue", Dw(40)}, {L"imagename", Sz(L"C:\\k.bmp")}};
    // clang-format off
    const struct { bool stored = false, readOnly = false; UINT message = 0; WPARAM w = 0; BYTE key = 0;
                   bool alt = false; } ways[] = {
        {.key = 'C', .alt = true}, {.stored = true, .key = VK_ESCAPE}, {.message = WM_SYSCOMMAND, .w = SC_CLOSE},
        {.stored = true, .readOnly = true, .key = VK_ESCAPE}, {.message = WM_ENDSESSION, .w = TRUE}};
    // clang-format on
    for (const auto& way : ways) {
        Session g(way.stored ? stored : Snapshot{}, "/c", way.readOnly);
        for (int id : {idCorners + 1, idChkOpaque}) ClickOn(g[id]);  // what Ok would store
        if (way.message) SendMessageTimeoutW(g.dialog, way.message, way.w, 0, SMTO_NORMAL, kPatience, nullptr);
        if (way.readOnly) {
            Answer(g.Open(IDOK), true);  // "cannot save"
            EXPECT_TRUE(IsWindowVisible(g.dialog));
        }
        if (way.key) Keys({way.key}, way.alt);
        EXPECT_EQ(g.ExitCode(), 0u);
        EXPECT_EQ(Read(), way.stored ? stored : kNoKey);
    }
}

// Each chooser starts from the stored value; a confirmed choice shows and is stored, a cancelled
// one changes nothing; a stored name the file chooser refuses to start from still opens it.
TEST(Dialog, ChoosersStartFromTheStoredValuesAndTheirChoicesShowAndAreStored) {
    Session g({{L"formcolor", Dw(0x00102030)}, {L"imagename", Sz(L"C:\\no|such.jpg")}});
    RECT box;
    GetWindowRect(g[idBoxColor], &box);
    for (bool ok : {false, true}) {
        HWND chooser = g.Open(idColourChange);
        for (int i = 0; i < 3; ++i) {  // red, green, blue: shown when the chooser opens fully
            HWND edit = GetDlgItem(chooser, 706 + i);
            EXPECT_EQ(Text(edit) + (IsWindowVisible(edit) ? L"" : L" hidden"), std::to_wstring(0x30 - 16 * i));
            SetWindowTextW(edit, std::to_wstring(10 + 10 * i).c_str());
        }
        Answer(chooser, ok);
        EXPECT_TRUE(WaitFor([&] { return Shot(box).Off(ok ? 0x0A141E : 0x302010) == 0; })) << "after Ok: " << ok;
    }
    HWND chooser = g.Open(idPictureChange);
    SetWindowTextW(GetDlgItem(chooser, 1148), DataPath(L"quadrants.gif").c_str());  // the file name box
    Answer(chooser, true);
    const std::wstring shown = L"50% Transparent | 0 greyed | 'quadrants.gif' picture | corner 0";
    EXPECT_TRUE(WaitFor([&] { return State(g) == shown; })) << State(g);
    ClickOn(g[idNoPicture]);
    g.End({'O'}, true);
    EXPECT_EQ(Read(), Stored(0x001E140A, 128, 0, L"", 0, 0));
}

}  // namespace
