// Settings fuzzing: random registry states for the six settings under several locales'
// number rules. Whatever the key holds, LoadSettings leaves every field in its range, closes
// every key it opened, writes nothing and does not depend on the record it replaces; values
// whose meaning the generator knows load exactly; a save over any state loads back what was
// saved with the load's limits applied. The seed is fixed and printed (VELUMBRA_FUZZ_SEED
// overrides it); a failing case prints its number and the whole registry state.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <sstream>

#include "fixture.h"

namespace {

using settings::SettingsRecord;

constexpr int kCases = 6000;
constexpr std::uint64_t kDefaultSeed = 20241206;
// A magnitude beyond every field's range: what a number of more than 32 bits stands for.
constexpr std::int64_t kHuge = std::int64_t{1} << 50;
constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

enum Field { kFormcolor, kTransvalue, kOpaquetime, kImagename, kImagestretch, kDisablecorner, kFields };
const char* const kNames[kFields] = {"formcolor", "transvalue",   "opaquetime",
                                     "imagename", "imagestretch", "disablecorner"};

// Decimal and thousands separators of several locales: English, German, French (no-break
// space, and the narrow one of newer Windows), Swiss, blank grouping, Arabic signs, made-up
// multi-character ones, and no grouping at all.
const num::Separators kLocales[] = {
    {".", ","}, {",", "."}, {",", "\xC2\xA0"},        {",", "\xE2\x80\xAF"},
    {".", "'"}, {",", " "}, {"\xD9\xAB", "\xD9\xAC"}, {"::", ".."},
    {",", ""},
};

class Rng {
public:
    explicit Rng(std::uint64_t seed) : engine_(seed) {}
    std::uint64_t Bits() { return engine_(); }
    // Uniform in [low, high].
    std::int64_t In(std::int64_t low, std::int64_t high) {
        return std::uniform_int_distribution<std::int64_t>(low, high)(engine_);
    }
    bool Chance(int percent) { return In(0, 99) < percent; }
    template <class T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[In(0, N - 1)];
    }
    std::vector<BYTE> Bytes(std::size_t count) {
        std::vector<BYTE> bytes(count);
        for (BYTE& b : bytes) b = static_cast<BYTE>(In(0, 255));
        return bytes;
    }

private:
    std::mt19937_64 engine_;
};

std::int32_t Interesting32(Rng& rng) {
    static const std::int64_t values[] = {
        0,      1,      -1,    2,        4,         5,         127,        128,          255,
        256,    -255,   -256,  0xFFFFFF, 0x1000000, -0xFFFFFF, -0x1000000, 32767,        32768,
        -32768, -32769, 65535, 65536,    65538,     kInt32Max, kInt32Min,  kInt32Min + 1};
    if (rng.Chance(50)) return static_cast<std::int32_t>(rng.Pick(values));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(rng.Bits()));
}

// A number written the way a person in the locale might write it, with the integer it must
// load as (rounded halves to even; kHuge for magnitudes beyond 32 bits).
struct NumberText {
    std::string text;
    std::int64_t value;
};

std::string Digits(Rng& rng, int count, bool leadingNonZero) {
    std::string digits;
    for (int i = 0; i < count; ++i) digits += static_cast<char>('0' + rng.In(i == 0 && leadingNonZero ? 1 : 0, 9));
    return digits;
}

std::string Grouped(const std::string& digits, const std::string& thousands) {
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out += thousands;
        out += digits[i];
    }
    return out;
}

