#include "fixture.h"
#include "startup/modMain.h"

namespace {

class Startup : public HostTest {
protected:
    // Runs Main; true when it ended the program.
    static bool RunMain() { return Ends([] { modMain::Main(); }); }
    std::vector<std::string> Steps() const {
        return Calls({"App.", "Load ", "Show ", "GetCursorPos", "RegOpenKeyExA Software\\Velumbra options=0 access=0x3f"});
    }
};

TEST_F(Startup, DispatchesOnTheFirstTwoCharactersLowerCased) {
    const std::string settingsRead = "RegOpenKeyExA Software\\Velumbra options=0 access=0x3f -> 2";
    const std::vector<std::string> loaded = {"App.PrevInstance", settingsRead, settingsRead, settingsRead,
                                             settingsRead,       settingsRead, settingsRead, "App.Command"};
    auto with = [&](std::vector<std::string> tail) {
        auto all = loaded;
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    };
    struct Case {
        const char* command;
        bool ends;
        std::vector<std::string> steps;
    } cases[] = {
        {"/c", false, with({"Load frmConfig", "Show frmConfig"})},
        {"/C:1234", false, with({"Load frmConfig", "Show frmConfig"})},
        {"/c 1234", false, with({"Load frmConfig", "Show frmConfig"})},
        {"/s", false, with({"Load frmMain", "Show frmMain"})},
        {"/S extra", false, with({"Load frmMain", "Show frmMain"})},
        {"", false, with({"Load frmMain", "Show frmMain"})},
        {"/p 1234", true, with({})},
        {"/P", true, with({})},
        {"/a", true, with({})},
        {"-s", true, with({})},
        {"-c", true, with({})},
        {"x", true, with({})},
        {"/", true, with({})},
        {" /s", true, with({})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("command \"") + c.command + "\"");
        log.Clear();
        forms::DiscardLoadedForm();
        app.command = c.command;
        EXPECT_EQ(RunMain(), c.ends);
        EXPECT_EQ(Steps(), c.steps);
        EXPECT_EQ(registry.Writes(), 0);
    }
}

TEST_F(Startup, AnotherInstanceEndsBeforeAnythingElse) {
    app.prevInstance = true;
    for (const char* command : {"/s", "/c", "/p 99", ""}) {
        log.Clear();
        app.command = command;
        EXPECT_TRUE(RunMain());
        EXPECT_EQ(log.Entries(), std::vector<std::string>{"App.PrevInstance"});
    }
}

TEST_F(Startup, CornerVetoEndsBeforeTheSaverLoads) {
    registry.PutDword(kKey, "disablecorner", 4);
    window.cursor = {3, 3};
    app.command = "/s";
    EXPECT_TRUE(RunMain());
    EXPECT_EQ(Calls({"Load "}).size(), 0u);
}

class Corner : public HostTest {};

TEST_F(Corner, BandsAtTheEdgesOf1024x768) {
    struct Case {
        std::int16_t corner;
        POINT p;
        bool veto;
    } cases[] = {
        {4, {10, 10}, true},     {4, {11, 0}, false},     {4, {0, 11}, false},     {4, {-500, -3}, true},
        {2, {1014, 0}, true},    {2, {1023, 10}, true},   {2, {1013, 0}, false},   {2, {1020, 11}, false},
        {2, {3000, -50}, true},
        {3, {1014, 758}, true},  {3, {1023, 767}, true},  {3, {1013, 767}, false}, {3, {1023, 757}, false},
        {3, {1024, 768}, true},
        {1, {10, 758}, true},    {1, {0, 767}, true},     {1, {11, 767}, false},   {1, {0, 757}, false},
        {0, {0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "corner " << c.corner << " at " << c.p.x << "," << c.p.y);
        settings::Current().disablecorner = c.corner;
        window.cursor = c.p;
        EXPECT_EQ(modMain::CursorInDisabledCorner(), c.veto);
    }
}

TEST_F(Corner, ReadsOnlyWhatTheCornerNeeds) {
    struct Case {
        std::int16_t corner;
        std::vector<std::string> reads;
    } cases[] = {
        {0, {}},
        {4, {"GetCursorPos"}},
        {1, {"GetCursorPos", "Screen.Height", "Screen.TwipsPerPixelY"}},
        {2, {"GetCursorPos", "Screen.Width", "Screen.TwipsPerPixelX"}},
        {3, {"GetCursorPos", "Screen.Width", "Screen.TwipsPerPixelX", "Screen.Height", "Screen.TwipsPerPixelY"}},
        {7, {"GetCursorPos"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.corner);
        log.Clear();
        settings::Current().disablecorner = c.corner;
        modMain::CursorInDisabledCorner();
        EXPECT_EQ(log.Entries(), c.reads);
    }
}

TEST_F(Corner, FailingPointerQueryMeansNoVeto) {
    settings::Current().disablecorner = 4;
    window.cursor = {0, 0};
    window.cursorFails = true;
    EXPECT_FALSE(modMain::CursorInDisabledCorner());
}

TEST_F(Corner, TwipsPerPixelIsRoundedOnItsOwn) {
    struct Case {
        float twips, factor;
        std::optional<std::int32_t> pixels;
    } cases[] = {
        {15360, 15, 1024}, {7680, 7.5f, 960}, {2560, 2.5f, 1280}, {1000, 0.4f, std::nullopt}, {15358.5f, 15, 1023},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.factor);
        EXPECT_EQ(modMain::ScreenPixels(c.twips, c.factor), c.pixels);
    }
    // A factor that rounds to 0 gives no veto rather than a division by zero.
    settings::Current().disablecorner = 3;
    screen.twipsPerPixelX = 0.4f;
    window.cursor = {5000, 5000};
    EXPECT_FALSE(modMain::CursorInDisabledCorner());
}

}  // namespace
