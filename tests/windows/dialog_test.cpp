// The settings dialog end to end: layout, keys, choosers, what it shows and stores; in process, a
// change of resolution.
#include <cmath>

#include "config/dialog_layout.h"
#include "config/frmConfig.h"
#include "platform/event_loop.h"
#include "windows/harness.h"

using namespace dialog;

namespace {

constexpr int idCorners = kOptDisable.first, idPicture = kOptImage.first + PictureOption;
constexpr int idNoPicture = kOptImage.first + NoPicture;
constexpr int idColourChange = idCommand1 + ColourChooser, idPictureChange = idCommand1 + PictureChooser;

// All the dialog shows of the settings but the colour, in one line.
std::wstring State(const Session& g) {
    const bool picture = g.Checked(idPicture);
    std::wstring text = std::to_wstring(SendMessageW(g[idVarTrans], SBM_GETPOS, 0, 0)) + L" " + Text(g[idLblTrans]) +
                        L" | " + Text(g[idTxtFadeTime]) + (g.Checked(idChkOpaque) ? L" on" : L" off") +
                        (IsWindowEnabled(g[idTxtFadeTime]) ? L"" : L" greyed") + L" | '" + Text(g[idPicture]) +
                        (picture == g.Checked(idNoPicture) ? L"' both or neither"
                         : picture                         ? L"' picture"
                                                           : L"' none") +
                        (g.Checked(idChkStretch) ? L" stretch" : L"") + L" | corner";
    for (int c = 0; c < kOptDisable.count; ++c) text += g.Checked(idCorners + c) ? L" " + std::to_wstring(c) : L"";
    return text;
}

// The whole stored settings with these values.
Snapshot Stored(std::uint32_t formcolor, std::uint32_t trans, std::uint32_t opaque, const std::wstring& name,
                int stretch, int corner) {
    return {{L"formcolor", Dw(formcolor)}, {L"transvalue", Dw(trans)},     {L"opaquetime", Dw(opaque)},
            {L"imagename", Sz(name)},      {L"imagestretch", Dw(stretch)}, {L"disablecorner", Dw(corner)}};
}

// The dialog as designed: each control's class, text, frame and place in twips within it.
struct Designed {
    int id;
    const char* windowClass;
    const wchar_t* text;
    int frame, left, top, width, height;
};
constexpr int idCornerFrame = idFrame3 + CornerFrame, idPictureFrame = idFrame3 + PictureFrame;
constexpr Designed kDesigned[] = {
    {idCornerFrame, "Button", L"Disabling Corner", 0, 360, 3900, 2895, 1035},
    {idCorners + 0, "Button", L"(None)", idCornerFrame, 1320, 480, 1095, 255},
    {idCorners + 3, "Button", L"", idCornerFrame, 840, 660, 255, 255},
    {idCorners + 2, "Button", L"", idCornerFrame, 840, 300, 255, 255},
    {idCorners + 1, "Button", L"", idCornerFrame, 420, 660, 255, 255},
    {idCorners + 4, "Button", L"", idCornerFrame, 420, 300, 255, 255},
    {idPictureFrame, "Button", L"Background Image", 0, 360, 2760, 2895, 1035},
    {idNoPicture, "Button", L"(None)", idPictureFrame, 1860, 240, 975, 255},
    {idPicture, "Button", L"", idPictureFrame, 120, 240, 1695, 255},
    {idChkStretch, "Button", L"Stretch Image", idPictureFrame, 1380, 660, 1455, 255},
    {idPictureChange, "Button", L"Cha&nge", idPictureFrame, 120, 600, 1095, 375},
    {IDCANCEL, "Button", L"&Cancel", 0, 1320, 5100, 975, 375},
    {IDOK, "Button", L"&Ok", 0, 2520, 5100, 975, 375},
    {idAbout, "Button", L"&About", 0, 120, 5100, 975, 375},
    {idFrame2, "Button", L"Alpha Transparency", 0, 360, 960, 2895, 1695},
    {idTxtFadeTime, "Edit", L"0", idFrame2, 960, 1260, 675, 285},
    {idChkOpaque, "Button", L"Transition to Opaque", idFrame2, 120, 960, 2175, 255},
    {idVarTrans, "ScrollBar", L"", idFrame2, 120, 240, 2655, 255},
    {idLblTrans, "Static", L"50% Transparent", idFrame2, 240, 600, 2415, 255},
    {idLabel1, "Static", L"Seconds", idFrame2, 1740, 1320, 975, 255},
    {idFrame1, "Button", L"Fade to Color", 0, 360, 120, 2895, 735},
    {idColourChange, "Button", L"C&hange", idFrame1, 1200, 240, 1575, 375},
    {idBoxColor, "Static", L"", idFrame1, 120, 240, 855, 375},
};

// Twips as pixels at the screen's resolution.
long Px(int twips) {
    const WindowDC screen(nullptr);
    return std::lround(twips * GetDeviceCaps(screen.get(), LOGPIXELSX) / 1440.0);
}

// Each control of the designed class and text where it belongs; the window of the designed size,
// centred on the work area but never above or left of it.
TEST(AnyDpi, DialogLayout) {
    Session g({}, "/C:1234");
    EXPECT_EQ(Text(g.dialog), L"Configure Velumbra");
    EXPECT_EQ(GetWindowLongW(g.dialog, GWL_STYLE) & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU),
              WS_SYSMENU);
    RECT client, frame, work;
    GetClientRect(g.dialog, &client);
    GetWindowRect(g.dialog, &frame);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(client.right, Px(3615));
    EXPECT_EQ(client.bottom, Px(5565));
    EXPECT_EQ(frame.left, work.left + std::max(0L, (work.right - work.left - frame.right + frame.left) / 2));
    EXPECT_EQ(frame.top, work.top + std::max(0L, (work.bottom - work.top - frame.bottom + frame.top) / 2));
    for (const Designed& d : kDesigned) {
        HWND control = g[d.id];
        char windowClass[32] = {};
        GetClassNameA(control, windowClass, sizeof windowClass);
        EXPECT_STREQ(windowClass, d.windowClass) << "control " << d.id;
        EXPECT_EQ(Text(control), d.text) << "control " << d.id;
        RECT at;
        GetWindowRect(control, &at);
        MapWindowPoints(nullptr, g.dialog, reinterpret_cast<POINT*>(&at), 2);
        const Designed* in = d.frame ? &*std::ranges::find(kDesigned, d.frame, &Designed::id) : nullptr;
        const long left = Px(d.left) + (in ? Px(in->left) : 0), top = Px(d.top) + (in ? Px(in->top) : 0);
        const RECT want{left, top, left + Px(d.width), top + Px(d.height)};
        EXPECT_TRUE(EqualRect(&at, &want))
            << "control " << d.id << " at " << at.left << "," << at.top << " to " << at.right << "," << at.bottom;
    }
    g.End({VK_ESCAPE});
}