NumberText LocaleNumber(Rng& rng, const num::Separators& sep) {
    const bool canGroup = !sep.thousands.empty();
    const std::string sign = rng.Pick({"", "", "-", "+"});
    const int negative = sign == "-" ? -1 : 1;
    std::string body;
    std::int64_t value = 0;
    const int kind = static_cast<int>(rng.In(0, 9));
    if (kind < 7) {
        // Up to 33 bits, a fraction whose rounding is known, grouping or a shifted exponent.
        const int bits = static_cast<int>(rng.In(0, 33));
        const std::int64_t magnitude = bits == 0 ? 0 : static_cast<std::int64_t>(rng.Bits() >> (64 - bits));
        struct Fraction {
            const char* digits;  // nullptr: no decimal separator at all
            int versusHalf;
        };
        static const Fraction fractions[] = {{nullptr, -1}, {"", -1},  {"0", -1}, {"4", -1},    {"25", -1},
                                             {"4999", -1},  {"5", 0},  {"50", 0}, {"500", 0},   {"5001", 1},
                                             {"6", 1},      {"75", 1}, {"9", 1},  {nullptr, -1}};
        const Fraction& f = rng.Pick(fractions);
        const bool up = f.versusHalf > 0 || (f.versusHalf == 0 && magnitude % 2 == 1);
        value = negative * (magnitude + (up ? 1 : 0));
        std::string integer = std::to_string(magnitude);
        if (rng.Chance(10)) integer.insert(0, static_cast<std::size_t>(rng.In(1, 3)), '0');
        const std::string fraction = f.digits ? f.digits : "";
        if (magnitude == 0 && !fraction.empty() && rng.Chance(30)) integer.clear();  // ",5"
        if (rng.Chance(60)) {
            body = canGroup && integer.size() > 3 && rng.Chance(50) ? Grouped(integer, sep.thousands) : integer;
            if (f.digits) body += sep.decimal + fraction;
            if (rng.Chance(15)) body += rng.Pick({"e0", "E+0", "e-0", "E+000"});
        } else {
            // The same digits with the separator moved k places left and "e<k>" after them.
            std::string all = integer + fraction;
            const int point = static_cast<int>(integer.size());
            const int k = static_cast<int>(rng.In(-3, std::min(point, 5)));
            const std::size_t at = static_cast<std::size_t>(point - k);
            if (at > all.size()) all.append(at - all.size(), '0');
            body = all.substr(0, at);
            if (at < all.size()) body += sep.decimal + all.substr(at);
            body +=
                std::string(rng.Pick({"e", "E"})) + (k < 0 ? "-" : rng.Pick({"", "+"})) + std::to_string(std::abs(k));
        }
    } else if (kind < 8) {
        // Beyond 32 bits: many digits, or a large exponent up to beyond a double's range.
        if (rng.Chance(50)) {
            const std::string digits = Digits(rng, static_cast<int>(rng.In(11, 40)), true);
            body = canGroup && rng.Chance(50) ? Grouped(digits, sep.thousands) : digits;
        } else {
            body = Digits(rng, 1, true) + (rng.Chance(50) ? sep.decimal + Digits(rng, 3, false) : "") + "e" +
                   rng.Pick({"", "+"}) + std::to_string(rng.In(10, 400));
        }
        value = negative * kHuge;
    } else {
        // Below one half: many zeros after the separator, or a negative exponent.
        if (rng.Chance(50)) {
            body = "0" + sep.decimal + std::string(static_cast<std::size_t>(rng.In(1, 40)), '0') + Digits(rng, 5, true);
        } else {
            const std::int64_t exponent = rng.In(1, 400);
            body = std::to_string(exponent == 1 ? rng.In(0, 4) : rng.In(0, 9)) + "e-" + std::to_string(exponent);
        }
        value = 0;
    }
    const char* const blanks[] = {"", "", " ", "\t", " \t "};
    return {rng.Pick(blanks) + sign + body + rng.Pick(blanks), value};
}

// A number as the corner setting reads it: "." in every locale, no grouping, blanks, tabs
// and line feeds anywhere, and anything after the number ignored.
NumberText LeadingNumber(Rng& rng) {
    NumberText number = LocaleNumber(rng, {".", ""});
    for (int i = static_cast<int>(rng.In(0, 3)); i > 0; --i)
        number.text.insert(static_cast<std::size_t>(rng.In(0, static_cast<std::int64_t>(number.text.size()))),
                           rng.Pick({" ", "\t", "\n"}));
    number.text += rng.Pick({"", "", "rd", "x1", ",5", "%", "/2", " apples"});
    return number;
}

// Text of characters numbers are made of, and of others: signs, blanks, separators,
// exponents, embedded NULs, bytes above 127.
std::string RandomText(Rng& rng, std::size_t maxBytes) {
    static const char* const pieces[] = {"0", "1", "2",        "5", "9", "+", "-",  " ",        "\t", "\n", ".",
                                         ",", "'", "\xC2\xA0", "e", "E", "x", "::", "\xD9\xAB", "%",  "\\"};
    const std::size_t length = static_cast<std::size_t>(rng.In(0, static_cast<std::int64_t>(maxBytes)));
    std::string text;
    while (text.size() < length) {
        const int what = static_cast<int>(rng.In(0, 19));
        if (what == 0)
            text += '\0';
        else if (what == 1)
            text += static_cast<char>(rng.In(1, 255));
        else
            text += rng.Pick(pieces);
    }
    text.resize(length);
    return text;
}

struct Stored {
    DWORD type;
    std::vector<BYTE> data;
};

