// Velumbra at the display's resolution: these tests read the dots per inch they run at and
// hold at any of them; ctest runs them at 96, 144 and 192 dpi.
#include <cmath>
#include <cstdio>

#include "e2e.h"

namespace {

int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    return dpi;
}

// Rounded halves to even, as the program rounds.
long Even(double v) { return std::lrint(v); }

class Dpi : public ::testing::Test {
protected:
    void SetUp() override {
        e2e::ClearSettings();
        dpi_ = ScreenDpi();
        tpp_ = 1440.0 / dpi_;
        std::printf("[ info ] running at %d dpi, %.2f twips per pixel\n", dpi_, tpp_);
    }
    // The screen size in pixels as the corner test computes it: each operand rounded alone.
    long Pixels(int screen) const { return Even(screen * tpp_) / Even(tpp_); }
    int dpi_ = 96;
    double tpp_ = 15;
};

TEST_F(Dpi, SaverCoversTheScreenAndFiveMovesEndIt) {
    SetCursorPos(0, 0);
    e2e::Scr scr("/s");
    HWND hwnd = scr.WaitWindow(e2e::kSaverClass, 10000);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(e2e::WaitFor([&] { return (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }, 5000));
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYSCREEN));
    Sleep(150);
    // Neighbouring pixels are different positions in twips at any resolution.
    for (int i = 1; i <= 4; ++i) {
        SetCursorPos(200 + i, 200);
        Sleep(60);
    }
    Sleep(150);
    EXPECT_TRUE(scr.Running());
    SetCursorPos(210, 200);
    EXPECT_TRUE(scr.Exited(5000));
}

TEST_F(Dpi, CornerVetoUsesTheScreensTwipsPerPixel) {
    const long w = Pixels(GetSystemMetrics(SM_CXSCREEN)), h = Pixels(GetSystemMetrics(SM_CYSCREEN));
    struct Case {
        DWORD corner;
        POINT p;
        bool veto;
    } cases[] = {
        {3, {w - 10, h - 10}, true}, {3, {w - 11, h - 10}, false}, {3, {1023, 767}, true},
        {4, {10, 10}, true},         {4, {11, 10}, false},
        {1, {10, h - 10}, true},     {1, {10, h - 11}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "corner " << c.corner << " at " << c.p.x << "," << c.p.y);
        e2e::PutDword("disablecorner", c.corner);
        SetCursorPos(c.p.x, c.p.y);
        e2e::Scr scr("/s");
        if (c.veto) {
            EXPECT_TRUE(scr.ExitedWithoutWindow(5000));
        } else {
            ASSERT_NE(scr.WaitWindow(e2e::kSaverClass, 10000), nullptr);
            e2e::Click(c.p.x, c.p.y, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
            EXPECT_TRUE(scr.Exited(5000));
        }
    }
}

TEST_F(Dpi, DialogScalesAndNoCaptionIsCutOff) {
    e2e::Scr scr("/c");
    HWND dialog = scr.WaitWindow(e2e::kDialogClass, 10000);
    ASSERT_NE(dialog, nullptr);
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, std::lround(3615 / tpp_));
    EXPECT_EQ(client.bottom, std::lround(5565 / tpp_));

    // The dialog's font is the system's message font, scaled for the resolution like ours.
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT font = CreateFontIndirectA(&metrics.lfMessageFont);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    const int mark = GetSystemMetrics(SM_CXMENUCHECK);
    int checked = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char text[128] = {}, cls[32] = {};
        SendMessageA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        GetClassNameA(child, cls, sizeof cls);
        if (text[0] == '\0' || std::string(cls) == "Edit") continue;
        RECT extent{0, 0, 0, 0};
        DrawTextA(dc, text, -1, &extent, DT_CALCRECT | DT_SINGLELINE);
        RECT r;
        GetWindowRect(child, &r);
        const LONG type = GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK;
        const bool button = std::string(cls) == "Button";
        const bool withMark = button && (type == BS_CHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTOCHECKBOX ||
                                         type == BS_AUTORADIOBUTTON);
        // Room for the text: the control less its mark, or less the frame's and the
        // button's own edges.
        const long room = (r.right - r.left) - (withMark ? mark + 4 : button ? 8 : 0);
        SCOPED_TRACE(text);
        EXPECT_GT(extent.right, 0);
        EXPECT_LE(extent.right, room);
        EXPECT_LE(extent.bottom, r.bottom - r.top + (type == BS_GROUPBOX ? 0 : 2));
        ++checked;
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    EXPECT_EQ(checked, 15);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(scr.Exited(5000));
}

}  // namespace
