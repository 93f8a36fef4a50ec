// Start-up end to end: the switches that end at once, the corner veto, another instance, no window.
#include "windows/harness.h"

namespace {

// How Velumbra.scr with the arguments ends: its status, and whether it ever showed a window.
std::string Ending(const char* args) {
    Scr scr(args);
    bool seen = false;
    WaitFor([&] {
        seen = seen || !Windows(scr.Pid(), {kSaver, kDialog}).empty();
        return !scr.Running();
    });
    return "status " + std::to_string(scr.ExitCode()) + (seen ? ", a window" : ", no window");
}

// The switches that only end, and "/s" with the pointer resting in the corner that is to keep
// the saver from starting: no window, no key. Another instance holds the lock, or holds it so
// that it may not even be opened (an instance running elevated): every start ends at once. When
// Windows gives no window (a hook refuses them), the process ends at once with a failure status
// and leaves the pointer as it was.
TEST(Startup, EveryStartThatMayNotShowEndsAtOnce) {
    Store({});
    SetCursorPos(0, 0);
    for (const char* args : {"/p 1234", "/a", "x"}) EXPECT_EQ(Ending(args), "status 0, no window") << args;
    EXPECT_EQ(Read(), kNoKey);
    for (const wchar_t* dacl : {L"", L"D:P"}) {
        PSECURITY_DESCRIPTOR denied = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorW(dacl, 1, &denied, nullptr);
        SECURITY_ATTRIBUTES attributes{sizeof attributes, *dacl ? denied : nullptr, FALSE};
        const File lock(CreateMutexW(&attributes, FALSE, L"Local\\Velumbra.ScreenSaver.Instance"));
        LocalFree(denied);
        for (const char* args : {"/s", "/c"})
            EXPECT_EQ(Ending(args), "status 0, no window") << args << " beside a lock";
    }
    const HMODULE hook = LoadLibraryW((Folder() + L"no_forms_hook.dll").c_str());
    const auto refuse = reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(GetProcAddress(hook, "RefuseForms")));
    const HHOOK hooked = SetWindowsHookExW(WH_CBT, refuse, hook, 0);
    ASSERT_NE(hooked, nullptr);
    for (const char* args : {"/s", "/c"}) {
        EXPECT_EQ(Ending(args), "status 1, no window") << args;
        EXPECT_TRUE(PointerShowing()) << args;
    }
    UnhookWindowsHookEx(hooked);
    Store({{L"disablecorner", Dw(4)}});  // the top-left corner
    SetCursorPos(10, 10);
    EXPECT_EQ(Ending("/s"), "status 0, no window");
}

}  // namespace
