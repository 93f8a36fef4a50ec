// The dimming screen from outside: its window, its pixels, its fade and how it ends.
#include <chrono>
#include <cstdio>

#include "e2e.h"

namespace {

using Clock = std::chrono::steady_clock;

// Moves the pointer and gives the saver time to see the move on its own (moves waiting
// together in a queue are merged into one).
void MoveTo(int x, int y) {
    SetCursorPos(x, y);
    Sleep(60);
}

bool PointerShowing() {
    CURSORINFO info{};
    info.cbSize = sizeof info;
    GetCursorInfo(&info);
    return (info.flags & CURSOR_SHOWING) != 0;
}

class Saver : public ::testing::Test {
protected:
    void SetUp() override {
        e2e::ClearSettings();
        SetCursorPos(0, 0);  // the move that comes with the window then repeats (0, 0)
    }
    // Starts the saver and waits until its window is layered with its first alpha.
    HWND Start(e2e::Scr& scr, BYTE alpha, double* milliseconds = nullptr) {
        const auto start = Clock::now();
        HWND hwnd = scr.WaitWindow(e2e::kSaverClass, 10000);
        EXPECT_NE(hwnd, nullptr);
        if (!hwnd) return nullptr;
        // The layered style comes a moment before the alpha: wait for both.
        EXPECT_TRUE(e2e::WaitFor([&] { return (e2e::ReadLayered(hwnd).flags & LWA_ALPHA) != 0; }, 5000));
        if (milliseconds) *milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const e2e::Layered l = e2e::ReadLayered(hwnd);
        EXPECT_EQ(l.alpha, alpha);
        EXPECT_EQ(l.flags & LWA_ALPHA, static_cast<DWORD>(LWA_ALPHA));
        Sleep(150);  // painted, and the move that comes with the window handled
        return hwnd;
    }
    // Ends the saver with a key and checks it is gone.
    void EndWithKey(e2e::Scr& scr) {
        e2e::Keys({VK_SPACE});
        EXPECT_TRUE(scr.Exited(5000));
        EXPECT_EQ(scr.ExitCode(), 0u);
    }
};

TEST_F(Saver, WindowCoversTheScreenTopmostLayeredWithTheAlphaPointerHidden) {
    for (std::uint32_t trans : {0u, 77u, 128u, 255u}) {
        SCOPED_TRACE(trans);
        e2e::PutDword("transvalue", trans);
        e2e::PutDword("formcolor", 0x00336699);
        const e2e::Snapshot before = e2e::ReadSettings();
        e2e::Scr scr("/s");
        double shown = 0;
        HWND hwnd = Start(scr, static_cast<BYTE>(255 - trans), &shown);
        if (!hwnd) return;
        std::printf("[ info ] transvalue %u: start to visible layered window %.0f ms\n", trans, shown);
        EXPECT_TRUE(IsWindowVisible(hwnd));
        EXPECT_NE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
        EXPECT_NE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);  // no taskbar button
        EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
        RECT r{};
        GetWindowRect(hwnd, &r);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
        EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
        EXPECT_FALSE(PointerShowing());
        const auto pressed = Clock::now();
        EndWithKey(scr);
        std::printf("[ info ] key press to process exit %.0f ms\n",
                    std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
        EXPECT_EQ(e2e::ReadSettings(), before);
        EXPECT_TRUE(PointerShowing());
    }
}

TEST_F(Saver, LeavesTheChoosersDllUnloaded) {
    // comdlg32 and what it brings (shell, printing) are for the settings dialog alone.
    e2e::Scr scr("/s");
    if (!Start(scr, 127)) return;
    EXPECT_TRUE(e2e::HasModule(scr.Handle(), "user32.dll"));
    EXPECT_FALSE(e2e::HasModule(scr.Handle(), "comdlg32.dll"));
    EndWithKey(scr);
}

TEST_F(Saver, TintAndPictureLandWhereExpected) {
    // 1024 x 768 pixels at 15 twips each. Opaque, so the screenshot shows the window's own
    // pixels; the tint 0x00336699 is red 0x99, green 0x66, blue 0x33.
    const std::uint32_t tint = 0x996633;
    e2e::PutDword("formcolor", 0x00336699);
    e2e::PutDword("transvalue", 0);
    struct Probe {
        int x, y;
        std::uint32_t rgb;
    };
    struct Case {
        const char* file;
        std::uint32_t stretch;
        std::vector<Probe> probes;
    } cases[] = {
        // 64 x 48 quadrants, own size: centred at (480, 360).
        {"quadrants.bmp", 0,
         {{2, 2, tint}, {479, 380, tint}, {544, 380, tint}, {500, 359, tint}, {500, 408, tint},
          {480, 360, 0xFF0000}, {496, 372, 0xFF0000}, {528, 372, 0x00FF00}, {543, 360, 0x00FF00},
          {496, 396, 0x0000FF}, {480, 407, 0x0000FF}, {528, 396, 0xFFFFFF}, {543, 407, 0xFFFFFF}}},
        // 300 x 100 stretched: full width, 341 rows from row 213; its 10-pixel blue corner
        // becomes about 34 pixels.
        {"wide.bmp", 1,
         {{512, 211, tint}, {512, 555, tint}, {512, 216, 0xFFCC00}, {512, 552, 0xFFCC00}, {1020, 380, 0xFFCC00},
          {10, 225, 0x0066FF}, {60, 225, 0xFFCC00}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        e2e::PutText("imagename", e2e::TestData(c.file));
        e2e::PutDword("imagestretch", c.stretch);
        e2e::Scr scr("/s");
        if (!Start(scr, 255)) return;
        const e2e::Screenshot shot = e2e::CaptureScreen();
        for (const Probe& p : c.probes) {
            SCOPED_TRACE(testing::Message() << "pixel " << p.x << "," << p.y);
            EXPECT_EQ(shot.At(p.x, p.y), p.rgb);
        }
        EndWithKey(scr);
    }
}

TEST_F(Saver, FadeRisesByItsStepAtItsIntervalToExactly255) {
    struct Case {
        std::uint32_t trans, seconds;
        int step, interval;
    } cases[] = {{255, 1, 26, 104}, {80, 3, 4, 138}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.trans);
        e2e::PutDword("transvalue", c.trans);
        e2e::PutDword("opaquetime", c.seconds);
        e2e::Scr scr("/s");
        const int first = 255 - static_cast<int>(c.trans);
        HWND hwnd = Start(scr, static_cast<BYTE>(first));
        if (!hwnd) return;
        // Sample the alpha from outside and note each change and when it came.
        std::vector<int> alphas{first};
        std::vector<double> times;
        const auto start = Clock::now();
        while (alphas.back() < 255 && Clock::now() - start < std::chrono::seconds(10)) {
            const int alpha = e2e::ReadLayered(hwnd).alpha;
            if (alpha != alphas.back()) {
                alphas.push_back(alpha);
                times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
            Sleep(1);
        }
        std::vector<int> expected;
        for (int a = first; a < 255; a += c.step) expected.push_back(a);
        expected.push_back(255);
        EXPECT_EQ(alphas, expected);
        if (times.size() > 2) {
            const double mean = (times.back() - times.front()) / static_cast<double>(times.size() - 1);
            std::printf("[ info ] step %d: mean interval %.1f ms (set %d ms)\n", c.step, mean, c.interval);
            EXPECT_NEAR(mean, c.interval, c.interval * 0.25);
        }
        Sleep(3 * c.interval);
        EXPECT_EQ(e2e::ReadLayered(hwnd).alpha, 255);
        EndWithKey(scr);
    }
}

TEST_F(Saver, EndsOnAClick) {
    for (auto buttons : {std::pair{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
                         std::pair{MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP}}) {
        e2e::Scr scr("/s");
        if (!Start(scr, 127)) return;
        e2e::Click(0, 0, buttons.first, buttons.second);  // where the pointer already is
        EXPECT_TRUE(scr.Exited(5000));
        EXPECT_EQ(scr.ExitCode(), 0u);
    }
}

TEST_F(Saver, FiveMovesInARowEndItButARepeatStartsTheCountAgain) {
    e2e::PutText("imagename", e2e::TestData("quadrants.bmp"));  // some moves land on the picture
    e2e::Scr scr("/s");
    HWND hwnd = Start(scr, 127);
    if (!hwnd) return;
    const POINT moves[] = {{100, 100}, {200, 150}, {490, 370}, {520, 380}};
    for (POINT p : moves) MoveTo(p.x, p.y);
    // The same position once more: a move event that brings nothing new.
    PostMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(520, 380));
    Sleep(60);
    const POINT more[] = {{530, 390}, {600, 400}, {700, 500}, {10, 700}};
    for (POINT p : more) MoveTo(p.x, p.y);
    Sleep(200);
    EXPECT_TRUE(scr.Running()) << "four moves, a repeat and four more must not end the saver";
    EXPECT_FALSE(PointerShowing());
    MoveTo(300, 300);
    EXPECT_TRUE(scr.Exited(5000));
    EXPECT_EQ(scr.ExitCode(), 0u);
    EXPECT_FALSE(IsWindow(hwnd));
}

}  // namespace
