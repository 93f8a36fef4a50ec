#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/numbers.h"

namespace {

TEST(Numbers, RoundsHalvesToEvenAndSaturates) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double in;
        std::int32_t i32;
        std::int16_t i16;
        std::uint8_t byte;
    } cases[] = {
        {2.5, 2, 2, 2},         {3.5, 4, 4, 4},          {-2.5, -2, -2, 0},      {200.5, 200, 200, 200},
        {201.5, 202, 202, 202}, {0.49999, 0, 0, 0},      {-0.5, 0, 0, 0},        {255.5, 256, 256, 255},
        {3e9, 2147483647, 32767, 255},                   {-3e9, -2147483647 - 1, -32768, 0},
        {2147483647.5, 2147483647, 32767, 255},          {inf, 2147483647, 32767, 255},
        {-inf, -2147483647 - 1, -32768, 0},              {std::nan(""), 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(num::ToInt32(c.in), c.i32);
        EXPECT_EQ(num::ToInt16(c.in), c.i16);
        EXPECT_EQ(num::ToByte(c.in), c.byte);
    }
}

TEST(Numbers, LocaleNumericTest) {
    struct Case {
        const char* decimal;
        const char* thousands;
        const char* text;
        bool numeric;
        double value;
    } cases[] = {
        {".", ",", "128", true, 128},         {".", ",", "  -30 ", true, -30},   {".", ",", "+7", true, 7},
        {".", ",", "1,234.5", true, 1234.5},  {".", ",", "1e3", true, 1000},     {".", ",", "2.5E-1", true, 0.25},
        {".", ",", ".5", true, 0.5},          {".", ",", "5.", true, 5},         {".", ",", "", false, 0},
        {".", ",", "abc", false, 0},          {".", ",", "12abc", false, 0},     {".", ",", "-", false, 0},
        {".", ",", "1e", false, 0},           {".", ",", ",5", false, 0},        {".", ",", "1.2.3", false, 0},
        {".", ",", "1 2", false, 0},          {".", ",", "1e999", true, HUGE_VAL},
        {",", ".", "1.234,5", true, 1234.5},  {",", ".", "2,5", true, 2.5},      {",", ".", "2.5", true, 25},
        {",", "\xC2\xA0", "1\xC2\xA0" "000,25", true, 1000.25},
        {",", "\xC2\xA0", "3.5", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " with " + c.decimal);
        num::SetSeparators({c.decimal, c.thousands});
        const auto value = num::ParseNumber(c.text);
        ASSERT_EQ(value.has_value(), c.numeric);
        if (c.numeric) {
            EXPECT_EQ(*value, c.value);
        }
    }
    num::SetSeparators({".", ","});
}

TEST(Numbers, LeadingNumberIgnoresLocaleAndBlanks) {
    num::SetSeparators({",", "."});  // "." stays the decimal point
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"3", 3},      {"2.5", 2.5},  {"3abc", 3},   {" 1 2\t3\n", 123}, {"-1", -1}, {"+4", 4},
        {"", 0},       {"abc", 0},    {".", 0},      {"1e2x", 100},      {"7e", 7},  {"1.5.5", 1.5},
        {"--1", 0},    {"1e99999", HUGE_VAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(num::LeadingNumber(c.text), c.value);
    }
    num::SetSeparators({".", ","});
}

TEST(Numbers, FormatsFifteenDigitsWithLocaleSeparator) {
    EXPECT_EQ(num::FormatDouble(100.0 / 78 + 1.0), "2.28205128205128");
    EXPECT_EQ(num::FormatDouble(100.0 / 4 + 1.0), "26");
    EXPECT_EQ(num::FormatDouble(3.5), "3.5");
    num::SetSeparators({",", "."});
    EXPECT_EQ(num::FormatDouble(100.0 / 38 + 1.0), "3,63157894736842");
    EXPECT_EQ(*num::ParseNumber(num::FormatDouble(13.5)), 13.5);
    num::SetSeparators({".", ","});
}

}  // namespace
