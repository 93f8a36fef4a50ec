// Start-up from outside: the switches that end at once, and the single instance.
#include "e2e.h"

namespace {

class Startup : public ::testing::Test {
protected:
    void SetUp() override { e2e::ClearSettings(); }
};

TEST_F(Startup, SwitchesThatEndAtOnceShowNothing) {
    for (const char* arguments : {"/p 1234", "/a", "-s", "x", "/"}) {
        SCOPED_TRACE(arguments);
        e2e::Scr scr(arguments);
        EXPECT_TRUE(scr.ExitedWithoutWindow(5000));
        EXPECT_EQ(scr.ExitCode(), 0u);
    }
    bool exists = true;
    e2e::ReadSettings(&exists);
    EXPECT_FALSE(exists);
}

TEST_F(Startup, AnyStartEndsWhileAnotherInstanceRuns) {
    HANDLE held = CreateMutexA(nullptr, TRUE, e2e::kInstanceMutex);
    ASSERT_NE(held, nullptr);
    for (const char* arguments : {"/s", "/c", "", "/p 99", "/S 123"}) {
        SCOPED_TRACE(arguments);
        e2e::Scr scr(arguments);
        EXPECT_TRUE(scr.ExitedWithoutWindow(5000));
        EXPECT_EQ(scr.ExitCode(), 0u);
    }
    CloseHandle(held);
    // Once the holder is gone, a start runs normally.
    e2e::Scr scr("/c");
    EXPECT_NE(scr.WaitWindow(e2e::kDialogClass, 5000), nullptr);
    PostMessageA(scr.WaitWindow(e2e::kDialogClass, 0), WM_CLOSE, 0, 0);
    EXPECT_TRUE(scr.Exited(5000));
}

}  // namespace

namespace {

// What Windows reads from the file itself: the name in the screen-saver list, the version,
// the icon (32 x 32 and 16 x 16 in 16 colours) and the manifest.
TEST(Resources, FileCarriesNameVersionIconAndManifest) {
    HMODULE file = LoadLibraryExA(e2e::ScrPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(file, nullptr);
    char name[64] = {};
    EXPECT_GT(LoadStringA(file, 1, name, sizeof name), 0);
    EXPECT_STREQ(name, "Velumbra");

    HRSRC group = FindResourceA(file, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(file, group)));
    const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
    std::vector<std::pair<int, int>> images;  // size, colours
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = dir + 6 + 14 * i;
        images.emplace_back(entry[0], entry[2] ? entry[2] : 1 << *reinterpret_cast<const WORD*>(entry + 6));
    }
    EXPECT_EQ(images, (std::vector<std::pair<int, int>>{{32, 16}, {16, 16}}));
    EXPECT_NE(FindResourceA(file, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)), nullptr);  // RT_MANIFEST
    FreeLibrary(file);

    DWORD handle = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeA(e2e::ScrPath().c_str(), &handle));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoA(e2e::ScrPath().c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010006u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x0000000Du);
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\ProductName", reinterpret_cast<void**>(&text),
                               &size));
    EXPECT_STREQ(text, "Velumbra");
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<void**>(&text),
                               &size));
    EXPECT_STREQ(text, "1.6.0.13");
}

}  // namespace
