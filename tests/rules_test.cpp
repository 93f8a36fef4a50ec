// The program's pure rules, table-driven: one row per case, the expected values written out.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "config/dialog_rules.h"
#include "platform/numbers.h"
#include "platform/resample.h"
#include "screen/saver_rules.h"
#include "settings/settings.h"
#include "startup/start_rules.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
const std::nullopt_t none = std::nullopt;

// The separators are process-wide: each use puts the usual ones back, even when a check fails.
struct Locale {
    Locale(const char* decimal, const char* thousands) { num::SetSeparators({decimal, thousands}); }
    ~Locale() { num::SetSeparators({".", ","}); }
};

TEST(Numbers, ConversionsRoundHalvesToEvenAndSaturate) {
    const struct { double in; std::int32_t i32; std::int16_t i16; std::uint8_t byte; } rows[] = {
        {2.5, 2, 2, 2}, {3.5, 4, 4, 4}, {-2.5, -2, -2, 0}, {200.5, 200, 200, 200}, {201.5, 202, 202, 202},
        {255.5, 256, 256, 255}, {3e9, kMax, 32767, 255}, {-3e9, kMin, -32768, 0}, {kInf, kMax, 32767, 255},
        {-kInf, kMin, -32768, 0}, {std::numeric_limits<double>::quiet_NaN(), 0, 0, 0}};
    for (const auto& r : rows)
        EXPECT_EQ(std::tuple(num::ToInt32(r.in), num::ToInt16(r.in), +num::ToByte(r.in)),
                  std::tuple(r.i32, r.i16, +r.byte)) << r.in;
}

TEST(Numbers, ParseNumberFollowsTheLocale) {
    const struct { const char* text; std::optional<double> want; const char *decimal = ".", *group = ","; } rows[] = {
        {"128", 128}, {"  -30 ", -30}, {"+7", 7}, {"1,234.5", 1234.5}, {"1e3", 1000}, {"2.5E-1", 0.25}, {".5", 0.5},
        {"5.", 5}, {"", none}, {"abc", none}, {"12abc", none}, {"-", none}, {"1e", none}, {",5", none},
        {"1.2.3", none}, {"1 2", none}, {"1e999", kInf}, {"1.234,5", 1234.5, ",", "."}, {"2,5", 2.5, ",", "."},
        {"2.5", 25, ",", "."}, {"1\xC2\xA0" "000,25", 1000.25, ",", "\xC2\xA0"}, {"3.5", none, ",", "\xC2\xA0"}};
    for (const auto& r : rows) {
        const Locale locale(r.decimal, r.group);
        EXPECT_EQ(num::ParseNumber(r.text), r.want) << '"' << r.text << "\" with " << r.decimal << r.group;
    }
}

TEST(Numbers, LeadingNumberReadsThePointWhateverTheLocale) {
    const Locale locale(",", ".");
    const std::pair<const char*, double> rows[] = {
        {"3", 3}, {"2.5", 2.5}, {"3abc", 3}, {" 1 2\t3\n", 123}, {"-1", -1}, {"+4", 4}, {"", 0},
        {"abc", 0}, {".", 0}, {"1e2x", 100}, {"7e", 7}, {"1.5.5", 1.5}, {"--1", 0}, {"4\n5", 45}};
    for (const auto& [text, value] : rows) EXPECT_EQ(num::LeadingNumber(text), value) << '"' << text << '"';
}

