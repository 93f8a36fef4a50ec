#include "fixture.h"
#include "screen/frmMain.h"

namespace {

const std::string kHwnd = "4660";  // the headless window handle, 0x1234

class Saver : public HostTest {
protected:
    frmMain& Start(settings::SettingsRecord s) {
        settings::Current() = std::move(s);
        frmMain& form = forms::LoadForm<frmMain>();
        log.Clear();
        form.doSS();
        return form;
    }
};

TEST_F(Saver, SetUpCallsInOrder) {
    window.exStyle = 0x88;  // other extended style bits stay
    frmMain& form = Start({0x00FF8040, 128, 0, "", 0, 0});
    EXPECT_EQ(log.Entries(), (std::vector<std::string>{
                                 "Show frmMain",
                                 "SetWindowPos(" + kHwnd + ",-1,0,0,0,0,3)",
                                 "ShowCursor(0)",
                                 "GetWindowLongA(" + kHwnd + ",-20)",
                                 "SetWindowLongA(" + kHwnd + ",-20," + std::to_string(0x88 | 0x80000) + ")",
                                 "SetLayeredWindowAttributes(" + kHwnd + ",0,127,2)",
                             }));
    EXPECT_EQ(form.BackColor(), 0x00FF8040u);
    EXPECT_EQ(form.WindowState(), 2);
    EXPECT_FALSE(form.tmrOpaque.Enabled());
    EXPECT_EQ(form.img.GetPicture(), nullptr);
    EXPECT_EQ(form.img.Width(), 3555);
}

TEST_F(Saver, AlphaAndWhetherTheFadeRuns) {
    struct Case {
        std::int32_t transvalue, opaquetime;
        int alpha;
        bool fades;
    } cases[] = {
        {0, 60, 255, false}, {255, 0, 0, false}, {255, 1, 0, true}, {128, -30, 127, false}, {1, 1, 254, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.transvalue << "/" << c.opaquetime);
        frmMain& form = Start({0, c.transvalue, c.opaquetime, "", 0, 0});
        EXPECT_EQ(form.curAlpha, c.alpha);
        EXPECT_EQ(form.tmrOpaque.Enabled(), c.fades);
        EXPECT_EQ(log.Entries().back(), "SetLayeredWindowAttributes(" + kHwnd + ",0," + std::to_string(c.alpha) + ",2)");
    }
}

TEST_F(Saver, FadeSetUpTable) {
    struct Case {
        std::int32_t opaquetime, transvalue, interval;
        const char* tag;
    } cases[] = {
        {60, 128, 469, "1"},  {1, 10, 100, "1"},    {5, 16, 312, "1"},
        {10, 128, 178, "2.28205128205128"},         {3, 80, 138, "3.63157894736842"},
        {10, 255, 139, "3.56410256410256"},         {2, 200, 110, "11"},
        {1, 25, 140, "3.5"},  {1, 125, 108, "13.5"}, {1, 255, 104, "26"},
        {2147483647, 1, 2147483647, "1"},            {2147483647, 255, 2147483647, "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.opaquetime << "/" << c.transvalue);
        const FadeSetup fade = SetUpFade(c.opaquetime, c.transvalue);
        EXPECT_EQ(fade.interval, c.interval);
        EXPECT_EQ(fade.tag, c.tag);
    }
    num::SetSeparators({",", "."});
    EXPECT_EQ(SetUpFade(3, 80).tag, "3,63157894736842");
    EXPECT_EQ(SetUpFade(3, 80).interval, 138);
}

TEST_F(Saver, TicksRaiseByTheRoundedStepToExactly255ThenStop) {
    struct Case {
        std::int32_t opaquetime, transvalue;
        std::vector<int> alphas;  // after each tick that changes the alpha
    } cases[] = {
        {1, 255, {26, 52, 78, 104, 130, 156, 182, 208, 234, 255}},   // 234 + 26 stops at 255
        {1, 125, {144, 158, 172, 186, 200, 214, 228, 242, 255}},     // 13.5 rounds to 14
        {1, 25, {234, 238, 242, 246, 250, 254, 255}},                // 3.5 rounds to 4
        {3, 80, {179, 183, 187, 191, 195, 199, 203, 207, 211, 215, 219, 223, 227, 231, 235, 239, 243, 247, 251, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.opaquetime << "/" << c.transvalue);
        frmMain& form = Start({0, c.transvalue, c.opaquetime, "", 0, 0});
        std::vector<int> alphas;
        for (int tick = 0; tick < 100 && form.tmrOpaque.Enabled(); ++tick) {
            log.Clear();
            const int yields = backend.doEvents;
            form.tmrOpaque.Tick();
            EXPECT_EQ(backend.doEvents, yields + 1);
            const auto calls = Calls({"SetLayeredWindowAttributes"});
            if (form.tmrOpaque.Enabled()) {
                ASSERT_EQ(calls.size(), 1u);
                alphas.push_back(form.curAlpha);
            } else {
                EXPECT_TRUE(calls.empty());  // the tick after 255 only stops the timer
                EXPECT_EQ(form.curAlpha, 255);
            }
        }
        EXPECT_EQ(alphas, c.alphas);
        EXPECT_FALSE(form.tmrOpaque.Enabled());
    }
}

TEST_F(Saver, PictureGeometry) {
    struct Case {
        float pw, ph, sw, sh;
        bool stretch;
        PictureFit fit;
    } cases[] = {
        {3000, 1000, 15360, 11520, true, {15360, 5120, 0, 3200, false}},
        {1000, 2000, 15360, 11520, true, {5760, 11520, 4800, 0, true}},
        {4000, 3000, 15360, 11520, true, {15360, 11520, 0, 0, false}},  // equal ratio: width first
        {993, 1000, 2000, 1007, false, {993, 1000, 503, 3, false}},     // leftover 7 gives 3
        {2007, 1007, 2000, 1000, false, {2007, 1007, -3, -3, false}},   // -7 gives -3
        {1000, 1000, 1010.5f, 1011.5f, false, {1000, 1000, 5, 6, false}},  // 10.5 -> 10, 11.5 -> 12
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pw << "x" << c.ph << " on " << c.sw << "x" << c.sh);
        const PictureFit fit = FitPicture(c.pw, c.ph, c.sw, c.sh, c.stretch);
        EXPECT_FLOAT_EQ(fit.width, c.fit.width);
        EXPECT_FLOAT_EQ(fit.height, c.fit.height);
        EXPECT_EQ(fit.left, c.fit.left);
        EXPECT_EQ(fit.top, c.fit.top);
        EXPECT_EQ(fit.fullHeight, c.fit.fullHeight);
    }
}

TEST_F(Saver, PictureIsLoadedFittedAndPlacedBeforeShowing) {
    backend.pictures["C:\\sky.bmp"] = {1000, 2000};
    for (bool stretch : {false, true}) {
        SCOPED_TRACE(stretch);
        frmMain& form = Start({0, 128, 0, "C:\\sky.bmp", static_cast<std::int16_t>(stretch ? -1 : 0), 0});
        EXPECT_EQ(Calls({"LoadPicture", "Show "}), (std::vector<std::string>{"LoadPicture C:\\sky.bmp", "Show frmMain"}));
        EXPECT_EQ(form.img.Stretch(), stretch);
        EXPECT_EQ(form.img.Left(), stretch ? 4800 : 7180);
        EXPECT_EQ(form.img.Top(), stretch ? 0 : 4760);
        EXPECT_EQ(form.img.Width(), stretch ? 5760 : 1000);
    }
}

TEST_F(Saver, PictureThatDoesNotLoadLeavesTheTintAlone) {
    backend.pictures["empty.bmp"] = {0, 480};
    backend.pictures["huge.bmp"] = {3e9f, 100};
    for (const char* path : {"missing.bmp", "empty.bmp", "huge.bmp"}) {
        SCOPED_TRACE(path);
        frmMain& form = Start({0, 128, 0, path, -1, 0});
        EXPECT_EQ(form.img.GetPicture(), nullptr);
        EXPECT_FALSE(form.img.Stretch());
        EXPECT_EQ(form.img.Width(), 3555);
        EXPECT_EQ(Calls({"SetLayeredWindowAttributes"}).size(), 1u);
    }
}

TEST_F(Saver, KeysAndClicksEndAtOnceWithTeardown) {
    backend.pictures["p.bmp"] = {1500, 1500};
    const std::vector<std::string> teardown = {"SetWindowPos(" + kHwnd + ",-2,0,0,0,0,3)", "ShowCursor(-1)"};
    struct Case {
        const char* what;
        std::function<void(frmMain&)> act;
    } cases[] = {
        {"key", [](frmMain& f) { f.KeyDown(65, 0); }},
        {"right click on the form", [](frmMain& f) { f.MouseDown(2, 0, 10, 10); }},
        {"click on the picture", [](frmMain& f) { f.MouseDown(1, 0, 7700, 5700); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        frmMain& form = Start({0, 128, 0, "p.bmp", 0, 0});
        log.Clear();
        EXPECT_TRUE(Ends([&] { c.act(form); }));
        EXPECT_EQ(Calls({"SetWindowPos", "ShowCursor", "Hide"}), teardown);
        EXPECT_EQ(window.cursorCount, 0);
    }
}

TEST_F(Saver, PointerFilterNeedsFiveNewPositionsInARow) {
    struct Case {
        const char* what;
        std::vector<std::pair<float, float>> moves;
        int endsAt;  // index of the move that ends the saver, -1 for none
    } cases[] = {
        {"five new", {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}, 4},
        {"first at 0,0 resets", {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}, 5},
        {"four, repeat, four", {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}}, -1},
        {"four, repeat, five", {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}, {9, 9}}, 9},
        {"same after rounding", {{1, 1}, {2.5f, 2}, {2.4f, 2}, {3.5f, 3}, {4, 4}, {5, 5}}, -1},
        {"beyond 16 bits", {{40000, 1}, {40001, 1}, {57600, 32400}, {-40000, 0}, {80000, 90000}}, 4},
        {"across the picture's edge", {{6900, 5600}, {6950, 5600}, {6800, 5600}, {7000, 5600}, {6700, 5600}}, 4},
        // Inside the picture at relative (10, 590), then the form at (10, 590): two positions.
        {"picture positions translated", {{6940, 5600}, {10, 590}, {6950, 5600}, {20, 590}, {6960, 5600}}, 4},
    };
    backend.pictures["p.bmp"] = {1500, 1500};  // centred at 6930, 5010
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        frmMain& form = Start({0, 128, 0, "p.bmp", 0, 0});
        log.Clear();
        int ended = -1;
        for (int i = 0; i < static_cast<int>(c.moves.size()) && ended < 0; ++i)
            if (Ends([&] { form.MouseMove(0, 0, c.moves[i].first, c.moves[i].second); })) ended = i;
        EXPECT_EQ(ended, c.endsAt);
        if (ended >= 0) {
            EXPECT_EQ(Calls({"Hide", "SetWindowPos", "ShowCursor"}).front(), "Hide frmMain");
        }
    }
}

TEST_F(Saver, InputDuringAFadeTickEndsFromInsideTheTick) {
    frmMain& form = Start({0, 255, 1, "", 0, 0});
    backend.onDoEvents = [&] { form.KeyDown(32, 0); };
    EXPECT_TRUE(Ends([&] { form.tmrOpaque.Tick(); }));
    EXPECT_EQ(form.curAlpha, 26);
}

}  // namespace
