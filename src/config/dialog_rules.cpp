#include "config/dialog_rules.h"

#include <limits>

#include "platform/numbers.h"

namespace {

// A byte that continues a UTF-8 character rather than starting one.
bool Continues(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t Length(const std::string& s, bool utf8) {
    if (!utf8) return s.size();
    std::size_t n = 0;
    for (char c : s) n += !Continues(c);
    return n;
}

// The first `count` characters.
std::string Left(const std::string& s, std::size_t count, bool utf8) {
    if (!utf8) return s.substr(0, count);
    std::size_t i = 0;
    for (std::size_t chars = 0; i < s.size(); ++i)
        if (!Continues(s[i]) && chars++ == count) break;
    return s.substr(0, i);
}

}  // namespace

std::string TransparencyLabel(int value, int max) {
    const auto divisor = static_cast<std::int16_t>(max + 1);
    return std::to_string(num::ToInt16(static_cast<double>(value) / divisor * 100.0)) + "% Transparent";
}

std::string FileNamePart(const std::string& path) {
    const auto slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::int32_t> FadeSeconds(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return 0;
    const auto last = text.find_last_not_of(" \t");
    std::int64_t value = 0;
    for (std::size_t i = first; i <= last; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::string> FitCaption(std::string name, const std::function<bool(const std::string&)>& fits,
                                      const std::function<bool()>& yield, bool utf8) {
    std::string s = std::move(name);
    if (fits(s)) return s;
    s += "...";  // never the whole name once it did not fit
    while (!fits(s)) {
        const std::size_t length = Length(s, utf8);
        if (length <= 3) break;  // even "..." does not fit: "..." it is
        s = Left(s, length - 4, utf8) + "...";
        if (!yield()) return std::nullopt;
    }
    return s;
}