// Text in a REG_SZ value: usually with its NUL, sometimes without, sometimes with bytes after it.
Stored TextValue(Rng& rng, const std::string& text) {
    Stored stored{REG_SZ, std::vector<BYTE>(text.begin(), text.end())};
    const int ending = static_cast<int>(rng.In(0, 99));
    if (ending < 70) {
        stored.data.push_back(0);
    } else if (ending < 85) {
        stored.data.push_back(0);
        const auto tail = rng.Bytes(static_cast<std::size_t>(rng.In(1, 8)));
        stored.data.insert(stored.data.end(), tail.begin(), tail.end());
    }
    return stored;
}

Stored DwordValue(std::uint32_t value, std::size_t size) {
    Stored stored{REG_DWORD, {}};
    for (std::size_t i = 0; i < size; ++i) stored.data.push_back(static_cast<BYTE>(i < 4 ? value >> (8 * i) : 0));
    return stored;
}

// One generated value: what is stored (nothing: the value is missing) and, when known, the
// integer its text means.
struct Generated {
    std::optional<Stored> stored;
    std::optional<std::int64_t> number;
};

Generated Generate(Rng& rng, Field field, const num::Separators& sep) {
    Generated g;
    const int kind = static_cast<int>(rng.In(0, 99));
    if (kind < 8) return g;  // missing
    if (kind < 30) {
        const std::int32_t v = Interesting32(rng);
        g.stored = DwordValue(static_cast<std::uint32_t>(v), 4);
        g.number = v;
    } else if (kind < 37) {
        // Shorter than a DWORD: the bytes there are, zero-extended.
        const std::size_t size = static_cast<std::size_t>(rng.In(0, 3));
        g.stored = Stored{REG_DWORD, rng.Bytes(size)};
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < size; ++i) v |= static_cast<std::uint32_t>(g.stored->data[i]) << (8 * i);
        g.number = v;
    } else if (kind < 42) {
        g.stored = Stored{REG_DWORD, rng.Bytes(static_cast<std::size_t>(rng.In(5, 64)))};
    } else if (kind < 65) {
        if (field == kImagestretch) {
            static const char* const texts[] = {"1", "0", " 1", "1 ", "01", "1.0", "+1", "-1", "true", "", "2"};
            g.stored = TextValue(rng, rng.Pick(texts));
        } else if (field == kImagename) {
            g.stored = TextValue(rng, rng.Pick({"C:\\pictures\\sky.bmp", "\\\\server\\share\\a.jpg", "sky.gif", "1"}));
        } else {
            const NumberText n = field == kDisablecorner ? LeadingNumber(rng) : LocaleNumber(rng, sep);
            g.stored = TextValue(rng, n.text);
            g.number = n.value;
        }
    } else if (kind < 85) {
        g.stored = rng.Chance(5) ? Stored{REG_SZ, {}} : TextValue(rng, RandomText(rng, 64));
    } else {
        static const DWORD types[] = {
            REG_NONE, REG_EXPAND_SZ, REG_BINARY, REG_DWORD_BIG_ENDIAN, REG_MULTI_SZ, REG_QWORD, 6, 8, 9, 10,
            12,       0x7FFFFFFF,    0xFFFFFFFF};
        const DWORD type = rng.Chance(80) ? rng.Pick(types) : static_cast<DWORD>(rng.Bits());
        g.stored = rng.Chance(50) ? Stored{type, rng.Bytes(static_cast<std::size_t>(rng.In(0, 64)))}
                                  : Stored{type, TextValue(rng, "7").data};
    }
    return g;
}

// The text the registry routines make of a stored value: a REG_SZ up to its first NUL, a
// REG_DWORD of at most four bytes in decimal, nothing for anything else.
std::string ReadText(const std::optional<Stored>& stored) {
    if (!stored) return {};
    const auto& d = stored->data;
    if (stored->type == REG_SZ) return std::string(d.begin(), std::find(d.begin(), d.end(), BYTE{0}));
    if (stored->type == REG_DWORD && d.size() <= 4) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < d.size(); ++i) v |= static_cast<std::uint32_t>(d[i]) << (8 * i);
        return std::to_string(static_cast<std::int32_t>(v));
    }
    return {};
}

std::string Describe(const std::optional<Stored>& stored) {
    if (!stored) return "missing";
    std::ostringstream out;
    out << "type " << stored->type << ", " << stored->data.size() << " bytes:";
    char hex[4];
    for (BYTE b : stored->data) {
        std::snprintf(hex, sizeof hex, " %02x", b);
        out << hex;
    }
    return out.str();
}

