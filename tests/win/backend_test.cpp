// The Win32 back end makes the designed controls real: child windows where the layout puts
// them, captions as designed, and text measured in the font the controls use.
#include <gtest/gtest.h>

#include <cmath>

#include "config/frmConfig.h"
#include "platform/win32_backend.h"
#include "platform/win32_services.h"
#include "screen/frmMain.h"

namespace {

class Backend : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetScreen(&screen_);
        platform::SetWindowServices(&window_);
        forms::SetBackend(&backend_);
    }
    void TearDown() override { forms::DiscardLoadedForm(); }

    // A child's rectangle in its form's client coordinates.
    static RECT ClientRect(HWND form, HWND child) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    platform::Win32Screen screen_;
    platform::Win32WindowServices window_;
    forms::Win32Backend backend_{GetModuleHandleA(nullptr)};
};

TEST_F(Backend, DialogControlsAreChildWindowsWhereTheLayoutPutsThem) {
    frmConfig& form = forms::LoadForm<frmConfig>();
    HWND hwnd = form.hWnd();
    ASSERT_NE(hwnd, nullptr);
    const float tpp = screen_.TwipsPerPixelX();
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, std::lround(3615 / tpp));
    EXPECT_EQ(client.bottom, std::lround(5565 / tpp));

    int checked = 0;
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        for (forms::Control* c : form.Controls()) {
            if (c->kind() == forms::Kind::Timer || c->kind() == forms::Kind::CommonDialog) continue;
            // Each control's window carries its text; match by position instead of by id.
            float left = c->Left(), top = c->Top();
            if (c->container()) {
                left += c->container()->Left();
                top += c->container()->Top();
            }
            const RECT r = ClientRect(hwnd, child);
            if (r.left != std::lround(left / tpp) || r.top != std::lround(top / tpp)) continue;
            if (r.right - r.left != std::lround(c->Width() / tpp)) continue;
            SCOPED_TRACE(c->name() + "(" + std::to_string(c->index()) + ")");
            EXPECT_EQ(r.bottom - r.top, std::lround(c->Height() / tpp));
            char text[128] = {};
            GetWindowTextA(child, text, sizeof text);
            const std::string expected =
                c->kind() == forms::Kind::TextBox ? static_cast<forms::TextBox*>(c)->Text() : c->Caption();
            EXPECT_EQ(text, expected);
            (void)id;
            ++checked;
        }
    }
    // Every control with a window: 5 + 2 option buttons, 2 check boxes, 5 buttons, 4 frames,
    // the text box, the scroll bar, 2 labels and the colour box.
    EXPECT_EQ(checked, 23);
}

TEST_F(Backend, TextIsMeasuredInTheControlsFont) {
    frmConfig& form = forms::LoadForm<frmConfig>();
    HWND option = nullptr;
    for (HWND child = GetWindow(form.hWnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char text[32] = {};
        GetWindowTextA(child, text, sizeof text);
        if (std::string(text) == "Stretch Image") option = child;
    }
    ASSERT_NE(option, nullptr);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(option, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    HDC dc = GetDC(option);
    SelectObject(dc, font);
    for (const std::string text : {"sky.bmp", "A much longer picture name.jpg", "iiiiiiii", "WWWWWWWW"}) {
        SIZE size{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        EXPECT_FLOAT_EQ(form.TextWidth(text), size.cx * screen_.TwipsPerPixelX()) << text;
    }
    ReleaseDC(option, dc);
    EXPECT_LT(form.TextWidth("iiiiiiii"), form.TextWidth("WWWWWWWW"));
}

TEST_F(Backend, SaverWindowIsBorderlessWithoutTaskbarButton) {
    frmMain& form = forms::LoadForm<frmMain>();
    form.SetWindowState(forms::Form::kMaximized);
    HWND hwnd = form.hWnd();
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER), 0);
    EXPECT_NE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
}

}  // namespace
