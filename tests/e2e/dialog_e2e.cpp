// The settings dialog from outside: its layout, keyboard, choosers and what it stores.
#include <cstdio>

#include "e2e.h"

namespace {

struct Child {
    HWND hwnd;
    std::string cls, text;
    RECT rect;  // in the dialog's client coordinates
};

std::vector<Child> Children(HWND dialog) {
    std::vector<Child> out;
    for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        Child c{h, {}, {}, {}};
        char buffer[256] = {};
        GetClassNameA(h, buffer, sizeof buffer);
        c.cls = buffer;
        SendMessageA(h, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
        c.text = buffer;
        GetWindowRect(h, &c.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c.rect), 2);
        out.push_back(c);
    }
    return out;
}

void ClickOn(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    e2e::Click((r.left + r.right) / 2, (r.top + r.bottom) / 2, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    Sleep(80);
}

class Dialog : public ::testing::Test {
protected:
    void SetUp() override { e2e::ClearSettings(); }
    void Close(e2e::Scr& scr, HWND dialog, HWND button) {
        ClickOn(button);
        EXPECT_TRUE(scr.Exited(5000));
        EXPECT_FALSE(IsWindow(dialog));
    }
};

TEST_F(Dialog, LayoutReadFromOutside) {
    e2e::Scr scr("/c");
    HWND dialog = e2e::OpenDialog(scr);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(e2e::WindowText(dialog), "Configure Velumbra");
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, 241);
    EXPECT_EQ(client.bottom, 371);
    const LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(style & WS_SYSMENU, 0);
    // The window's icon shows at the left of its title bar: look for the icon's own blue.
    RECT frame;
    GetWindowRect(dialog, &frame);
    const e2e::Screenshot shot = e2e::CaptureScreen();
    bool iconShown = false;
    for (int y = frame.top; y < frame.top + GetSystemMetrics(SM_CYCAPTION) + 8; ++y)
        for (int x = frame.left; x < frame.left + 32; ++x) iconShown = iconShown || shot.At(x, y) == 0x4F7FD0;
    EXPECT_TRUE(iconShown);

    // Class, text, left, top, width, height at 96 dots per inch (15 twips a pixel).
    struct Expected {
        const char* cls;
        const char* text;
        int x, y, w, h;
    } expected[] = {
        {"Button", "C&hange", 104, 24, 105, 25},          {"ScrollBar", "", 32, 80, 177, 17},
        {"Button", "&Ok", 168, 340, 65, 25},              {"Button", "&Cancel", 88, 340, 65, 25},
        {"Button", "&About", 8, 340, 65, 25},             {"Button", "Transition to Opaque", 32, 128, 145, 17},
        {"Edit", "0", 88, 148, 45, 19},                   {"Button", "Cha&nge", 32, 224, 73, 25},
        {"Button", "Stretch Image", 116, 228, 97, 17},    {"Button", "", 32, 200, 113, 17},
        {"Button", "(None)", 148, 200, 65, 17},           {"Button", "", 52, 280, 17, 17},
        {"Button", "", 52, 304, 17, 17},                  {"Button", "", 80, 280, 17, 17},
        {"Button", "", 80, 304, 17, 17},                  {"Button", "(None)", 112, 292, 73, 17},
        {"Static", "50% Transparent", 40, 104, 161, 17},  {"Static", "Seconds", 140, 152, 65, 17},
        {"Static", "", 32, 24, 57, 25},                   {"Button", "Disabling Corner", 24, 260, 193, 69},
        {"Button", "Background Image", 24, 184, 193, 69}, {"Button", "Alpha Transparency", 24, 64, 193, 113},
        {"Button", "Fade to Color", 24, 8, 193, 49},
    };
    const std::vector<Child> children = Children(dialog);
    ASSERT_EQ(children.size(), std::size(expected));
    for (std::size_t i = 0; i < children.size(); ++i) {
        const Child& c = children[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(e.text);
        EXPECT_EQ(c.cls, e.cls);
        EXPECT_EQ(c.text, e.text);
        EXPECT_EQ(c.rect.left, e.x);
        EXPECT_EQ(c.rect.top, e.y);
        EXPECT_EQ(c.rect.right - c.rect.left, e.w);
        EXPECT_EQ(c.rect.bottom - c.rect.top, e.h);
    }
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(scr.Exited(5000));
}

TEST_F(Dialog, TabOrderStartsOnTheColourButton) {
    e2e::PutDword("opaquetime", 10);  // the fade box is enabled, so Tab stops there
    e2e::PutDword("disablecorner", 2);
    e2e::Scr scr("/c");
    HWND dialog = e2e::OpenDialog(scr);
    ASSERT_NE(dialog, nullptr);
    const char* order[] = {"C&hange", "", "&Ok", "&Cancel", "&About", "Transition to Opaque", "10", "Cha&nge",
                           "Stretch Image", "(None)", "", "C&hange"};
    const HWND scroll = e2e::ChildAt(dialog, 32, 80), corner2 = e2e::ChildAt(dialog, 80, 280);
    for (std::size_t i = 0; i < std::size(order); ++i) {
        SCOPED_TRACE(i);
        HWND focus = e2e::Focused(dialog);
        EXPECT_EQ(e2e::WindowText(focus), order[i]);
        const HWND expected = i == 1 ? scroll : i == 10 ? corner2 : focus;  // the selected corner of its group
        EXPECT_EQ(focus, expected);
        e2e::Keys({VK_TAB});
    }
    e2e::Keys({VK_ESCAPE});
    EXPECT_TRUE(scr.Exited(5000));
}

TEST_F(Dialog, OkWritesExactlyTheSixValues) {
    e2e::Scr scr("/c");
    HWND dialog = e2e::OpenDialog(scr);
    ASSERT_NE(dialog, nullptr);
    ClickOn(e2e::ChildAt(dialog, 80, 304));        // the lower right corner
    ClickOn(e2e::ChildAt(dialog, 32, 128));        // Transition to Opaque
    HWND fade = e2e::ChildAt(dialog, 88, 148);
    ClickOn(fade);
    SendMessageA(fade, EM_SETSEL, 0, -1);
    e2e::Keys({'4', 'A', VK_OEM_MINUS, '2', VK_SPACE, VK_BACK});  // only the digits get in
    EXPECT_EQ(e2e::WindowText(fade), "42");
    HWND scroll = e2e::ChildAt(dialog, 32, 80);
    ClickOn(scroll);
    e2e::Keys({VK_RIGHT, VK_RIGHT});  // an arrow moves one step
    EXPECT_EQ(e2e::WindowText(e2e::ChildAt(dialog, 40, 104)), "56% Transparent");
    e2e::Keys({VK_NEXT});  // a page moves four
    EXPECT_EQ(e2e::WindowText(e2e::ChildAt(dialog, 40, 104)), "69% Transparent");
    e2e::Keys({VK_RETURN});  // Enter presses "&Ok" while the scroll bar has the focus
    EXPECT_TRUE(scr.Exited(5000));

    const std::vector<BYTE> empty = {0};
    auto dword = [](std::uint32_t v) {
        return std::vector<BYTE>{BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)};
    };
    EXPECT_EQ(e2e::ReadSettings(), (e2e::Snapshot{{"formcolor", {REG_DWORD, dword(0)}},
                                                  {"transvalue", {REG_DWORD, dword(176)}},
                                                  {"opaquetime", {REG_DWORD, dword(42)}},
                                                  {"imagename", {REG_SZ, empty}},
                                                  {"imagestretch", {REG_DWORD, dword(0)}},
                                                  {"disablecorner", {REG_DWORD, dword(3)}}}));
}

