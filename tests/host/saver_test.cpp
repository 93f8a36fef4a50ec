// The dimming screen's rules and the corner veto, table-driven.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

#include "host/locale.h"
#include "pure/saver_rules.h"
#include "pure/start_rules.h"

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(Saver, FadeSetUpKeepsTicks100MsApart) {
    // The step goes through its text and back, so its 15 digits decide the interval.
    // clang-format off
    const struct { std::int32_t seconds, trans, interval, step; } rows[] = {
        {60, 128, 469, 1}, {1, 10, 100, 1}, {5, 16, 312, 1}, {10, 128, 178, 2}, {3, 80, 138, 4}, {10, 255, 139, 4},
        {2, 200, 110, 11}, {1, 25, 140, 4}, {1, 125, 108, 14}, {1, 255, 104, 26}, {kMax, 1, kMax, 1}, {kMax, 255, kMax, 1}};
    // clang-format on
    const auto all = [](const FadeSetup& f) { return std::tuple(f.interval, f.step); };
    for (const auto& r : rows)
        EXPECT_EQ(all(SetUpFade(r.seconds, r.trans)), std::tuple(r.interval, r.step)) << r.seconds << ',' << r.trans;
    const Locale locale(",", ".");
    EXPECT_EQ(all(SetUpFade(3, 80)), std::tuple(138, 4));
}

TEST(Saver, FitPictureScalesAndCentres) {
    // clang-format off
    const struct { float pw, ph, sw, sh; bool stretch; PictureFit want; } rows[] = {
        {3000, 1000, 15360, 11520, 1, {15360, 5120, 0, 3200}}, {1000, 2000, 15360, 11520, 1, {5760, 11520, 4800, 0}},
        {4000, 3000, 15360, 11520, 1, {15360, 11520, 0, 0}}, {993, 1000, 2000, 1007, 0, {993, 1000, 503, 3}},
        {2007, 1007, 2000, 1000, 0, {2007, 1007, -3, -3}}, {1000, 1000, 1010.5f, 1011.5f, 0, {1000, 1000, 5, 6}},
        {1000, 7000, 3000, 21000, 1, {3000, 21000, 0, 0}}};  // equal ratio where height first would miss by 0.0002
    // clang-format on
    const auto all = [](const PictureFit& f) { return std::tuple{f.width, f.height, f.left, f.top}; };
    for (const auto& r : rows)
        EXPECT_EQ(all(FitPicture(r.pw, r.ph, r.sw, r.sh, r.stretch)), all(r.want)) << r.pw << 'x' << r.ph;
}

// In pixels: the fit's twips over the twips per pixel, rounded; nothing when the size in twips
// leaves 32 bits.
TEST(Saver, PlacePictureGivesTheFitInTwipsAndInPixels) {
    // clang-format off
    const struct { int w, h, sw, sh; float twipsPerPixel; bool stretch; std::optional<PixelRect> pixels; } rows[] = {
        {300, 100, 800, 600, 15, true, PixelRect{0, 167, 800, 434}},
        {12000, 9000, 1024, 768, 15, false, PixelRect{-5488, -4116, 6512, 4884}},
        {301, 100, 1024, 768, 10, false, PixelRect{362, 334, 663, 434}},
        {143165577, 1, 1024, 768, 15, false, std::nullopt}, {143165576, 1, 1024, 768, 15, false, PixelRect{}}};
    // clang-format on
    for (const auto& r : rows) {
        const auto place = PlacePicture(r.w, r.h, r.sw, r.sh, r.twipsPerPixel, r.stretch);
        ASSERT_EQ(place.has_value(), r.pixels.has_value()) << r.w << "x" << r.h;
        if (place && r.w < 100000) {
            EXPECT_EQ(place->pixels, *r.pixels) << r.w << "x" << r.h << " on " << r.sw;
        }
    }
}

TEST(Saver, PointerFilterReportsFiveNewPositionsInARow) {
    // clang-format off
    const struct { std::vector<std::pair<float, float>> moves; int reportedAt; } rows[] = {
        {{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}, 4}, {{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}, 5},
        {{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}}, -1},
        {{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}, {9, 0}}, 9},
        {{{7, 0}, {8, 0}, {9, 0}, {2.4f, 0}, {2.5f, 0}}, -1}, {{{7, 0}, {8, 0}, {9, 0}, {1.6f, 0}, {2.5f, 0}}, -1},
        {{{40000, 57600}, {57600, 40000}, {-40000, -40000}, {80000, 80000}, {40000, 80000}}, 4}};
    // clang-format on
    for (const auto& [moves, reportedAt] : rows) {
        PointerFilter filter;
        const auto at = std::ranges::find_if(moves, [&](const auto& m) { return filter.Moved(m.first, m.second); });
        EXPECT_EQ(at == moves.end() ? -1 : at - moves.begin(), reportedAt) << testing::PrintToString(moves);
    }
}

TEST(Startup, CornerBandsAre10PixelsWide) {
    // 1024 x 768 at 15 twips per pixel. The screen in pixels is its twips and the factor, each
    // rounded alone, divided: 7.5 gives 8 (1920 x 1440), 2.5 gives 2, and 0.4 no length, so no veto.
    // clang-format off
    const struct { int corner, x, y; bool in; float twipsPerPixel = 15; } rows[] = {
        {4, 10, 10, true}, {4, 11, 0, false}, {4, 0, 11, false}, {4, -500, -3, true}, {2, 1014, 0, true},
        {2, 1023, 10, true}, {2, 1013, 0, false}, {2, 1020, 11, false}, {2, 3000, -50, true}, {3, 1014, 758, true},
        {3, 1023, 767, true}, {3, 1013, 767, false}, {3, 1023, 757, false}, {3, 1024, 768, true}, {1, 10, 758, true},
        {1, 0, 767, true}, {1, 11, 767, false}, {1, 0, 757, false}, {0, 0, 0, false}, {0, 1023, 767, false},
        {7, 0, 0, false}, {7, 1023, 767, false}, {1, 0, 5000, false, 0.4f}, {2, 5000, 0, false, 0.4f},
        {3, 5000, 5000, false, 0.4f}, {3, 1910, 1430, true, 7.5f}, {3, 1909, 1430, false, 7.5f},
        {2, 7670, 10, true, 2.5f}, {2, 7669, 10, false, 2.5f}};
    // clang-format on
    for (const auto& r : rows) {
        const ScreenTwips screen{15360, 11520, r.twipsPerPixel, r.twipsPerPixel};
        EXPECT_EQ(InCorner(r.corner, r.x, r.y, screen), r.in) << r.x << ',' << r.y << " in corner " << r.corner;
    }
}

}  // namespace
