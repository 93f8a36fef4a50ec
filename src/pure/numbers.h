// Number rules shared by the whole program: rounding halves to even, saturating conversions
// (so no conversion is ever undefined), the locale's numeric text, and the leading-number
// reading used for the corner setting.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace num {

// Rounded to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4), then
// clamped to the target range; NaN gives 0.
std::int32_t ToInt32(double value);
std::int16_t ToInt16(double value);
std::uint8_t ToByte(double value);
// The magnitude; that of the most negative value, which does not fit, is the largest value.
std::int32_t Magnitude(std::int32_t value);

// The user's decimal and thousands separators (GetLocaleInfo on Windows, set by tests).
struct Separators {
    std::string decimal = ".", thousands = ",";
};
void SetSeparators(Separators separators);

// The locale's numeric test and conversion: blanks at either end, an optional sign, digits
// with the locale's thousands separators in the integer part, the locale's decimal
// separator, an optional exponent. Anything else gives no number.
std::optional<double> ParseNumber(std::string_view text);

// The number at the start of the text: blanks, tabs and line feeds anywhere are skipped, "."
// is the decimal point in every locale, the number ends at the first character that cannot
// continue it, and text that does not begin with a number gives 0.
double LeadingNumber(std::string_view text);

// Twips, the forms' unit of length: 1440 to the inch.
constexpr float kTwipsPerInch = 1440.0f;
inline float TwipsPerPixel(int dpi) { return kTwipsPerInch / static_cast<float>(dpi); }
// A length in twips as whole pixels at a resolution (halves away from zero).
inline int TwipsToPixels(float twips, int dpi) { return static_cast<int>(std::lround(twips / TwipsPerPixel(dpi))); }

// A double as text with at most 15 significant digits and the locale's decimal separator.
std::string FormatDouble(double value);

}  // namespace num
