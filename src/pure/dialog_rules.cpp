#include "pure/dialog_rules.h"

#include <cstdlib>
#include <limits>

#include "pure/numbers.h"

namespace {

std::size_t Length(const std::string& s, const NextChar& next) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); i = next(s, i)) ++n;
    return n;
}

// The first `count` characters.
std::string Left(const std::string& s, std::size_t count, const NextChar& next) {
    std::size_t i = 0;
    for (std::size_t chars = 0; i < s.size() && chars < count; ++chars) i = next(s, i);
    return s.substr(0, i);
}

}  // namespace

std::string TransparencyLabel(int value, int max) {
    const auto divisor = static_cast<std::int16_t>(max + 1);
    return std::to_string(num::ToInt16(static_cast<double>(value) / divisor * 100.0)) + "% Transparent";
}

std::size_t NextUtf8(const std::string& s, std::size_t i) {
    do ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80);
    return i;
}

NextChar DoubleByte(std::function<bool(unsigned char)> lead) {
    return [lead = std::move(lead)](const std::string& s, std::size_t i) {
        return std::min(s.size(), i + (lead(static_cast<unsigned char>(s[i])) ? 2 : 1));
    };
}

std::string FileNamePart(const std::string& path, const NextChar& next) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); i = next(path, i))
        if (path[i] == '\\') start = i + 1;
    return path.substr(start);
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

std::optional<std::string> FitCaption(const std::string& name, const std::function<bool(const std::string&)>& fits,
                                      const std::function<bool()>& yield, const NextChar& next, std::size_t most) {
    const std::size_t length = Length(name, next);
    if (length <= most && fits(name)) return name;
    // Never the whole name once it did not fit; never more than could fit.
    std::string s = Left(name, std::min(length, most > 3 ? most - 3 : 0), next) + "...";
    while (!fits(s)) {
        const std::size_t shown = Length(s, next);
        if (shown <= 3) break;  // even "..." does not fit: "..." it is
        s = Left(s, shown - 4, next) + "...";
        if (!yield()) return std::nullopt;
    }
    return s;
}

int NextByPlace(std::span<const PixelRect> places, int from, Arrow arrow) {
    // Centres, doubled to stay whole.
    const auto centre = [&](int i) {
        return std::pair(places[i].left + places[i].right, places[i].top + places[i].bottom);
    };
    const auto [fromX, fromY] = centre(from);
    const bool across = arrow == Arrow::Left || arrow == Arrow::Right;
    const int sign = arrow == Arrow::Left || arrow == Arrow::Up ? -1 : 1;
    int best = from;
    long long bestDistance = std::numeric_limits<long long>::max();
    for (int i = 0; i < static_cast<int>(places.size()); ++i) {
        const auto [x, y] = centre(i);
        const long long ahead = sign * static_cast<long long>(across ? x - fromX : y - fromY);
        const long long aside = std::llabs(across ? y - fromY : x - fromX);
        if (ahead > 0 && ahead + 2 * aside < bestDistance) {
            best = i;
            bestDistance = ahead + 2 * aside;
        }
    }
    return best;
}
