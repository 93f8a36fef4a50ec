// The saver end to end: its window, what ends it, the fade.
#include <algorithm>

#include "windows/harness.h"

namespace {

// At the screen's resolution (ctest runs the AnyDpi tests at 96, 144 and 192 dots per inch):
// the window, its alpha and the hidden pointer; any key or button, on the tint or on the
// picture, or the wheel ends it, and so do five pointer moves to new places in a row, but not
// three; another window taking the activation, a polite close and the end of the session too.
TEST(AnyDpi, SaverWindowAndWhatEndsIt) {
    const auto click = [](int x, int y, DWORD button, DWORD data = 0) {
        return [=](Scr&, HWND) { Click(x, y, button, data); };
    };
    const Step wheel = [](Scr&, HWND) { mouse_event(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(-WHEEL_DELTA), 0); };
    const Step activation = [](Scr& scr, HWND) {
        HWND other = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, 0, 0, 0, 0);
        EXPECT_TRUE(SetForegroundWindow(other));
        EXPECT_EQ(scr.ExitCode(), 0u);
        DestroyWindow(other);
    };
    // One pixel apart, new places at any resolution, onto the picture, as Windows sends them. A
    // move Windows sends as the window appears may come among them.
    const Step moves = [](Scr&, HWND window) {
        const auto move = [&](int x) {
            return SendMessageTimeoutW(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, 370), SMTO_NORMAL, kPatience, nullptr);
        };
        for (int x : {477, 478, 479}) EXPECT_NE(move(x), 0) << "the move to " << x << " ended the saver";
        move(480);
        move(481);
    };
    const Step close = [](Scr&, HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); };  // Task Manager, taskkill
    const Step signOut = [](Scr&, HWND window) {  // what Windows sends as the user signs out
        DWORD_PTR agreed = FALSE;
        SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, kPatience, &agreed);
        EXPECT_EQ(agreed, static_cast<DWORD_PTR>(TRUE));
        SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, kPatience, nullptr);
    };
    // The last row: a key that may only be read is read.
    // clang-format off
    const struct { int trans; const char* args; Step end; bool readOnly = false; } rows[] = {
        {0, "/s", {}}, {77, "/S extra", click(0, 0, MOUSEEVENTF_LEFTDOWN)},
        {128, "/s", click(0, 0, MOUSEEVENTF_RIGHTDOWN)}, {255, "/s", click(0, 0, MOUSEEVENTF_MIDDLEDOWN)},
        {128, "/s", click(500, 380, MOUSEEVENTF_LEFTDOWN)}, {128, "", moves}, {128, "/s", wheel},
        {128, "/s", click(0, 0, MOUSEEVENTF_XDOWN, XBUTTON2)}, {128, "/s", activation}, {128, "/s", close},
        {128, "/s", signOut}, {40, "/s", {}, true}};
    // clang-format on
    const Box screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    for (const auto& r : rows) {
        const Snapshot settings = {{L"transvalue", Dw(r.trans)}, {L"imagename", Sz(DataPath(L"quadrants.bmp"))}};
        RunSaver(
            settings,
            [&](Scr&, HWND window) {
                EXPECT_EQ(Placed(nullptr, window), screen);
                EXPECT_EQ(Placed(window, window), screen);  // all of it client area
                EXPECT_FALSE(PointerShowing());
                EXPECT_EQ(Alpha(window), 255 - r.trans);
                // Topmost, with no taskbar button, caption or frame.
                const LONG ex = GetWindowLongW(window, GWL_EXSTYLE);
                EXPECT_EQ(ex & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_APPWINDOW), WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
                EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
            },
            r.end, r.args, r.readOnly);
    }
}

// 26 a tick from 0: each alpha seen from outside is one of 26, 52, ... 234, and then exactly 255.
TEST(Saver, FadeRisesByItsStepToExactly255) {
    RunSaver({{L"transvalue", Dw(255)}, {L"opaquetime", Dw(1)}}, [](Scr&, HWND window) {
        std::vector<int> seen = {Alpha(window)};
        WaitFor([&] {
            if (Alpha(window) != seen.back()) seen.push_back(Alpha(window));
            return seen.back() == 255;
        });
        std::vector<int> steps;
        for (int a = 0; a < 255 + 26; a += 26) steps.push_back(std::min(a, 255));
        EXPECT_TRUE(std::ranges::includes(steps, seen)) << testing::PrintToString(seen);
        EXPECT_EQ(seen.back(), 255);
    });
}

}  // namespace
