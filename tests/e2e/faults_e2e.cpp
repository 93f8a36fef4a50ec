// Rough handling: many starts at once, a kill in the middle of a fade, a storm of input, and
// bad input in the dialog. Nothing may crash, hang, or store anything out of range.
#include <cstdio>
#include <fstream>

#include "e2e.h"

namespace {

int CountSaverWindows() {
    int count = 0;
    EnumWindows(
        [](HWND h, LPARAM l) -> BOOL {
            char cls[64] = {};
            GetClassNameA(h, cls, sizeof cls);
            if (std::string(cls) == e2e::kSaverClass && IsWindowVisible(h)) ++*reinterpret_cast<int*>(l);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

void SetClipboardText(const std::string& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
}

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        e2e::ClearSettings();
        SetCursorPos(0, 0);
    }
};

TEST_F(Faults, TwentyStartsAtOnceLeaveOneSaver) {
    std::vector<std::unique_ptr<e2e::Scr>> starts;
    for (int i = 0; i < 20; ++i) starts.push_back(std::make_unique<e2e::Scr>("/s"));
    // All but one end at once; the one left shows the only saver window.
    EXPECT_TRUE(e2e::WaitFor(
        [&] {
            int running = 0;
            for (auto& s : starts) running += s->Running();
            return running == 1;
        },
        15000));
    e2e::Scr* saver = nullptr;
    for (auto& s : starts) {
        if (s->Running()) {
            saver = s.get();
        } else {
            EXPECT_TRUE(s->Exited(0));
            EXPECT_EQ(s->ExitCode(), 0u);
        }
    }
    ASSERT_NE(saver, nullptr);
    ASSERT_NE(saver->WaitWindow(e2e::kSaverClass, 10000), nullptr);
    Sleep(300);
    EXPECT_EQ(CountSaverWindows(), 1);
    e2e::Click(0, 0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(saver->Exited(5000));
}

TEST_F(Faults, KilledDuringAFadeLeavesTheSettingsAsTheyWere) {
    e2e::PutDword("transvalue", 255);
    e2e::PutDword("opaquetime", 30);
    e2e::PutText("imagename", e2e::TestData("quadrants.jpg"));
    e2e::PutDword("imagestretch", 1);
    const e2e::Snapshot before = e2e::ReadSettings();
    {
        e2e::Scr scr("/s");
        HWND hwnd = scr.WaitWindow(e2e::kSaverClass, 10000);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_TRUE(e2e::WaitFor([&] { return e2e::ReadLayered(hwnd).alpha > 0; }, 5000));
        TerminateProcess(scr.Handle(), 1);
        scr.Exited(5000);
    }
    EXPECT_EQ(e2e::ReadSettings(), before);
    // The instance lock went with the killed process: the next start runs.
    e2e::Scr again("/s");
    EXPECT_NE(again.WaitWindow(e2e::kSaverClass, 10000), nullptr);
    e2e::Click(0, 0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(again.Exited(5000));
}

TEST_F(Faults, AStormOfInputEndsTheSaverOnceAndCleanly) {
    e2e::PutText("imagename", e2e::TestData("quadrants.bmp"));
    e2e::Scr scr("/s");
    HWND hwnd = scr.WaitWindow(e2e::kSaverClass, 10000);
    ASSERT_NE(hwnd, nullptr);
    WaitForInputIdle(scr.Handle(), 5000);
    int posted = 0;
    for (int i = 0; i < 1000 && IsWindow(hwnd); ++i) {
        const UINT message = i % 10 == 9 ? WM_KEYDOWN : WM_MOUSEMOVE;
        const LPARAM where = MAKELPARAM((i * 37) % 1024, (i * 91) % 768);
        posted += PostMessageA(hwnd, message, message == WM_KEYDOWN ? 'A' + i % 26 : 0, where) != 0;
    }
    EXPECT_GT(posted, 0);
    EXPECT_TRUE(scr.Exited(5000));
    EXPECT_EQ(scr.ExitCode(), 0u);
    EXPECT_EQ(CountSaverWindows(), 0);
}

TEST_F(Faults, PastedTextThatIsNoNumberIsRefused) {
    e2e::PutDword("opaquetime", 15);
    const e2e::Snapshot before = e2e::ReadSettings();
    e2e::Scr scr("/c");
    HWND dialog = e2e::OpenDialog(scr);
    ASSERT_NE(dialog, nullptr);
    HWND fade = e2e::ChildAt(dialog, 88, 148);
    ASSERT_NE(fade, nullptr);
    SetClipboardText("7x-1.5e");
    SendMessageA(fade, EM_SETSEL, 0, -1);
    SendMessageA(fade, WM_PASTE, 0, 0);
    EXPECT_EQ(e2e::WindowText(fade), "7x-1.5");  // the key filter never saw it; six characters at most
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    Sleep(300);
    EXPECT_TRUE(scr.Running()) << "Ok must refuse text that is no whole number";
    EXPECT_EQ(e2e::ReadSettings(), before);
    // The box has the focus with its text selected, ready to be typed over.
    DWORD start = 1, end = 0;
    SendMessageA(fade, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 6u);
    // Emptied, the box counts as 0.
    SendMessageA(fade, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(scr.Exited(5000));
    const auto after = e2e::ReadSettings();
    ASSERT_EQ(after.count("opaquetime"), 1u);
    EXPECT_EQ(after.at("opaquetime").second, (std::vector<BYTE>{0, 0, 0, 0}));
}

TEST_F(Faults, LongNonAsciiPictureNameSurvivesTheDialogAndTheSaver) {
    // 300 characters, most of them outside ASCII (UTF-8 here, as the program's code page).
    std::string name = "C:\\Bilder\\";
    while (name.size() < 500) name += "\xC3\xA9t\xC3\xA9-\xE6\x97\xA5\xE6\x9C\xAC-\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0-";
    name += ".jpg";
    e2e::PutText("imagename", name);
    e2e::PutDword("formcolor", 0x00402010);
    e2e::PutDword("transvalue", 0);
    const e2e::Snapshot before = e2e::ReadSettings();
    {
        e2e::Scr scr("/c");
        HWND dialog = e2e::OpenDialog(scr);
        ASSERT_NE(dialog, nullptr);
        HWND option = e2e::ChildAt(dialog, 32, 200);
        ASSERT_NE(option, nullptr);
        wchar_t caption[1024] = {};
        SendMessageW(option, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(caption));
        const std::wstring shown = caption;
        EXPECT_GE(shown.size(), 4u);
        EXPECT_EQ(shown.substr(shown.size() - 3), L"...");
        // Shortened by whole characters: no broken one shows as a replacement mark.
        EXPECT_EQ(shown.find(L'\uFFFD'), std::wstring::npos);
        EXPECT_EQ(shown.substr(0, 3), L"\u00E9t\u00E9");
        EXPECT_EQ(SendMessageA(option, BM_GETCHECK, 0, 0), BST_CHECKED);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(scr.Exited(5000));
    }
    const e2e::Snapshot after = e2e::ReadSettings();
    EXPECT_EQ(after.at("imagename"), before.at("imagename"));
    // No such file: the saver runs with its tint alone.
    e2e::Scr saver("/s");
    HWND hwnd = saver.WaitWindow(e2e::kSaverClass, 10000);
    ASSERT_NE(hwnd, nullptr);
    Sleep(300);
    EXPECT_EQ(e2e::CaptureScreen().At(512, 384), 0x102040u);
    e2e::Click(0, 0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(saver.Exited(5000));
}

TEST_F(Faults, CancelWhileThePictureNameIsBeingFitted) {
    // A real file with a long name, so the fit takes many passes.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + std::string(180, 'n') + ".bmp";
    { std::ofstream(path, std::ios::binary) << "BM"; }
    e2e::Scr scr("/c");
    HWND dialog = e2e::OpenDialog(scr);
    ASSERT_NE(dialog, nullptr);
    HWND change = e2e::ChildAt(dialog, 32, 224);
    ASSERT_NE(change, nullptr);
    PostMessageA(change, BM_CLICK, 0, 0);
    HWND chooser = e2e::WaitSystemDialog(scr.Id());
    ASSERT_NE(chooser, nullptr);
    HWND nameBox = nullptr;
    e2e::WaitFor([&] { return (nameBox = GetDlgItem(chooser, 1148)) != nullptr; }, 3000);
    ASSERT_NE(nameBox, nullptr);
    SendMessageA(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    // Cancel waits in the queue and is handled by the fit's first pass.
    PostMessageA(chooser, WM_COMMAND, IDOK, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(scr.Exited(5000));
    EXPECT_EQ(scr.ExitCode(), 0u);
    bool exists = true;
    e2e::ReadSettings(&exists);
    EXPECT_FALSE(exists);
    DeleteFileA(path.c_str());
}

}  // namespace
