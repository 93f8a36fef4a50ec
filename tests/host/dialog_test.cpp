// The settings dialog's rules, table-driven.
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "pure/dialog_rules.h"

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
const std::nullopt_t none = std::nullopt;

TEST(Dialog, TransparencyLabelRoundsHalvesToEven) {
    std::string all = TransparencyLabel(0, 31);
    for (int v = 1; v < 32; ++v) all += " " + std::to_string(std::stoi(TransparencyLabel(v, 31)));
    EXPECT_EQ(
        all,
        "0% Transparent 3 6 9 12 16 19 22 25 28 31 34 38 41 44 47 50 53 56 59 62 66 69 72 75 78 81 84 88 91 94 97");
}

TEST(Dialog, FadeSecondsTakesWholeNumbersWithin32Bits) {
    // clang-format off
    const std::pair<const char*, std::optional<std::int32_t>> rows[] = {
        {"", 0}, {"   ", 0}, {" 12 ", 12}, {"0", 0}, {"9", 9}, {"90", 90}, {"2147483647", kMax}, {"2147483648", none},
        {"/", none}, {":", none}, {"12a", none}, {"-5", none}, {"1.5", none}, {"+3", none}};
    // clang-format on
    for (const auto& [text, seconds] : rows) EXPECT_EQ(FadeSeconds(text), seconds) << '"' << text << '"';
}

TEST(Dialog, FitCaptionShortensBehindAnEllipsisByCharactersOfTheCodePage) {
    const auto x = [](int n, const char* letter = "x") {
        std::string s;
        while (n-- > 0) s += letter;
        return s;
    };
    const NextChar sjis = DoubleByte([](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || b >= 0xE0; });  // 932
    const char *e = "\xC3\xA9", *hyo = "\x95\x5C";  // two bytes in UTF-8; two in code page 932, the second '\\'
    EXPECT_EQ(FileNamePart(std::string("C:\\d\\") + hyo + ".jpg", sjis) + FileNamePart("C:\\d\\a", NextUtf8),
              hyo + std::string(".jpga"));
    // carryOn is what every yield returns; measures and yields are checked where given.
    struct Row {
        std::string name;
        int perChar, perDot;
        bool utf8;
        std::optional<std::string> want;
        bool carryOn = true;
        int measures = -1, yields = -1;
        std::size_t most = 1000;
    };
    // clang-format off
    const Row rows[] = {
        {"", 92, 92, 0, ""}, {x(15), 92, 92, 0, x(15)}, {x(16), 90, 10, 0, x(15) + "..."},
        {x(16), 92, 10, 0, x(14) + "..."}, {"abcdef", 300, 300, 0, "a..."}, {"abcdef", 1000, 500, 0, "..."},
        {x(400), 90, 10, 0, x(15) + "...", true, 387, 385}, {x(20, e), 90, 90, 1, x(12, e) + "..."},
        {x(20, hyo), 90, 90, 0, x(12, hyo) + "..."}, {x(16), 90, 10, 0, none, false},
        // No more than 92 characters can fit: a name of any length takes the same few passes.
        {x(400000), 90, 10, 0, x(15) + "...", true, 75, 74, 92}, {x(15), 92, 92, 0, x(11) + "...", true, 1, 0, 14}};
    // clang-format on
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
        if (r.measures >= 0) {
            EXPECT_EQ(std::pair(measures, yields), std::pair(r.measures, r.yields));
        }
    }
}

// The corner buttons in their 2 x 2 grid with "(None)" to its right, by disablecorner (twips as
// designed); each row: where Left, Up, Right and Down move from that button.
TEST(Dialog, ArrowKeysMoveByPlace) {
    // clang-format off
    const PixelRect corners[] = {{1320, 480, 2415, 735}, {420, 660, 675, 915}, {840, 300, 1095, 555},
                                 {840, 660, 1095, 915}, {420, 300, 675, 555}};
    // clang-format on
    const int moves[][4] = {{2, 2, 0, 3}, {1, 4, 3, 1}, {4, 2, 0, 3}, {1, 2, 0, 3}, {4, 4, 2, 1}};
    for (int from = 0; from < 5; ++from)
        for (int arrow = 0; arrow < 4; ++arrow)
            EXPECT_EQ(NextByPlace(corners, from, Arrow(arrow)), moves[from][arrow])
                << "from " << from << " arrow " << arrow;
    const PixelRect pictures[] = {{120, 240, 1815, 495}, {1860, 240, 2835, 495}};  // the picture and "(None)"
    EXPECT_EQ(NextByPlace(pictures, 0, Arrow::Right), 1);
    EXPECT_EQ(NextByPlace(pictures, 1, Arrow::Down), 1);
}

}  // namespace
