// The dimming screen's rules and the corner veto, table-driven.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "pure/numbers.h"
#include "pure/saver_rules.h"
#include "pure/start_rules.h"

namespace {

// Under 100 ms a tick adds several units: 100 / interval + 1, rounded halves to even, with the
// interval scaled by the unrounded step. The step goes through its text and back in a locale
// whose decimal separator is ','.
TEST(Saver, FadeSetUpKeepsTicks100MsApart) {
    num::SetSeparators({",", "."});
    // clang-format off
    const struct { std::int32_t seconds, trans, interval, step; } rows[] = {
        {1, 10, 100, 1}, {5, 16, 312, 1}, {10, 128, 178, 2}, {3, 80, 138, 4}, {2, 200, 110, 11}, {1, 25, 140, 4},
        {2147483647, 1, 2147483647, 1}};
    // clang-format on
    const auto all = [](const FadeSetup& f) { return std::pair<int, int>(f.interval, f.step); };
    for (const auto& r : rows)
        EXPECT_EQ(all(SetUpFade(r.seconds, r.trans)), std::pair(r.interval, r.step)) << r.seconds << ',' << r.trans;
    num::SetSeparators({".", ","});
}

// In twips, stretched: bars left and right or above and below; the equal ratio of the last row
// would miss by 0.0002 if the height were fitted first. Unstretched: the leftover rounded halves
// to even, then halved toward zero. In pixels: the fit's twips over the twips per pixel, rounded
// halves away from zero (360.5 to 361); nothing once the size in twips reaches 2^31.
TEST(Saver, PictureFitsTheScreenInTwipsAndInPixels) {
    // clang-format off
    const struct { float pw, ph, sw, sh; bool stretch; PictureFit want; } rows[] = {
        {3000, 1000, 15360, 11520, 1, {15360, 5120, 0, 3200}}, {1000, 2000, 15360, 11520, 1, {5760, 11520, 4800, 0}},
        {993, 1000, 2000, 1007, 0, {993, 1000, 503, 3}}, {2007, 1007, 2000, 1000, 0, {2007, 1007, -3, -3}},
        {1000, 1000, 1010.5f, 1011.5f, 0, {1000, 1000, 5, 6}}, {1000, 7000, 3000, 21000, 1, {3000, 21000, 0, 0}}};
    // clang-format on
    const auto all = [](const PictureFit& f) { return std::tuple{f.width, f.height, f.left, f.top}; };
    for (const auto& r : rows)
        EXPECT_EQ(all(FitPicture(r.pw, r.ph, r.sw, r.sh, r.stretch)), all(r.want)) << r.pw << 'x' << r.ph;
    EXPECT_EQ(PlacePicture(300, 100, 800, 600, 15, true).value().pixels, (PixelRect{0, 167, 800, 434}));
    EXPECT_EQ(PlacePicture(303, 100, 1024, 768, 10, false).value().pixels, (PixelRect{361, 334, 664, 434}));
    EXPECT_TRUE(PlacePicture(143165576, 1, 1024, 768, 15, false).has_value());
    EXPECT_FALSE(PlacePicture(143165577, 1, 1024, 768, 15, false).has_value());
}

// Positions round halves to even (1.6 and 2.5 are both 2); the count starts from (0, 0), and a
// repeat starts it again. Positions in twips need 32 bits.
TEST(Saver, PointerFilterReportsFiveNewPositionsInARow) {
    // clang-format off
    const struct { std::vector<std::pair<float, float>> moves; int reportedAt; } rows[] = {
        {{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}, 5}, {{{7, 0}, {8, 0}, {9, 0}, {1.6f, 0}, {2.5f, 0}}, -1},
        {{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}, {9, 0}}, 9},
        {{{40000, 57600}, {57600, 40000}, {-40000, -40000}, {80000, 80000}, {40000, 80000}}, 4}};
    // clang-format on
    for (const auto& [moves, reportedAt] : rows) {
        PointerFilter filter;
        const auto at = std::ranges::find_if(moves, [&](const auto& m) { return filter.Moved(m.first, m.second); });
        EXPECT_EQ(at == moves.end() ? -1 : at - moves.begin(), reportedAt) << testing::PrintToString(moves);
    }
}

TEST(Startup, CornerBandsAre10PixelsWide) {
    // 1024 x 768 at 15 twips per pixel: each corner in at its band's inner edge, out one pixel
    // beyond it on either axis. The screen in pixels is its twips and the factor, each rounded
    // alone, divided: 7.5 gives 8 (1920 x 1440), 2.5 gives 2 (7680 wide), and 0.4 no length, so
    // no veto. Corner numbers other than 1..4 veto nothing.
    // clang-format off
    const struct { int corner, x, y; bool in; float twipsPerPixel = 15; } rows[] = {
        {4, 10, 10, true}, {4, 11, 0, false}, {4, 0, 11, false}, {2, 1014, 0, true}, {2, 1013, 0, false},
        {2, 1020, 11, false}, {3, 1014, 758, true}, {3, 1013, 767, false}, {3, 1023, 757, false}, {1, 10, 758, true},
        {1, 11, 767, false}, {1, 0, 757, false}, {0, 0, 0, false}, {7, 1023, 767, false}, {1, 0, 5000, false, 0.4f},
        {2, 5000, 0, false, 0.4f}, {3, 1910, 1430, true, 7.5f}, {2, 7669, 10, false, 2.5f}};
    // clang-format on
    for (const auto& [corner, x, y, in, factor] : rows)
        EXPECT_EQ(InCorner(corner, x, y, ScreenTwips(15360, 11520, factor, factor)), in)
            << x << ',' << y << " in " << corner;
}

}  // namespace