// Tab goes through every stop and back; "&About" leaves the dialog open; Enter presses the push
// button that has the focus, else "&Ok", also after the focus was on "&About".
TEST(Dialog, TabAboutAndEnter) {
    Session g({{L"opaquetime", Dw(10)}, {L"disablecorner", Dw(2)}});  // the fade box enabled, a corner chosen
    for (int id : {idColourChange, idVarTrans, IDOK, IDCANCEL, idAbout, idChkOpaque, idTxtFadeTime, idPictureChange,
                   idChkStretch, idNoPicture, idCorners + 2, idColourChange, idVarTrans, IDOK, IDCANCEL}) {
        EXPECT_TRUE(WaitFor([&] { return Focus(g.dialog) == g[id]; })) << "control " << id;
        Keys({VK_TAB});
    }
    EXPECT_TRUE(WaitFor([&] { return Focus(g.dialog) == g[idAbout]; }));
    Keys({VK_RETURN});
    HWND about = g.Window({kBox});
    EXPECT_EQ(Text(about), L"Velumbra 1.6.13 for Win2K");
    Answer(about, true);
    EXPECT_TRUE(IsWindowVisible(g.dialog));
    Keys({VK_TAB, VK_TAB});  // on to the fade time
    EXPECT_TRUE(WaitFor([&] { return Focus(g.dialog) == g[idTxtFadeTime]; }));
    // The dialog manager's default button is "&Ok", and no control has its "none", id 0.
    EXPECT_EQ(SendMessageW(g.dialog, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
    EXPECT_EQ(GetDlgItem(g.dialog, 0), nullptr);
    g.End({VK_RETURN});
    EXPECT_EQ(Read()[L"opaquetime"], Dw(10));
}

// What the dialog shows of stored values, and what Ok then stores.
TEST(Dialog, ShowsTheStoredSettingsAndOkStoresThem) {
    constexpr std::uint32_t kMinus30 = -30u, kMost = 0x80000000, kMinusMost = -2147483647u;
    // clang-format off
    const struct { std::uint32_t trans, opaque; const wchar_t* name; int stretch, corner; const wchar_t* shown;
                   std::uint32_t savedTrans, savedOpaque; } rows[] = {
        {128, 10, L"C:\\x\\Tom & Jerry.jpg", 1, 2,
         L"16 50% Transparent | 10 on | 'Tom && Jerry.jpg' picture stretch | corner 2", 128, 10},
        {5, kMinus30, L"plain.bmp", 0, 0, L"0 0% Transparent | 30 off greyed | 'plain.bmp' picture | corner 0", 0, kMinus30},
        {255, kMost, L"", 0, 4, L"31 97% Transparent | 2147483647 off greyed | '' none | corner 4", 248, kMinusMost}};
    // clang-format on
    for (const auto& r : rows) {
        Session g(Stored(0x00123456, r.trans, r.opaque, r.name, r.stretch, r.corner));
        EXPECT_EQ(State(g), r.shown);
        EXPECT_EQ(Text(g[idColourChange]), L"C&hange");  // access keys kept
        EXPECT_EQ(Text(g[idPictureChange]), L"Cha&nge");
        g.End({'O'}, true);  // Alt+O: "&Ok"
        EXPECT_EQ(Read(), Stored(0x00123456, r.savedTrans, r.savedOpaque, r.name, r.stretch, r.corner)) << r.shown;
    }
}

// Digits only in the fade time, six at most; text that is no whole number, as a paste puts it
// past the key filter, refused and selected by Ok; an arrow key in the corners moves by place and
// chooses; the scroll bar moves a step or a page; Enter stores exactly the six values.
TEST(Dialog, TypingPastingScrollingAndAnArrowKeyThenEnterStoreExactlyTheSixValues) {
    Session g({});
    PostMessageW(g.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(g[idCorners]), TRUE);
    Keys({VK_DOWN});  // down and to the left from "(None)": the bottom-right corner
    ClickOn(g[idChkOpaque]);
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(g[idTxtFadeTime]); }));
    SendMessageW(g.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(g[idTxtFadeTime]), TRUE);  // its text selected
    Keys({'9', 'A', VK_OEM_MINUS, '0', VK_SPACE, VK_BACK, '1', '2', '3', '4', '5'});
    EXPECT_TRUE(WaitFor([&] { return Text(g[idTxtFadeTime]).size() == 6; }));
    EXPECT_EQ(Text(g[idTxtFadeTime]), L"901234");
    SetWindowTextW(g[idTxtFadeTime], L"7x-1.5");
    Keys({'O'}, true);  // Alt+O: "&Ok"
    DWORD from = 1, to = 0;
    EXPECT_TRUE(WaitFor([&] {
        SendMessageW(g[idTxtFadeTime], EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        return Focus(g.dialog) == g[idTxtFadeTime] && from == 0 && to == 6;
    })) << "not selected: "
        << from << " to " << to;
    EXPECT_TRUE(g.Running());
    EXPECT_EQ(Read(), kNoKey);
    SetWindowTextW(g[idTxtFadeTime], L"42");
    ClickOn(g[idVarTrans]);                        // the thumb
    Keys({VK_RIGHT, VK_RIGHT, VK_NEXT, VK_LEFT});  // an arrow moves one step, a page four
    const std::wstring shown = L"21 66% Transparent | 42 on | '' none | corner 3";
    EXPECT_TRUE(WaitFor([&] { return State(g) == shown; }));
    EXPECT_EQ(State(g), shown);
    g.End({VK_RETURN});  // "&Ok", though the scroll bar has the focus
    EXPECT_EQ(Read(), Stored(0, 168, 42, L"", 0, 3));
}

