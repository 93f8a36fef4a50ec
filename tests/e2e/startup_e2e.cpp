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