TEST_F(Dialog, CancelEscAndTheCloseBoxChangeNothing) {
    const std::vector<std::function<void(HWND)>> ways = {
        [](HWND d) { e2e::Keys({'C'}, true); (void)d; },  // Alt+C: "&Cancel"
        [](HWND) { e2e::Keys({VK_ESCAPE}); },
        [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (bool stored : {false, true}) {
        e2e::ClearSettings();
        if (stored) {
            e2e::PutDword("transvalue", 40);
            e2e::PutText("imagename", "C:\\keep.bmp");
        }
        const e2e::Snapshot before = e2e::ReadSettings();
        for (std::size_t w = 0; w < ways.size(); ++w) {
            SCOPED_TRACE(testing::Message() << "way " << w << (stored ? " with settings" : " without"));
            e2e::Scr scr("/c");
            HWND dialog = e2e::OpenDialog(scr);
            ASSERT_NE(dialog, nullptr);
            ClickOn(e2e::ChildAt(dialog, 52, 280));  // a corner, written to the record at once
            ClickOn(e2e::ChildAt(dialog, 32, 128));
            ways[w](dialog);
            EXPECT_TRUE(scr.Exited(5000));
            bool exists = true;
            EXPECT_EQ(e2e::ReadSettings(&exists), before);
            EXPECT_EQ(exists, stored);
        }
    }
}

TEST_F(Dialog, AboutBoxTitleAndTheDialogStaysOpen) {
    e2e::Scr scr("/c");
    HWND dialog = e2e::OpenDialog(scr);
    ASSERT_NE(dialog, nullptr);
    e2e::Keys({'A'}, true);
    std::string title;
    HWND about = e2e::WaitSystemDialog(scr.Id(), &title);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(title, "Velumbra 1.6.13 for Win2K");
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(e2e::WaitFor([&] { return !IsWindow(about); }, 3000));
    Sleep(100);
    EXPECT_TRUE(scr.Running());
    EXPECT_TRUE(IsWindowVisible(dialog));
    Close(scr, dialog, e2e::ChildAt(dialog, 88, 340));
}

TEST_F(Dialog, ColourChooserConfirmedAndCancelled) {
    e2e::PutDword("formcolor", 0x00102030);
    e2e::Scr scr("/c");
    HWND dialog = e2e::OpenDialog(scr);
    ASSERT_NE(dialog, nullptr);
    for (bool confirm : {false, true}) {
        SCOPED_TRACE(confirm);
        ClickOn(e2e::ChildAt(dialog, 104, 24));
        HWND chooser = e2e::WaitSystemDialog(scr.Id(), nullptr);
        ASSERT_NE(chooser, nullptr);
        EXPECT_TRUE(e2e::HasModule(scr.Handle(), "comdlg32.dll"));  // loaded for the chooser
        // The red, green and blue boxes of the full chooser, set to 10, 20, 30.
        const int boxes[] = {706, 707, 708};
        const char* values[] = {"10", "20", "30"};
        for (int i = 0; i < 3; ++i) {
            HWND box = GetDlgItem(chooser, boxes[i]);
            ASSERT_NE(box, nullptr);
            SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(values[i]));
        }
        PostMessageA(chooser, WM_COMMAND, confirm ? IDOK : IDCANCEL, 0);
        EXPECT_TRUE(e2e::WaitFor([&] { return !IsWindow(chooser); }, 3000));
        Sleep(100);
    }
    // The colour box shows the choice at once: solid, edge to edge, without an outline.
    RECT box;
    GetWindowRect(e2e::ChildAt(dialog, 32, 24), &box);
    const e2e::Screenshot shot = e2e::CaptureScreen();
    for (POINT p : {POINT{box.left, box.top}, POINT{(box.left + box.right) / 2, (box.top + box.bottom) / 2},
                    POINT{box.right - 1, box.bottom - 1}})
        EXPECT_EQ(shot.At(p.x, p.y), 0x0A141Eu) << p.x << "," << p.y;
    Close(scr, dialog, e2e::ChildAt(dialog, 168, 340));
    const auto values = e2e::ReadSettings();
    ASSERT_EQ(values.count("formcolor"), 1u);
    EXPECT_EQ(values.at("formcolor").second, (std::vector<BYTE>{10, 20, 30, 0}));
}

TEST_F(Dialog, PictureChooserConfirmedAndCancelled) {
    e2e::Scr scr("/c");
    HWND dialog = e2e::OpenDialog(scr);
    ASSERT_NE(dialog, nullptr);
    const std::string picture = e2e::TestData("quadrants.gif");
    for (bool confirm : {false, true}) {
        SCOPED_TRACE(confirm);
        ClickOn(e2e::ChildAt(dialog, 32, 224));  // "Cha&nge"
        HWND chooser = e2e::WaitSystemDialog(scr.Id(), nullptr);
        ASSERT_NE(chooser, nullptr);
        // The first file type offered is every picture format.
        HWND types = nullptr;
        e2e::WaitFor([&] { return (types = GetDlgItem(chooser, 1136)) != nullptr; }, 3000);
        ASSERT_NE(types, nullptr);
        wchar_t first[128] = {};
        SendMessageW(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
        EXPECT_STREQ(first, L"All Images");
        EXPECT_EQ(SendMessageA(types, CB_GETCOUNT, 0, 0), 6);
        HWND name = GetDlgItem(chooser, 1148);  // the file-name box
        if (name == nullptr) name = GetDlgItem(chooser, 1152);
        ASSERT_NE(name, nullptr);
        SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(picture.c_str()));
        PostMessageA(chooser, WM_COMMAND, confirm ? IDOK : IDCANCEL, 0);
        EXPECT_TRUE(e2e::WaitFor([&] { return !IsWindow(chooser); }, 3000));
        Sleep(100);
        HWND option = e2e::ChildAt(dialog, 32, 200);
        EXPECT_EQ(e2e::WindowText(option), confirm ? "quadrants.gif" : "");
        EXPECT_EQ(SendMessageA(option, BM_GETCHECK, 0, 0), confirm ? BST_CHECKED : BST_UNCHECKED);
    }
    Close(scr, dialog, e2e::ChildAt(dialog, 168, 340));
    const auto values = e2e::ReadSettings();
    ASSERT_EQ(values.count("imagename"), 1u);
    const auto& stored = values.at("imagename").second;
    EXPECT_EQ(std::string(stored.begin(), stored.end() - 1), picture);
}

}  // namespace
