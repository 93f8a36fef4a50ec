#include "pure/numbers.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace num {
namespace {

Separators g_separators;

template <class Int>
Int Saturate(double value) {
    if (std::isnan(value)) return 0;
    const double r = std::nearbyint(value);  // halves to even: the default rounding mode
    if (r <= static_cast<double>(std::numeric_limits<Int>::min())) return std::numeric_limits<Int>::min();
    if (r >= static_cast<double>(std::numeric_limits<Int>::max())) return std::numeric_limits<Int>::max();
    return static_cast<Int>(r);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Converts a plain C-locale number ("-123.45e6") to a double: overflow gives an infinity,
// underflow zero, which the saturating conversions then bound.
double FromPlainText(const std::string& plain) { return std::strtod(plain.c_str(), nullptr); }

bool ConsumePrefix(std::string_view& text, std::string_view prefix) {
    if (prefix.empty() || text.substr(0, prefix.size()) != prefix) return false;
    text.remove_prefix(prefix.size());
    return true;
}

// Takes an optional sign; a minus goes into the plain text.
void TakeSign(std::string_view& text, std::string& plain) {
    if (text.empty() || (text[0] != '+' && text[0] != '-')) return;
    if (text[0] == '-') plain += '-';
    text.remove_prefix(1);
}

// Appends an exponent ("e", optional sign, at least one digit) when one follows; otherwise
// leaves the text as it was.
void TakeExponent(std::string_view& text, std::string& plain) {
    if (text.empty() || (text[0] != 'e' && text[0] != 'E')) return;
    std::size_t i = 1;
    std::string exponent = "e";
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) exponent += text[i++];
    const std::size_t firstDigit = i;
    while (i < text.size() && IsDigit(text[i])) exponent += text[i++];
    if (i == firstDigit) return;
    plain += exponent;
    text.remove_prefix(i);
}

}  // namespace

std::int32_t ToInt32(double value) { return Saturate<std::int32_t>(value); }
std::int16_t ToInt16(double value) { return Saturate<std::int16_t>(value); }
std::uint8_t ToByte(double value) { return Saturate<std::uint8_t>(value); }
std::int32_t Magnitude(std::int32_t value) { return value == INT32_MIN ? INT32_MAX : std::abs(value); }

void SetSeparators(Separators separators) { g_separators = std::move(separators); }

std::optional<double> ParseNumber(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);

    std::string plain;
    TakeSign(text, plain);
    bool digits = false, fraction = false;
    while (!text.empty()) {
        if (IsDigit(text[0])) {
            plain += text[0];
            text.remove_prefix(1);
            digits = true;
        } else if (!fraction && ConsumePrefix(text, g_separators.decimal)) {
            plain += '.';
            fraction = true;
        } else if (!fraction && digits && ConsumePrefix(text, g_separators.thousands)) {
            // grouping is accepted between digits of the integer part and ignored
        } else {
            break;
        }
    }
    if (!digits) return std::nullopt;
    TakeExponent(text, plain);
    if (!text.empty()) return std::nullopt;
    return FromPlainText(plain);
}

double LeadingNumber(std::string_view text) {
    std::string squeezed(text);
    std::erase_if(squeezed, [](char c) { return c == ' ' || c == '\t' || c == '\n'; });
    std::string_view rest = squeezed;

    std::string plain;
    TakeSign(rest, plain);
    bool point = false;
    while (!rest.empty() && (IsDigit(rest[0]) || (rest[0] == '.' && !point))) {
        point = point || rest[0] == '.';
        plain += rest[0];
        rest.remove_prefix(1);
    }
    TakeExponent(rest, plain);
    return FromPlainText(plain);  // without a digit nothing converts, which gives 0
}

std::string FormatDouble(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text;
    for (const char* p = buffer; *p != '\0'; ++p) text += *p == '.' ? g_separators.decimal : std::string(1, *p);
    return text;
}

}  // namespace num
