#include <gtest/gtest.h>

#include "platform/picture_scale.h"

namespace {

std::uint32_t Grey(std::uint32_t v) { return 0xFF000000u | v << 16 | v << 8 | v; }

TEST(PictureScale, ReductionAveragesEverySourcePixel) {
    // A one-pixel checkerboard: nearest-neighbour would keep only black or only white.
    std::vector<std::uint32_t> checker(64 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) checker[y * 64 + x] = Grey((x + y) % 2 ? 255 : 0);
    for (auto [w, h] : {std::pair{16, 16}, {7, 5}, {1, 1}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const auto out = picture::Resample(checker, 64, 64, w, h);
        ASSERT_EQ(out.size(), static_cast<std::size_t>(w * h));
        for (std::uint32_t p : out) {
            EXPECT_NEAR(static_cast<int>(p & 0xFF), 128, 12);
            EXPECT_EQ(p >> 24, 255u);
        }
    }
}

TEST(PictureScale, EnlargementInterpolatesAndKeepsTheEnds) {
    const std::vector<std::uint32_t> ramp = {Grey(0), Grey(100), Grey(200)};
    const auto out = picture::Resample(ramp, 3, 1, 12, 1);
    ASSERT_EQ(out.size(), 12u);
    EXPECT_EQ(out.front() & 0xFF, 0u);
    EXPECT_EQ(out.back() & 0xFF, 200u);
    for (std::size_t i = 1; i < out.size(); ++i) EXPECT_GE(out[i] & 0xFF, out[i - 1] & 0xFF);
    int distinct = 0;
    for (std::size_t i = 1; i < out.size(); ++i) distinct += (out[i] & 0xFF) != (out[i - 1] & 0xFF);
    EXPECT_GT(distinct, 6);  // a smooth ramp, not three blocks
}

TEST(PictureScale, SameSizeIsUnchangedAndEmptyStaysEmpty) {
    const std::vector<std::uint32_t> two = {Grey(1), Grey(2)};
    EXPECT_EQ(picture::Resample(two, 2, 1, 2, 1), two);
    EXPECT_TRUE(picture::Resample(two, 2, 1, 0, 5).empty());
}

TEST(PictureScale, FlattenLaysThePictureOverTheBackColour) {
    // Premultiplied: transparent, half-covering red, opaque green.
    std::vector<std::uint32_t> px = {0x00000000, 0x80800000, 0xFF00FF00};
    picture::Flatten(px.data(), px.size(), 0x00FF0000);  // back colour blue (0x00BBGGRR)
    EXPECT_EQ(px[0], 0x000000FFu);
    EXPECT_EQ(px[1], 0x0080007Fu);
    EXPECT_EQ(px[2], 0x0000FF00u);
}

}  // namespace
