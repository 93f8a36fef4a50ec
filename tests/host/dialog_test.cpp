// The settings dialog's rules, table-driven.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "pure/dialog_rules.h"

namespace {

const std::nullopt_t none = std::nullopt;

// `n` times `letter`.
std::string x(int n, const std::string& letter = "x") { return n > 0 ? letter + x(n - 1, letter) : ""; }

// A scroll value over the bar's maximum plus one, as a whole percentage rounded halves to even:
// 4 and 12 of 32 are 12.5% and 37.5%, 31 of 32 is 96.875%.
TEST(Dialog, TransparencyLabelRoundsHalvesToEven) {
    // clang-format off
    const std::pair<int, std::string> rows[] = {{4, "12"}, {12, "38"}, {31, "97"}};
    // clang-format on
    for (const auto& [value, percent] : rows) EXPECT_EQ(TransparencyLabel(value, 31), percent + "% Transparent");
}

// Digits alone, blanks around them, up to 2147483647; '/' and ':', either side of the digits, are
// refused as signs, points and letters are.
TEST(Dialog, FadeSecondsTakesWholeNumbersWithin32Bits) {
    // clang-format off
    const std::pair<const char*, std::optional<std::int32_t>> rows[] = {
        {"   ", 0}, {" 12 ", 12}, {"90", 90}, {"2147483647", 2147483647}, {"2147483648", none}, {"/", none},
        {":", none}, {"12a", none}, {"-5", none}, {"1.5", none}, {"+3", none}};
    // clang-format on
    for (const auto& [text, seconds] : rows) EXPECT_EQ(FadeSeconds(text), seconds) << '"' << text << '"';
}

TEST(Dialog, FitCaptionShortensBehindAnEllipsisByCharactersOfTheCodePage) {
    const NextChar sjis = DoubleByte([](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || b >= 0xE0; });  // 932
    const char *e = "\xC3\xA9", *hyo = "\x95\x5C";  // two bytes in UTF-8; two in code page 932, the second '\\'
    EXPECT_EQ(FileNamePart(std::string("C:\\d\\") + hyo + ".jpg", sjis) + FileNamePart("C:\\d\\a", NextUtf8),
              hyo + std::string(".jpga"));
    // A character is perChar wide (perDot for '.'), and 1380 fits; the fit takes `measures` calls of
    // `fits` and `yields` of `yield`, which returns carryOn. No more than `most` characters can fit:
    // a name of any length takes the same few passes.
    // clang-format off
    const struct { std::string name; int perChar, perDot; bool utf8; std::optional<std::string> want;
                   int measures, yields; bool carryOn = true; std::size_t most = 1000; } rows[] = {
        {x(15), 92, 92, 0, x(15), 1, 0, true, 15}, {x(16), 90, 10, 0, x(15) + "...", 3, 1},
        {"abcdef", 1000, 500, 0, "...", 8, 6}, {x(20, e), 90, 90, 1, x(12, e) + "...", 10, 8},
        {x(20, hyo), 90, 90, 0, x(12, hyo) + "...", 10, 8}, {x(16), 90, 10, 0, none, 2, 1, false},
        {std::string(400000, 'x'), 90, 10, 0, x(15) + "...", 75, 74, true, 92},
        {x(15), 92, 92, 0, x(11) + "...", 1, 0, true, 14}};
    // clang-format on
    for (const auto& r : rows) {
        int measures = 0, yields = 0;
        const auto fits = [&](const std::string& s) {
            ++measures;
            int width = 0;  // bytes 0x80..0xBF take no room
            for (char c : s) width += c == '.' ? r.perDot : (c & 0xC0) == 0x80 ? 0 : r.perChar;
            return width <= 1380;
        };
        // A fit that never ends is made to give way, so it fails rather than hangs.
        const auto yield = [&] { return ++yields < 1000 && r.carryOn; };
        const auto got = FitCaption(r.name, fits, yield, r.utf8 ? NextUtf8 : sjis, r.most);
        EXPECT_EQ(std::tuple(got, measures, yields), std::tuple(r.want, r.measures, r.yields)) << r.name.substr(0, 40);
    }
}

// The corner buttons in their 2 x 2 grid with "(None)" to its right, by disablecorner (twips as
// designed); each row: where Left, Up, Right and Down move from that button, itself when no
// button lies that way.
TEST(Dialog, ArrowKeysMoveByPlace) {
    // clang-format off
    const PixelRect corners[] = {{1320, 480, 2415, 735}, {420, 660, 675, 915}, {840, 300, 1095, 555},
                                 {840, 660, 1095, 915}, {420, 300, 675, 555}};
    const int moves[][4] = {{2, 2, 0, 3}, {1, 4, 3, 1}, {4, 2, 0, 3}, {1, 2, 0, 3}, {4, 4, 2, 1}};
    // clang-format on
    for (int from = 0; from < 5; ++from)
        for (int arrow = 0; arrow < 4; ++arrow)
            EXPECT_EQ(NextByPlace(corners, from, Arrow(arrow)), moves[from][arrow]) << from << " arrow " << arrow;
}

}  // namespace
