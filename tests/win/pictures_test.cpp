// Picture decoding with the system's codecs: real files load with their size and pixels.
#include <gtest/gtest.h>

#include <objbase.h>

#include <vector>

#include "platform/win32_backend.h"
#include "platform/win32_services.h"
#include "scratch_folder.h"
#include "test_data.h"

namespace {

class Pictures : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        platform::SetScreen(&screen_);
    }
    platform::Win32Screen screen_;
    ScratchFolder scratch_{"velumbra-pictures"};
};

// 0xAARRGGBB of a pixel, for comparing with tolerance.
int Channel(std::uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

TEST_F(Pictures, RealFilesDecodeWithSizeAndColours) {
    struct Case {
        const char* file;
        int width, height;
        int tolerance;  // JPEG is lossy
    } cases[] = {
        {"quadrants.bmp", 64, 48, 0},
        {"quadrants.gif", 64, 48, 0},
        {"quadrants.jpg", 64, 48, 24},
    };
    const float twips = screen_.TwipsPerPixelX();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto picture = forms::DecodePictureFile(TestData(c.file));
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->pixelWidth, c.width);
        EXPECT_EQ(picture->pixelHeight, c.height);
        EXPECT_FLOAT_EQ(picture->width, c.width * twips);
        ASSERT_EQ(picture->pixels.size(), static_cast<std::size_t>(c.width * c.height));
        // Quadrants: red, green / blue, white; sampled in the middle of each.
        const struct {
            int x, y, r, g, b;
        } samples[] = {{16, 12, 255, 0, 0}, {48, 12, 0, 255, 0}, {16, 36, 0, 0, 255}, {48, 36, 255, 255, 255}};
        for (const auto& s : samples) {
            const std::uint32_t p = picture->pixels[static_cast<std::size_t>(s.y * c.width + s.x)];
            EXPECT_EQ(Channel(p, 24), 255);
            EXPECT_NEAR(Channel(p, 16), s.r, c.tolerance);
            EXPECT_NEAR(Channel(p, 8), s.g, c.tolerance);
            EXPECT_NEAR(Channel(p, 0), s.b, c.tolerance);
        }
    }
}

TEST_F(Pictures, TallPictureDecodesEveryRowInPlace) {
    // Two full bands of rows and a partial one; each pixel's colour tells its row and column.
    const int width = 5;
    const int height = static_cast<int>(2 * forms::kDecodeBandRows + 88);
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> file(54 + static_cast<std::size_t>(stride) * height, '\0');
    const auto put = [&file](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(0, 'B' | 'M' << 8, 2);
    put(2, static_cast<std::uint32_t>(file.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, width, 4);
    put(22, height, 4);  // bottom-up rows
    put(26, 1, 2);
    put(28, 24, 2);
    const auto expected = [](int x, int y) { return 0xFF000000u | (y & 0xFF) << 16 | (y >> 8) << 8 | x * 40; };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            put(54 + static_cast<std::size_t>(height - 1 - y) * stride + x * 3, expected(x, y), 3);
    const std::string path = scratch_.Write("tall.bmp", std::vector<unsigned char>(file.begin(), file.end()));

    const auto picture = forms::DecodePictureFile(path);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(picture->pixelHeight, height);
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (picture->pixels[static_cast<std::size_t>(y) * width + x] != expected(x, y) && wrong++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex
                              << picture->pixels[static_cast<std::size_t>(y) * width + x];
    EXPECT_EQ(wrong, 0);
}

TEST_F(Pictures, IconDecodesItsLargestImage) {
    const auto picture = forms::DecodePictureFile(TestData("icon.ico"));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixelWidth, 32);
    EXPECT_EQ(picture->pixelHeight, 32);
    // The corners are transparent in the icon's mask.
    EXPECT_EQ(Channel(picture->pixels[0], 24), 0);
}

}  // namespace
