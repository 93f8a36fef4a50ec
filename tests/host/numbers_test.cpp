// The number rules and the settings made from the texts stored, table-driven.
#include "pure/numbers.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>

#include "host/locale.h"
#include "pure/settings_record.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
const std::nullopt_t none = std::nullopt;

TEST(Numbers, ConversionsRoundHalvesToEvenAndSaturate) {
    // clang-format off
    const struct { double in; std::int32_t i32; std::int16_t i16; std::uint8_t byte; } rows[] = {
        {2.5, 2, 2, 2}, {3.5, 4, 4, 4}, {-2.5, -2, -2, 0}, {200.5, 200, 200, 200}, {201.5, 202, 202, 202},
        {255.5, 256, 256, 255}, {3e9, kMax, 32767, 255}, {-3e9, kMin, -32768, 0}, {kInf, kMax, 32767, 255},
        {-kInf, kMin, -32768, 0}, {std::numeric_limits<double>::quiet_NaN(), 0, 0, 0}};
    // clang-format on
    for (const auto& r : rows)
        EXPECT_EQ(std::tuple(num::ToInt32(r.in), num::ToInt16(r.in), +num::ToByte(r.in)),
                  std::tuple(r.i32, r.i16, +r.byte))
            << r.in;
}

TEST(Numbers, ParseNumberFollowsTheLocale) {
    // clang-format off
    const struct { const char* text; std::optional<double> want; const char *decimal = ".", *group = ","; } rows[] = {
        {"128", 128}, {"  -30 ", -30}, {"+7", 7}, {"1,234.5", 1234.5}, {"1e3", 1000}, {"2.5E-1", 0.25}, {".5", 0.5},
        {"5.", 5}, {"", none}, {"abc", none}, {"12abc", none}, {"-", none}, {"1e", none}, {",5", none},
        {"1.2.3", none}, {"1 2", none}, {"1e999", kInf}, {"1.234,5", 1234.5, ",", "."}, {"2,5", 2.5, ",", "."},
        {"2.5", 25, ",", "."}, {"1\xC2\xA0" "000,25", 1000.25, ",", "\xC2\xA0"}, {"3.5", none, ",", "\xC2\xA0"}};
    // clang-format on
    for (const auto& r : rows) {
        const Locale locale(r.decimal, r.group);
        EXPECT_EQ(num::ParseNumber(r.text), r.want) << '"' << r.text << "\" with " << r.decimal << r.group;
    }
}

TEST(Numbers, LeadingNumberReadsThePointWhateverTheLocale) {
    const Locale locale(",", ".");
    // clang-format off
    const std::pair<const char*, double> rows[] = {
        {"3", 3}, {"2.5", 2.5}, {"3abc", 3}, {" 1 2\t3\n", 123}, {"-1", -1}, {"+4", 4}, {"", 0},
        {"abc", 0}, {".", 0}, {"1e2x", 100}, {"7e", 7}, {"1.5.5", 1.5}, {"--1", 0}, {"4\n5", 45}};
    // clang-format on
    for (const auto& [text, value] : rows) EXPECT_EQ(num::LeadingNumber(text), value) << '"' << text << '"';
}

TEST(Settings, FromStoredTextAppliesDefaultsRoundingAndLimits) {
    const auto fields = [](const settings::SettingsRecord& s) {
        return std::map<std::string, std::string>{
            {"formcolor", std::to_string(s.formcolor)},       {"transvalue", std::to_string(s.transvalue)},
            {"opaquetime", std::to_string(s.opaquetime)},     {"imagename", s.imagename},
            {"imagestretch", std::to_string(s.imagestretch)}, {"disablecorner", std::to_string(s.disablecorner)}};
    };
    // Each row stores one value; the other five are missing and keep their defaults.
    // clang-format off
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
    // clang-format on
    for (const auto& r : rows) {
        auto want = fields({0, 128, 0, "", 0, 0});
        want[r.name] = r.want;
        const auto read = [&](const char* name) { return std::string(r.name) == name ? r.text : ""; };
        EXPECT_EQ(fields(settings::FromStoredText(read)), want) << r.name << " = \"" << r.text << '"';
    }
}

}  // namespace
