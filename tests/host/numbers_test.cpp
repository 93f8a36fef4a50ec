// The number rules and the settings made from the texts stored, table-driven.
#include "pure/numbers.h"

#include <gtest/gtest.h>

#include <map>

#include "pure/settings_record.h"

namespace {

const std::nullopt_t none = std::nullopt;

// Halves to even, negative ones too; each type clamped at both ends; NaN to 0.
TEST(Numbers, ConversionsRoundHalvesToEvenAndSaturate) {
    // clang-format off
    const struct { double in; std::int32_t i32; std::int16_t i16; int byte; } rows[] = {
        {2.5, 2, 2, 2}, {3.5, 4, 4, 4}, {-2.5, -2, -2, 0}, {255.5, 256, 256, 255}, {3e9, INT32_MAX, 32767, 255},
        {-3e9, INT32_MIN, -32768, 0}, {NAN, 0, 0, 0}};
    // clang-format on
    const auto all = [](double d) { return std::tuple(num::ToInt32(d), num::ToInt16(d), +num::ToByte(d)); };
    for (const auto& r : rows) EXPECT_EQ(all(r.in), std::tuple(r.i32, r.i16, r.byte)) << r.in;
}

// What the locale's numeric test (ParseNumber) and the leading number read from the same text,
// under the row's decimal and group separators. The first takes blanks at the ends only, a sign,
// grouping between the integer's digits, one decimal separator (several bytes long in some
// locales), an exponent only with its digits. The second skips blanks, tabs and line feeds
// anywhere, takes '.' as the point in every locale and stops where the number does: no number
// gives 0.
TEST(Numbers, ParseNumberFollowsTheLocaleAndLeadingNumberReadsThePoint) {
    // clang-format off
    const struct { const char* text; std::optional<double> parsed; double leading;
                   const char *decimal = ".", *group = ","; } rows[] = {
        {"  -30 ", -30, -30}, {"+7", 7, 7}, {"1,234.5", 1234.5, 1}, {"1e3", 1000, 1000}, {"2.5E-1", 0.25, 0.25},
        {".5", 0.5, 0.5}, {"", none, 0}, {"-", none, 0}, {"--1", none, 0}, {"12abc", none, 12}, {"1e", none, 1},
        {"1e2x", none, 100}, {",5", none, 0}, {" 1\n2\t3", none, 123}, {"1.2.3", none, 1.2},
        {"1.234,5", 1234.5, 1.234, ",", "."}, {"1\xC2\xA0" "000,25", 1000.25, 1, ",", "\xC2\xA0"}};
    // clang-format on
    for (const auto& [text, parsed, leading, decimal, group] : rows) {
        num::SetSeparators({decimal, group});
        EXPECT_EQ(std::pair(num::ParseNumber(text), num::LeadingNumber(text)), std::pair(parsed, leading)) << text;
    }
    num::SetSeparators({".", ","});
}

TEST(Settings, FromStoredTextAppliesDefaultsRoundingAndLimits) {
    const auto fields = [](const settings::SettingsRecord& s) {
        return std::map<std::string, std::string>{
            {"formcolor", std::to_string(s.formcolor)},       {"transvalue", std::to_string(s.transvalue)},
            {"opaquetime", std::to_string(s.opaquetime)},     {"imagename", s.imagename},
            {"imagestretch", std::to_string(s.imagestretch)}, {"disablecorner", std::to_string(s.disablecorner)}};
    };
    // Each row stores one value; the other five are missing and keep their defaults. Rounding
    // is checked on an even and an odd whole part, as truncating and rounding halves up each
    // miss one; 99999 leaves 16 bits before the corner's limits apply.
    // clang-format off
    const struct { const char *name, *text, *want; } rows[] = {
        {"transvalue", "300", "255"}, {"transvalue", "-5", "0"}, {"transvalue", " 200.5 ", "200"},
        {"transvalue", "201.5", "202"}, {"transvalue", "abc", "128"}, {"formcolor", "-5", "5"},
        {"formcolor", "16777216", "16777215"}, {"formcolor", "-2147483648", "16777215"}, {"opaquetime", "-30", "-30"},
        {"opaquetime", "99999999999", "2147483647"}, {"imagename", " D:\\a b.bmp ", " D:\\a b.bmp "},
        {"imagestretch", "1", "-1"}, {"imagestretch", " 1", "0"}, {"imagestretch", "2", "0"},
        {"disablecorner", "-1", "0"}, {"disablecorner", "2.5", "2"}, {"disablecorner", "3.5", "4"},
        {"disablecorner", "3rd", "3"}, {"disablecorner", "99999", "4"}};
    // clang-format on
    for (const auto& r : rows) {
        auto want = fields({0, 128, 0, "", 0, 0});
        want[r.name] = r.want;
        const auto read = [&](const char* name) { return std::string(r.name) == name ? r.text : ""; };
        EXPECT_EQ(fields(settings::FromStoredText(read)), want) << r.name << " = \"" << r.text << '"';
    }
}

}  // namespace