TEST(Settings, FromStoredTextAppliesDefaultsRoundingAndLimits) {
    const auto fields = [](const settings::SettingsRecord& s) {
        return std::map<std::string, std::string>{
            {"formcolor", std::to_string(s.formcolor)}, {"transvalue", std::to_string(s.transvalue)},
            {"opaquetime", std::to_string(s.opaquetime)}, {"imagename", s.imagename},
            {"imagestretch", std::to_string(s.imagestretch)}, {"disablecorner", std::to_string(s.disablecorner)}};
    };
    // Each row stores one value; the other five are missing and keep their defaults.
    const struct { const char *name, *text, *want; } rows[] = {
        {"imagename", "", ""}, {"transvalue", "300", "255"}, {"transvalue", "-5", "0"},
        {"transvalue", " 200.5 ", "200"}, {"transvalue", "201.5", "202"}, {"transvalue", "abc", "128"},
        {"transvalue", "1e3", "255"}, {"formcolor", "-5", "5"}, {"formcolor", "16777216", "16777215"},
        {"formcolor", "-2147483648", "16777215"}, {"formcolor", "-99999999999", "16777215"}, {"formcolor", "red", "0"},
        {"opaquetime", "-30", "-30"}, {"opaquetime", "99999999999", "2147483647"},
        {"opaquetime", "-99999999999", "-2147483648"}, {"imagename", " D:\\a b.bmp ", " D:\\a b.bmp "},
        {"imagestretch", "1", "-1"}, {"imagestretch", " 1", "0"}, {"imagestretch", "2", "0"},
        {"imagestretch", "-1", "0"}, {"disablecorner", "7", "4"}, {"disablecorner", "-1", "0"},
        {"disablecorner", "2.5", "2"}, {"disablecorner", "3.5", "4"}, {"disablecorner", "3rd", "3"},
        {"disablecorner", "99999", "4"}, {"disablecorner", "-99999", "0"}};
    for (const auto& r : rows) {
        auto want = fields({0, 128, 0, "", 0, 0});
        want[r.name] = r.want;
        const auto read = [&](const char* name) { return std::string(r.name) == name ? r.text : ""; };
        EXPECT_EQ(fields(settings::FromStoredText(read)), want) << r.name << " = \"" << r.text << '"';
    }
}

// Whatever the key holds, every field loads within its range. The seed is fixed and printed;
// VELUMBRA_FUZZ_SEED sets another.
TEST(Settings, FuzzedStoredTextsLoadInRange) {
    const char* env = std::getenv("VELUMBRA_FUZZ_SEED");
    const std::uint64_t seed = env && *env ? std::strtoull(env, nullptr, 0) : 20241206;
    std::mt19937_64 rng(seed);
    const auto in = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    const char* const pieces[] = {"0", "1", "5", "9", "+", "-", " ", "\t", "\n", ".", ",", "'", "\xC2\xA0", "e", "E",
                                  "::", "%", "2147483648", "99999999999", "1e400", "0.5", "x"};
    const std::pair<const char*, const char*> locales[] = {{".", ","}, {",", "."}, {",", "\xC2\xA0"}, {"::", ".."}, {",", ""}};
    constexpr int kCases = 20000;
    int failed = 0;
    for (int n = 0; n < kCases; ++n) {
        const Locale locale(locales[in(0, 4)].first, locales[in(0, 4)].second);
        std::map<std::string, std::string> stored;
        for (const char* name : {"formcolor", "transvalue", "opaquetime", "imagestretch", "disablecorner"})
            for (int i = in(0, 6); i > 0; --i) stored[name] += pieces[in(0, 21)];
        const auto s = settings::FromStoredText([&](const char* name) { return stored[name]; });
        failed += !(s.formcolor >= 0 && s.formcolor <= 0xFFFFFF && s.transvalue >= 0 && s.transvalue <= 255 &&
                    (s.imagestretch == -1 || s.imagestretch == 0) && s.disablecorner >= 0 && s.disablecorner <= 4);
    }
    std::printf("[ report ] settings fuzz of seed %llu, stored texts loaded: %d tried, %d failed\n",
                static_cast<unsigned long long>(seed), kCases, failed);
    EXPECT_EQ(failed, 0);
}