// In process: every control in the message font; moved to a screen of another scale, the dialog
// takes the rectangle Windows suggests and lays its controls and their font out again at the new
// resolution; moved back, it looks exactly as one just opened, nothing of the larger drawing left.
TEST(Dialog, ANewResolutionLaysTheDialogOutAgainAndRepaintsIt) {
    frmConfig form;
    form.pop();
    HWND dialog = FindWindowExA(nullptr, nullptr, kDialog, nullptr);
    const auto font = [&](int id) {
        LOGFONTW f{};
        GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(GetDlgItem(dialog, id), WM_GETFONT, 0, 0)), sizeof f, &f);
        return f;
    };
    const auto client = [&] {  // its pixels once every waiting message is handled
        app::DoEvents();
        RECT r;
        GetClientRect(dialog, &r);
        MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&r), 2);
        const Shot shot;
        std::vector<std::uint32_t> pixels;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) pixels.push_back(shot(x, y));
        return pixels;
    };
    NONCLIENTMETRICSW metrics{sizeof metrics};
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    for (const Designed& d : kDesigned) {  // but the scroll bar, which has no text
        if (d.id == idVarTrans) continue;
        EXPECT_STREQ(font(d.id).lfFaceName, metrics.lfMessageFont.lfFaceName) << "control " << d.id;
        EXPECT_EQ(font(d.id).lfHeight, metrics.lfMessageFont.lfHeight) << "control " << d.id;
    }
    std::vector<std::uint32_t> fresh;
    WaitFor([&] { return (fresh = client()) == client(); });
    RECT original, suggested{10, 20, 510, 800}, frame, ok;
    GetWindowRect(dialog, &original);
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(dialog, &frame);
    EXPECT_TRUE(EqualRect(&frame, &suggested));
    EXPECT_EQ(font(IDOK).lfHeight, 2 * metrics.lfMessageFont.lfHeight);
    GetWindowRect(GetDlgItem(dialog, IDOK), &ok);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&ok), 2);
    const RECT designed{336, 680, 466, 730};  // 2520, 5100, 975 x 375 twips
    EXPECT_TRUE(EqualRect(&ok, &designed)) << ok.left << "," << ok.top << " to " << ok.right << "," << ok.bottom;
    app::DoEvents();  // painted large
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&original));
    std::vector<std::uint32_t> now;
    WaitFor([&] { return (now = client()) == fresh; });
    std::size_t differ = now.size() == fresh.size() ? 0 : now.size();
    for (std::size_t i = 0; i < std::min(now.size(), fresh.size()); ++i) differ += now[i] != fresh[i];
    EXPECT_EQ(differ, 0u) << "pixels unlike the dialog just opened";
    DestroyWindow(dialog);
}

