// The Win32 back end measures text in the font its controls use.
#include <gtest/gtest.h>

#include <cmath>

#include "config/frmConfig.h"
#include "platform/win32_backend.h"
#include "platform/win32_services.h"

namespace {

class Backend : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetScreen(&screen_);
        platform::SetWindowServices(&window_);
        forms::SetBackend(&backend_);
    }
    void TearDown() override { forms::DiscardLoadedForm(); }

    platform::Win32Screen screen_;
    platform::Win32WindowServices window_;
    forms::Win32Backend backend_{GetModuleHandleA(nullptr)};
};

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

}  // namespace

namespace {

TEST_F(Backend, FileNamesShowTheirAmpersandAsIs) {
    frmConfig& form = forms::LoadForm<frmConfig>();
    form.optImage[0]->SetCaption("Tom & Jerry.jpg");
    const auto text = [](forms::Control& c) {
        char buffer[64] = {};
        HWND own = nullptr;
        for (HWND h = GetWindow(c.form().hWnd(), GW_CHILD); h && !own; h = GetWindow(h, GW_HWNDNEXT)) {
            RECT r;
            GetWindowRect(h, &r);
            MapWindowPoints(nullptr, c.form().hWnd(), reinterpret_cast<POINT*>(&r), 2);
            const float tpp = platform::Screen().TwipsPerPixelX();
            if (r.left == std::lround((c.container()->Left() + c.Left()) / tpp) &&
                r.top == std::lround((c.container()->Top() + c.Top()) / tpp))
                own = h;
        }
        GetWindowTextA(own, buffer, sizeof buffer);
        return std::string(buffer);
    };
    // "&&" is how a button shows one "&"; the buttons' own access keys stay single.
    EXPECT_EQ(text(*form.optImage[0]), "Tom && Jerry.jpg");
    EXPECT_EQ(text(*form.Command1[0]), "C&hange");
}

}  // namespace