TEST(Saver, FadeSetUpKeepsTicks100MsApart) {
    // The step goes through its text and back, so its 15 digits decide the interval.
    const struct { std::int32_t seconds, trans, interval, step; } rows[] = {
        {60, 128, 469, 1}, {1, 10, 100, 1}, {5, 16, 312, 1}, {10, 128, 178, 2}, {3, 80, 138, 4}, {10, 255, 139, 4},
        {2, 200, 110, 11}, {1, 25, 140, 4}, {1, 125, 108, 14}, {1, 255, 104, 26}, {kMax, 1, kMax, 1}, {kMax, 255, kMax, 1}};
    const auto all = [](const FadeSetup& f) { return std::tuple(f.interval, f.step); };
    for (const auto& r : rows)
        EXPECT_EQ(all(SetUpFade(r.seconds, r.trans)), std::tuple(r.interval, r.step)) << r.seconds << ',' << r.trans;
    const Locale locale(",", ".");
    EXPECT_EQ(all(SetUpFade(3, 80)), std::tuple(138, 4));
}

TEST(Saver, TicksStepUpTo255) {
    const struct { std::uint8_t alpha; std::int16_t step; std::uint8_t next; } rows[] = {
        {0, 26, 26}, {234, 26, 255}, {229, 26, 255}, {228, 26, 254}, {253, 4, 255}, {251, 4, 255}, {250, 4, 254}};
    for (const auto& r : rows) EXPECT_EQ(+NextAlpha(r.alpha, r.step), +r.next) << +r.alpha << " + " << r.step;
}

TEST(Saver, FitPictureScalesAndCentres) {
    const struct { float pw, ph, sw, sh; bool stretch; PictureFit want; } rows[] = {
        {3000, 1000, 15360, 11520, 1, {15360, 5120, 0, 3200}}, {1000, 2000, 15360, 11520, 1, {5760, 11520, 4800, 0}},
        {4000, 3000, 15360, 11520, 1, {15360, 11520, 0, 0}}, {993, 1000, 2000, 1007, 0, {993, 1000, 503, 3}},
        {2007, 1007, 2000, 1000, 0, {2007, 1007, -3, -3}}, {1000, 1000, 1010.5f, 1011.5f, 0, {1000, 1000, 5, 6}},
        {1000, 7000, 3000, 21000, 1, {3000, 21000, 0, 0}}};  // equal ratio where height first would miss by 0.0002
    const auto all = [](const PictureFit& f) { return std::tuple{f.width, f.height, f.left, f.top}; };
    for (const auto& r : rows)
        EXPECT_EQ(all(FitPicture(r.pw, r.ph, r.sw, r.sh, r.stretch)), all(r.want)) << r.pw << 'x' << r.ph;
}

TEST(Saver, PointerFilterReportsFiveNewPositionsInARow) {
    const struct { std::vector<std::pair<float, float>> moves; int reportedAt; } rows[] = {
        {{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}, 4},
        {{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}, 5},
        {{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}}, -1},
        {{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}, {9, 0}}, 9},
        {{{7, 0}, {8, 0}, {9, 0}, {2.4f, 0}, {2.5f, 0}}, -1},
        {{{7, 0}, {8, 0}, {9, 0}, {1.6f, 0}, {2.5f, 0}}, -1},
        {{{40000, 57600}, {57600, 40000}, {-40000, -40000}, {80000, 80000}, {40000, 80000}}, 4}};
    for (const auto& [moves, reportedAt] : rows) {
        PointerFilter filter;
        const auto at = std::ranges::find_if(moves, [&](const auto& m) { return filter.Moved(m.first, m.second); });
        EXPECT_EQ(at == moves.end() ? -1 : at - moves.begin(), reportedAt) << testing::PrintToString(moves);
    }
}