// Cancel, Esc, the close box and the end of the session change nothing; nor does Ok where the key
// may only be read: it says it cannot save, and the dialog stays for Esc.
TEST(Dialog, EveryWayOutButOkChangesNothing) {
    const Snapshot stored = {{L"transvalue", Dw(40)}, {L"imagename", Sz(L"C:\\k.bmp")}};
    const struct {
        bool stored, readOnly;
        std::function<void(Session&)> out;
    } ways[] = {
        {false, false, [](Session&) { Keys({'C'}, true); }},  // Alt+C: "&Cancel"
        {true, false, [](Session&) { Keys({VK_ESCAPE}); }},
        {false, false, [](Session& g) { PostMessageW(g.dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},  // the close box
        {true, true,
         [](Session& g) {
             Keys({'O'}, true);
             Answer(g.Window({kBox}), true);
             EXPECT_TRUE(IsWindowVisible(g.dialog));
             Keys({VK_ESCAPE});
         }},
        {false, false, [](Session& g) {
             SendMessageTimeoutW(g.dialog, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, kPatience, nullptr);
         }}};
    for (const auto& way : ways) {
        Session g(way.stored ? stored : Snapshot{}, "/c", way.readOnly);
        ClickOn(g[idCorners + 1]);
        ClickOn(g[idChkOpaque]);
        way.out(g);
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
    EXPECT_EQ(Shot().Off(box, 0x302010), 0) << "the colour box, edge to edge";
    for (bool ok : {false, true}) {
        HWND chooser = g.Open(idColourChange);
        for (int i = 0; i < 3; ++i) {  // red, green, blue: shown when the chooser opens fully
            HWND edit = GetDlgItem(chooser, 706 + i);
            EXPECT_TRUE(IsWindowVisible(edit)) << 706 + i;
            EXPECT_EQ(Text(edit), std::to_wstring(0x30 - 16 * i));
            SetWindowTextW(edit, std::to_wstring(10 + 10 * i).c_str());
        }
        Answer(chooser, ok);
        const std::uint32_t shown = ok ? 0x0A141E : 0x302010;
        EXPECT_TRUE(WaitFor([&] { return Shot().Off(box, shown) == 0; })) << "after " << (ok ? "Ok" : "Cancel");
    }
    HWND chooser = g.Open(idPictureChange);
    SetWindowTextW(GetDlgItem(chooser, 1148), DataPath(L"quadrants.gif").c_str());  // the file name box
    Answer(chooser, true);
    EXPECT_TRUE(WaitFor([&] { return g.Checked(idPicture); }));
    EXPECT_EQ(State(g), L"16 50% Transparent | 0 off greyed | 'quadrants.gif' picture | corner 0");
    ClickOn(g[idNoPicture]);
    g.End({'O'}, true);
    EXPECT_EQ(Read()[L"formcolor"], Dw(0x001E140A));
    EXPECT_EQ(Read()[L"imagename"], Sz(L""));
}

// The caption-less picture option opens the picture chooser; cancelled, "(None)" is chosen again
// and has the focus, so coming back to the window opens nothing, though Windows clicks an option
// button that gets the focus and is not chosen (sent here as Windows sends it).
TEST(Dialog, APictureOptionOpensItsChooserOnlyOnPurpose) {
    Session g({});
    Answer(g.Open(idPicture), false);
    EXPECT_TRUE(WaitFor([&] { return g.Checked(idNoPicture); }));
    HWND focus = Focus(g.dialog);
    EXPECT_EQ(focus, g[idNoPicture]);
    const bool option = (GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK) == BS_RADIOBUTTON;
    if (option && SendMessageW(focus, BM_GETCHECK, 0, 0) != BST_CHECKED)
        SendMessageTimeoutW(g.dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                            reinterpret_cast<LPARAM>(focus), SMTO_NORMAL, kPatience, nullptr);
    const std::vector<HWND> reopened = Windows(g.Pid(), {kBox});
    EXPECT_EQ(reopened.size(), 0u) << "the picture chooser opened again";
    for (HWND chooser : reopened) Answer(chooser, false);
    g.End({VK_ESCAPE});
}

// However long the name, the dialog shows at once, the name shortened by whole characters: the
// start of the file name (at least one), then "..."; Ok stores it unchanged.
TEST(Faults, LongNameOutsideAsciiShowsShortenedAndSurvivesOk) {
    std::wstring file;
    while (file.size() < 200000) file += L"\u00E9t\u00E9-\u65E5\u672C-\u041C\u043E\u0441\u043A\u0432\u0430-\U0001F600-";
    const Value name = Sz(L"C:\\Bilder\\" + file + L".jpg");
    Session g({{L"imagename", name}});
    const std::wstring shown = Text(g[idPicture]);
    EXPECT_EQ(shown, file.substr(0, std::max<std::size_t>(shown.size(), 4) - 3) + L"...");
    g.End({'O'}, true);
    EXPECT_EQ(Read()[L"imagename"], name);
}

}  // namespace
