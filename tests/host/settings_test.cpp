#include "fixture.h"

namespace {

using settings::SettingsRecord;

class Settings : public HostTest {
protected:
    SettingsRecord Load() {
        settings::LoadSettings();
        return settings::Current();
    }
};

TEST_F(Settings, NoKeyGivesDefaultsAndCreatesNothing) {
    EXPECT_EQ(Load(), (SettingsRecord{0, 128, 0, "", 0, 0}));
    EXPECT_FALSE(registry.KeyExists(kKey));
    EXPECT_EQ(registry.Writes(), 0);
    EXPECT_EQ(registry.OpenHandles(), 0);
}

TEST_F(Settings, LoadAppliesDefaultsAndLimitsPerValue) {
    struct Stored {
        DWORD type;  // REG_NONE: not stored
        std::string text;  // REG_SZ text, or the REG_DWORD value in decimal
    };
    auto dword = [](std::int64_t v) { return Stored{REG_DWORD, std::to_string(v)}; };
    auto text = [](std::string t) { return Stored{REG_SZ, std::move(t)}; };
    struct Case {
        const char* name;
        Stored stored;
        std::function<std::int64_t(const SettingsRecord&)> field;
        std::int64_t expected;
    } cases[] = {
        {"transvalue", dword(300), [](auto& s) { return s.transvalue; }, 255},
        {"transvalue", dword(-5), [](auto& s) { return s.transvalue; }, 0},
        {"transvalue", text(" 200.5 "), [](auto& s) { return s.transvalue; }, 200},
        {"transvalue", text("201.5"), [](auto& s) { return s.transvalue; }, 202},
        {"transvalue", text("abc"), [](auto& s) { return s.transvalue; }, 128},
        {"transvalue", text(""), [](auto& s) { return s.transvalue; }, 128},
        {"transvalue", {REG_EXPAND_SZ, "7"}, [](auto& s) { return s.transvalue; }, 128},
        {"transvalue", {REG_MULTI_SZ, "7"}, [](auto& s) { return s.transvalue; }, 128},
        {"transvalue", text("1e3"), [](auto& s) { return s.transvalue; }, 255},
        {"formcolor", dword(0xFFFFFFFB), [](auto& s) { return s.formcolor; }, 5},
        {"formcolor", dword(0x1000000), [](auto& s) { return s.formcolor; }, 0xFFFFFF},
        {"formcolor", dword(0x80000000), [](auto& s) { return s.formcolor; }, 0xFFFFFF},
        {"formcolor", text("-2147483648"), [](auto& s) { return s.formcolor; }, 0xFFFFFF},
        {"formcolor", text("-99999999999"), [](auto& s) { return s.formcolor; }, 0xFFFFFF},
        {"formcolor", text("red"), [](auto& s) { return s.formcolor; }, 0},
        {"opaquetime", dword(0xFFFFFFE2), [](auto& s) { return s.opaquetime; }, -30},
        {"opaquetime", text("99999999999"), [](auto& s) { return s.opaquetime; }, 2147483647},
        {"opaquetime", text("-99999999999"), [](auto& s) { return s.opaquetime; }, -2147483647 - 1},
        {"imagestretch", dword(1), [](auto& s) { return s.imagestretch; }, -1},
        {"imagestretch", text("1"), [](auto& s) { return s.imagestretch; }, -1},
        {"imagestretch", text(" 1"), [](auto& s) { return s.imagestretch; }, 0},
        {"imagestretch", dword(2), [](auto& s) { return s.imagestretch; }, 0},
        {"imagestretch", dword(0xFFFFFFFF), [](auto& s) { return s.imagestretch; }, 0},
        {"disablecorner", dword(7), [](auto& s) { return s.disablecorner; }, 4},
        {"disablecorner", dword(0xFFFFFFFF), [](auto& s) { return s.disablecorner; }, 0},
        {"disablecorner", text("2.5"), [](auto& s) { return s.disablecorner; }, 2},
        {"disablecorner", text("3.5"), [](auto& s) { return s.disablecorner; }, 4},
        {"disablecorner", text("3rd"), [](auto& s) { return s.disablecorner; }, 3},
        {"disablecorner", text("99999"), [](auto& s) { return s.disablecorner; }, 4},
        {"disablecorner", text("-99999"), [](auto& s) { return s.disablecorner; }, 0},
        {"disablecorner", dword(65538), [](auto& s) { return s.disablecorner; }, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " = " + c.stored.text);
        registry = platform::MemoryRegistry(&log);
        if (c.stored.type == REG_DWORD)
            registry.PutDword(kKey, c.name, static_cast<std::uint32_t>(std::stoll(c.stored.text)));
        else
            registry.PutText(kKey, c.name, c.stored.text, c.stored.type);
        EXPECT_EQ(c.field(Load()), c.expected);
        EXPECT_EQ(registry.Writes(), 0);
        EXPECT_EQ(registry.OpenHandles(), 0);
    }
}

TEST_F(Settings, LoadReadsEachValueOnceInOrder) {
    Load();
    EXPECT_EQ(Calls({"RegQueryValueExA"}),
              (std::vector<std::string>{"RegQueryValueExA formcolor buffer=null -> 6",
                                        "RegQueryValueExA transvalue buffer=null -> 6",
                                        "RegQueryValueExA opaquetime buffer=null -> 6",
                                        "RegQueryValueExA imagename buffer=null -> 6",
                                        "RegQueryValueExA imagestretch buffer=null -> 6",
                                        "RegQueryValueExA disablecorner buffer=null -> 6"}));
}

TEST_F(Settings, SaveWritesInOrderWithoutLimitsThenLoadsLimited) {
    settings::SaveSettings(0x123456, 256, -30, "", -1, 9);
    EXPECT_EQ(Calls({"RegCreateKeyExA", "RegSetValueExA"}),
              (std::vector<std::string>{"RegCreateKeyExA Software\\Velumbra options=0 access=0x3f -> 0",
                                        "RegSetValueExA formcolor type=4 size=4 -> 0",
                                        "RegSetValueExA transvalue type=4 size=4 -> 0",
                                        "RegSetValueExA opaquetime type=4 size=4 -> 0",
                                        "RegSetValueExA imagename type=1 size=1 -> 0",
                                        "RegSetValueExA disablecorner type=4 size=4 -> 0",
                                        "RegSetValueExA imagestretch type=4 size=4 -> 0"}));
    EXPECT_EQ(settings::Current(), (SettingsRecord{0x123456, 256, -30, "", -1, 9}));
    EXPECT_EQ(registry.Get(kKey, "imagestretch")->data, (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_EQ(registry.Get(kKey, "imagename")->data, (std::vector<BYTE>{0}));
    EXPECT_EQ(registry.OpenHandles(), 0);
    EXPECT_EQ(Load(), (SettingsRecord{0x123456, 255, -30, "", -1, 4}));
}

TEST_F(Settings, SaveCreatesTheKeyOnlyWhenFormcolorIsMissing) {
    for (bool formcolorStored : {false, true}) {
        SCOPED_TRACE(formcolorStored);
        registry = platform::MemoryRegistry(&log);
        registry.PutText(kKey, "imagename", "keep.bmp");
        if (formcolorStored) registry.PutDword(kKey, "formcolor", 7);
        log.Clear();
        settings::SaveSettings(1, 2, 3, "D:\\pics\\sky.bmp", 0, 1);
        EXPECT_EQ(Calls({"RegCreateKeyExA"}).size(), formcolorStored ? 0u : 1u);
        EXPECT_EQ(Load(), (SettingsRecord{1, 2, 3, "D:\\pics\\sky.bmp", 0, 1}));
    }
}

TEST_F(Settings, FailedWritesAreIgnoredAndTheRecordStillTakesTheValues) {
    registry.FailNext("RegSetValueExA", ERROR_ACCESS_DENIED);
    settings::SaveSettings(10, 20, 30, "a.bmp", -1, 2);
    EXPECT_FALSE(registry.Get(kKey, "formcolor").has_value());
    EXPECT_EQ(registry.Get(kKey, "transvalue")->data, (std::vector<BYTE>{20, 0, 0, 0}));
    EXPECT_EQ(settings::Current(), (SettingsRecord{10, 20, 30, "a.bmp", -1, 2}));
    EXPECT_EQ(registry.OpenHandles(), 0);
}

}  // namespace