TEST(Startup, CornerBandsAre10PixelsWide) {
    // 1024 x 768 at 15 twips per pixel. The screen in pixels is its twips and the factor, each
    // rounded alone, divided: 7.5 gives 8 (1920 x 1440), 2.5 gives 2, and 0.4 no length, so no veto.
    const struct { int corner, x, y; bool in; float twipsPerPixel = 15; } rows[] = {
        {4, 10, 10, true}, {4, 11, 0, false}, {4, 0, 11, false}, {4, -500, -3, true}, {2, 1014, 0, true},
        {2, 1023, 10, true}, {2, 1013, 0, false}, {2, 1020, 11, false}, {2, 3000, -50, true}, {3, 1014, 758, true},
        {3, 1023, 767, true}, {3, 1013, 767, false}, {3, 1023, 757, false}, {3, 1024, 768, true}, {1, 10, 758, true},
        {1, 0, 767, true}, {1, 11, 767, false}, {1, 0, 757, false}, {0, 0, 0, false}, {0, 1023, 767, false},
        {7, 0, 0, false}, {7, 1023, 767, false}, {1, 0, 5000, false, 0.4f}, {2, 5000, 0, false, 0.4f},
        {3, 5000, 5000, false, 0.4f}, {3, 1910, 1430, true, 7.5f}, {3, 1909, 1430, false, 7.5f},
        {2, 7670, 10, true, 2.5f}, {2, 7669, 10, false, 2.5f}};
    for (const auto& r : rows) {
        const ScreenTwips screen{15360, 11520, r.twipsPerPixel, r.twipsPerPixel};
        EXPECT_EQ(InCorner(r.corner, r.x, r.y, screen), r.in) << r.x << ',' << r.y << " in corner " << r.corner;
    }
}

TEST(Startup, TheInstanceLockMeetsAnotherInstanceWhereItsMutexExistsOrIsRefused) {
    EXPECT_TRUE(AnotherInstance(true, kAlreadyExists) && AnotherInstance(false, kAccessDenied));
    EXPECT_FALSE(AnotherInstance(true, 0) || AnotherInstance(false, 6));  // no lock: the instance runs
}

TEST(Dialog, TransparencyLabelRoundsHalvesToEven) {
    std::string all = TransparencyLabel(0, 31);
    for (int v = 1; v < 32; ++v) all += " " + std::to_string(std::stoi(TransparencyLabel(v, 31)));
    EXPECT_EQ(all, "0% Transparent 3 6 9 12 16 19 22 25 28 31 34 38 41 44 47 50 53 56 59 62 66 69 72 75 78 81 84 88 91 94 97");
}

TEST(Dialog, FadeSecondsTakesWholeNumbersWithin32Bits) {
    const std::pair<const char*, std::optional<std::int32_t>> rows[] = {
        {"", 0}, {"   ", 0}, {" 12 ", 12}, {"2147483647", kMax}, {"2147483648", none},
        {"12a", none}, {"-5", none}, {"1.5", none}, {"+3", none}};
    for (const auto& [text, seconds] : rows) EXPECT_EQ(FadeSeconds(text), seconds) << '"' << text << '"';
}

TEST(Dialog, FitCaptionShortensBehindAnEllipsisByCharactersOfTheCodePage) {
    const auto x = [](int n, const char* letter = "x") { std::string s; while (n-- > 0) s += letter; return s; };
    const NextChar sjis = DoubleByte([](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || b >= 0xE0; });  // 932
    const char *e = "\xC3\xA9", *hyo = "\x95\x5C";  // two bytes in UTF-8; two in code page 932, the second '\\'
    EXPECT_EQ(FileNamePart(std::string("C:\\d\\") + hyo + ".jpg", sjis) + FileNamePart("C:\\d\\a", NextUtf8), hyo + std::string(".jpga"));
    // carryOn is what every yield returns; measures and yields are checked where given.
    struct Row { std::string name; int perChar, perDot; bool utf8; std::optional<std::string> want; bool carryOn = true;
                 int measures = -1, yields = -1; std::size_t most = 1000; };
    const Row rows[] = {
        {"", 92, 92, 0, ""}, {x(15), 92, 92, 0, x(15)}, {x(16), 90, 10, 0, x(15) + "..."},
        {x(16), 92, 10, 0, x(14) + "..."}, {"abcdef", 300, 300, 0, "a..."}, {"abcdef", 1000, 500, 0, "..."},
        {x(400), 90, 10, 0, x(15) + "...", true, 387, 385}, {x(20, e), 90, 90, 1, x(12, e) + "..."},
        {x(20, hyo), 90, 90, 0, x(12, hyo) + "..."}, {x(16), 90, 10, 0, none, false},
        // No more than 92 characters can fit: a name of any length takes the same few passes.
        {x(400000), 90, 10, 0, x(15) + "...", true, 75, 74, 92}, {x(15), 92, 92, 0, x(11) + "...", true, 1, 0, 14}};
    for (const auto& r : rows) {
        int measures = 0, yields = 0;
        const auto fits = [&](const std::string& s) {
            ++measures;
            int width = 0;
            for (char c : s) width += c == '.' ? r.perDot : (c & 0xC0) == 0x80 ? 0 : r.perChar;
            return width <= 1380;
        };
        // A fit that never ends is made to give way, so it fails rather than hangs.
        const auto yield = [&] { return ++yields < 1000 && r.carryOn; };
        EXPECT_EQ(FitCaption(r.name, fits, yield, r.utf8 ? NextUtf8 : sjis, r.most), r.want) << r.name.substr(0, 40);
        if (r.measures >= 0) { EXPECT_EQ(std::pair(measures, yields), std::pair(r.measures, r.yields)); }
    }
}