std::string Describe(const SettingsRecord& s) {
    std::ostringstream out;
    out << "{formcolor " << s.formcolor << ", transvalue " << s.transvalue << ", opaquetime " << s.opaquetime
        << ", imagename \"" << s.imagename << "\" (" << s.imagename.size() << " bytes), imagestretch " << s.imagestretch
        << ", disablecorner " << s.disablecorner << "}";
    return out.str();
}

// The field limits of a load, applied to the integer a value means.
std::int32_t FormcolorLimit(std::int64_t n) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(std::abs(n), 0xFFFFFF));
}
std::int32_t TransvalueLimit(std::int64_t n) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, 0, 255)); }
std::int32_t OpaquetimeLimit(std::int64_t n) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, kInt32Min, kInt32Max));
}
std::int16_t CornerLimit(std::int64_t n) { return static_cast<std::int16_t>(std::clamp<std::int64_t>(n, 0, 4)); }

SettingsRecord RandomRecord(Rng& rng) {
    return SettingsRecord{Interesting32(rng),
                          Interesting32(rng),
                          Interesting32(rng),
                          RandomText(rng, 300),
                          static_cast<std::int16_t>(rng.In(-32768, 32767)),
                          static_cast<std::int16_t>(rng.In(-32768, 32767))};
}

std::string RandomCase(Rng& rng, const char* name) {
    std::string out = name;
    for (char& c : out)
        if (rng.Chance(15)) c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::uint64_t Seed() {
    const char* text = std::getenv("VELUMBRA_FUZZ_SEED");
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 0) : kDefaultSeed;
}

class SettingsFuzz : public HostTest {};