// The corner buttons in their 2 x 2 grid with "(None)" to its right, by disablecorner (twips as
// designed); each row: where Left, Up, Right and Down move from that button.
TEST(Dialog, ArrowKeysMoveByPlace) {
    const PixelRect corners[] = {{1320, 480, 2415, 735}, {420, 660, 675, 915}, {840, 300, 1095, 555},
                                 {840, 660, 1095, 915}, {420, 300, 675, 555}};
    const int moves[][4] = {{2, 2, 0, 3}, {1, 4, 3, 1}, {4, 2, 0, 3}, {1, 2, 0, 3}, {4, 4, 2, 1}};
    for (int from = 0; from < 5; ++from)
        for (int arrow = 0; arrow < 4; ++arrow)
            EXPECT_EQ(NextByPlace(corners, from, Arrow(arrow)), moves[from][arrow]) << "from " << from << " arrow " << arrow;
    const PixelRect pictures[] = {{120, 240, 1815, 495}, {1860, 240, 2835, 495}};  // the picture and "(None)"
    EXPECT_EQ(NextByPlace(pictures, 0, Arrow::Right), 1);
    EXPECT_EQ(NextByPlace(pictures, 1, Arrow::Down), 1);
}

TEST(Picture, ReductionsAverageEnlargementsInterpolateAndFlattenLaysOverTheBackColour) {
    std::vector<std::uint32_t> board(64 * 64);  // black and white pixels in turn
    for (int i = 0; i < 64 * 64; ++i) board[i] = (i % 64 + i / 64) % 2 ? 0xFFFFFFFF : 0xFF000000;
    for (const auto& [w, h] : {std::pair{16, 16}, {7, 5}, {1, 1}}) {
        const auto out = picture::Resample(board, 64, 64, w, h);
        ASSERT_EQ(out.size(), static_cast<std::size_t>(w * h)) << w << 'x' << h;
        for (const std::uint32_t p : out)  // grey about 128, alpha exactly 255
            for (int c = 0; c < 4; ++c)
                ASSERT_NEAR(p >> (8 * c) & 0xFF, c < 3 ? 128 : 255, c < 3 ? 12 : 0) << w << 'x' << h;
    }
    std::vector<std::uint32_t> blue;  // a ramp 0, 100, 200 four times as wide: smooth, ends kept
    for (const std::uint32_t p : picture::Resample({0xFF000000, 0xFF646464, 0xFFC8C8C8}, 3, 1, 12, 1)) blue.push_back(p & 0xFF);
    EXPECT_TRUE(std::ranges::is_sorted(blue) && blue.front() == 0 && blue.back() == 200 && std::set(blue.begin(), blue.end()).size() > 6)
        << testing::PrintToString(blue);
    std::uint32_t pixels[] = {0x00000000, 0x80800000, 0xFF00FF00};  // transparent, half red, green
    picture::Flatten(pixels, 3, 0x00FF0000);  // over blue
    EXPECT_EQ(std::vector(pixels, pixels + 3), (std::vector<std::uint32_t>{0x000000FF, 0x0080007F, 0x0000FF00}));
}

}  // namespace