TEST_F(SettingsFuzz, AnyRegistryStateLoadsInRangeAndSavesBackWithTheLimits) {
    const std::uint64_t seed = Seed();
    std::printf("[ info ] settings fuzz seed %llu (VELUMBRA_FUZZ_SEED=%llu to repeat)\n",
                static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed));
    Rng rng(seed);
    int loadFailed = 0, saveFailed = 0;
    for (int n = 0; n < kCases; ++n) {
        registry = platform::MemoryRegistry(&log);
        log.Clear();
        const num::Separators& sep = rng.Pick(kLocales);
        num::SetSeparators(sep);

        // The state: no key at all, an empty key, or each value generated on its own, its name
        // in any case, among unrelated values and subkeys.
        std::array<Generated, kFields> values;
        const int keyState = static_cast<int>(rng.In(0, 99));
        if (keyState < 4) {
            if (rng.Chance(50)) registry.PutDword("Software\\Other", "formcolor", 5);
        } else {
            registry.Put(kKey, rng.Chance(50) ? "" : "unrelated", REG_SZ, {'9', 0});
            if (rng.Chance(10)) registry.Put(std::string(kKey) + "\\formcolor", "formcolor", REG_DWORD, {1, 0, 0, 0});
            if (keyState >= 7)
                for (int f = 0; f < kFields; ++f) {
                    values[f] = Generate(rng, static_cast<Field>(f), sep);
                    if (values[f].stored)
                        registry.Put(kKey, RandomCase(rng, kNames[f]), values[f].stored->type, values[f].stored->data);
                }
        }
        const auto before = registry.Snapshot();

        std::ostringstream state;
        state << "case " << n << " of seed " << seed << ", separators \"" << sep.decimal << "\" \"" << sep.thousands
              << "\", key " << (keyState < 4 ? "missing" : "present");
        for (int f = 0; f < kFields; ++f) state << "\n  " << kNames[f] << ": " << Describe(values[f].stored);

        // Load twice over different records: nothing of the old record may survive.
        settings::Current() = RandomRecord(rng);
        settings::LoadSettings();
        const SettingsRecord loaded = settings::Current();
        settings::Current() = RandomRecord(rng);
        settings::LoadSettings();

        std::vector<std::string> problems;
        const auto check = [&](bool ok, const std::string& what) {
            if (!ok) problems.push_back(what);
        };
        const SettingsRecord& s = loaded;
        check(settings::Current() == s, "a second load gave " + Describe(settings::Current()));
        check(s.formcolor >= 0 && s.formcolor <= 0xFFFFFF, "formcolor out of range");
        check(s.transvalue >= 0 && s.transvalue <= 255, "transvalue out of range");
        check(s.imagestretch == -1 || s.imagestretch == 0, "imagestretch neither -1 nor 0");
        check(s.disablecorner >= 0 && s.disablecorner <= 4, "disablecorner out of range");
        check(registry.OpenHandles() == 0, std::to_string(registry.OpenHandles()) + " key handles left open");
        check(registry.Writes() == 0, std::to_string(registry.Writes()) + " writes");
        check(registry.Snapshot() == before, "the registry changed");

        // Exact where the meaning is known: an empty text gives the default, a known number
        // its value with the field's limit.
        std::array<std::string, kFields> text;
        for (int f = 0; f < kFields; ++f) text[f] = ReadText(values[f].stored);
        const auto& number = [&](Field f) { return values[f].number; };
        if (text[kFormcolor].empty())
            check(s.formcolor == 0, "formcolor is not its default");
        else if (number(kFormcolor))
            check(s.formcolor == FormcolorLimit(*number(kFormcolor)), "formcolor wrong");
        if (text[kTransvalue].empty())
            check(s.transvalue == 128, "transvalue is not its default");
        else if (number(kTransvalue))
            check(s.transvalue == TransvalueLimit(*number(kTransvalue)), "transvalue wrong");
        if (text[kOpaquetime].empty())
            check(s.opaquetime == 0, "opaquetime is not its default");
        else if (number(kOpaquetime))
            check(s.opaquetime == OpaquetimeLimit(*number(kOpaquetime)), "opaquetime wrong");
        if (text[kDisablecorner].empty())
            check(s.disablecorner == 0, "disablecorner is not its default");
        else if (number(kDisablecorner))
            check(s.disablecorner == CornerLimit(*number(kDisablecorner)), "disablecorner wrong");
        check(s.imagename == text[kImagename], "imagename is not the stored text");
        check(s.imagestretch == (text[kImagestretch] == "1" ? -1 : 0), "imagestretch wrong");
        if (!problems.empty()) {
            ++loadFailed;
            std::string all;
            for (const auto& p : problems) all += "\n  " + p;
            if (loadFailed <= 10) ADD_FAILURE() << state.str() << "\nloaded " << Describe(s) << all;
            continue;
        }

        // Save random values over this state, then load them back.
        SettingsRecord saved = RandomRecord(rng);
        saved.imagename.erase(std::remove(saved.imagename.begin(), saved.imagename.end(), '\0'), saved.imagename.end());
        settings::SaveSettings(saved.formcolor, saved.transvalue, saved.opaquetime, saved.imagename, saved.imagestretch,
                               saved.disablecorner);
        check(settings::Current() == saved, "the record after the save is " + Describe(settings::Current()));
        check(registry.OpenHandles() == 0, "key handles left open by the save");
        for (int f = 0; f < kFields; ++f) {
            const auto value = registry.Get(kKey, kNames[f]);
            check(value && value->type == (f == kImagename ? REG_SZ : REG_DWORD),
                  std::string(kNames[f]) + " not stored with its type");
        }
        settings::Current() = RandomRecord(rng);
        settings::LoadSettings();
        const SettingsRecord expected{FormcolorLimit(saved.formcolor),
                                      TransvalueLimit(saved.transvalue),
                                      saved.opaquetime,
                                      saved.imagename,
                                      static_cast<std::int16_t>(saved.imagestretch != 0 ? -1 : 0),
                                      CornerLimit(saved.disablecorner)};
        check(settings::Current() == expected, "saved " + Describe(saved) + "\n  loaded " +
                                                   Describe(settings::Current()) + "\n  expected " +
                                                   Describe(expected));
        check(registry.OpenHandles() == 0, "key handles left open by the load after the save");
        if (!problems.empty()) {
            ++saveFailed;
            std::string all;
            for (const auto& p : problems) all += "\n  " + p;
            if (saveFailed <= 10) ADD_FAILURE() << state.str() << all;
        }
    }
    std::printf("[ report ] settings fuzz, registry states loaded: %d tried, %d failed\n", kCases, loadFailed);
    std::printf("[ report ] settings fuzz, saves over them loaded back: %d tried, %d failed\n", kCases - loadFailed,
                saveFailed);
    EXPECT_EQ(loadFailed, 0);
    EXPECT_EQ(saveFailed, 0);
}

// A picture path cannot hold a NUL: a name with one is stored whole (the NUL and what follows
// it too) but reads back only up to the NUL; the record keeps what was passed until the next load.
TEST_F(SettingsFuzz, ImagenameWithAnEmbeddedNulReadsBackUpToIt) {
    const std::string name("C:\\a.bmp\0D:\\b.bmp", 17);
    settings::SaveSettings(1, 2, 3, name, 0, 1);
    EXPECT_EQ(settings::Current().imagename, name);
    const std::vector<BYTE> bytes(name.c_str(), name.c_str() + name.size() + 1);
    EXPECT_EQ(registry.Get(kKey, "imagename")->data, bytes);
    settings::LoadSettings();
    EXPECT_EQ(settings::Current().imagename, "C:\\a.bmp");
}

}  // namespace
