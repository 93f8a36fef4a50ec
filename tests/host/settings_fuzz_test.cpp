// Settings fuzzing: random registry states for the six settings under several locales' number
// rules. Whatever the key holds, LoadSettings leaves every field in its range, closes every
// key, writes nothing and keeps nothing of the record it replaces; values whose meaning the
// generator knows load exactly; a save over any state loads back what was saved with the
// load's limits applied. The seed is fixed and printed; VELUMBRA_FUZZ_SEED sets another.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>

#include "fixture.h"

namespace {

using settings::SettingsRecord;

constexpr int kCases = 6000;
// A magnitude beyond every field's range: what a number of more than 32 bits stands for.
constexpr std::int64_t kHuge = std::int64_t{1} << 50;

enum Field { kFormcolor, kTransvalue, kOpaquetime, kImagename, kImagestretch, kDisablecorner, kFields };
const char* const kNames[kFields] = {"formcolor", "transvalue", "opaquetime", "imagename", "imagestretch",
                                     "disablecorner"};

// English, German, French (no-break and narrow no-break spaces), Swiss, blank grouping,
// Arabic signs, made-up multi-character ones, and no grouping at all.
const num::Separators kLocales[] = {{".", ","},  {",", "."}, {",", "\xC2\xA0"},        {",", "\xE2\x80\xAF"},
                                    {".", "'"},  {",", " "}, {"\xD9\xAB", "\xD9\xAC"}, {"::", ".."},
                                    {",", ""}};

class Rng {
public:
    explicit Rng(std::uint64_t seed) : engine_(seed) {}
    std::uint64_t Bits() { return engine_(); }
    std::int64_t In(std::int64_t low, std::int64_t high) {
        return std::uniform_int_distribution<std::int64_t>(low, high)(engine_);
    }
    bool Chance(int percent) { return In(0, 99) < percent; }
    template <class T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[In(0, N - 1)];
    }
    std::vector<BYTE> Bytes(std::int64_t count) {
        std::vector<BYTE> bytes(static_cast<std::size_t>(count));
        for (BYTE& b : bytes) b = static_cast<BYTE>(In(0, 255));
        return bytes;
    }

private:
    std::mt19937_64 engine_;
};

std::int32_t Interesting32(Rng& rng) {
    static const std::int64_t values[] = {0,      1,     -1,      127,    128,       255,      256,  -256,
                                          0xFFFFFF, 0x1000000, -0x1000000, 32767, 32768, -32769, 65538,
                                          std::numeric_limits<std::int32_t>::max(),
                                          std::numeric_limits<std::int32_t>::min()};
    return static_cast<std::int32_t>(rng.Chance(50) ? rng.Pick(values) : static_cast<std::int64_t>(rng.Bits()));
}

// A number as a person in the locale might write it, and the integer it must load as
// (halves rounded to even; kHuge for magnitudes beyond 32 bits).
struct NumberText {
    std::string text;
    std::int64_t value;
};

NumberText LocaleNumber(Rng& rng, const num::Separators& sep) {
    const std::string sign = rng.Pick({"", "", "-", "+"});
    const int negative = sign == "-" ? -1 : 1;
    std::string body;
    std::int64_t value = 0;
    const int kind = static_cast<int>(rng.In(0, 9));
    if (kind < 7) {
        const int bits = static_cast<int>(rng.In(0, 33));
        const std::int64_t magnitude = bits == 0 ? 0 : static_cast<std::int64_t>(rng.Bits() >> (64 - bits));
        // Fraction digits and where they stand against one half (-1 below, 0 equal, 1 above).
        static const std::pair<const char*, int> fractions[] = {{nullptr, -1}, {"", -1},  {"4999", -1}, {"25", -1},
                                                                {"5", 0},      {"500", 0}, {"5001", 1},  {"75", 1}};
        const auto& [digits, versusHalf] = rng.Pick(fractions);
        const bool up = versusHalf > 0 || (versusHalf == 0 && magnitude % 2 == 1);
        value = negative * (magnitude + (up ? 1 : 0));
        std::string integer = std::to_string(magnitude);
        if (!sep.thousands.empty() && integer.size() > 3 && rng.Chance(50)) {
            for (std::size_t at = integer.size() - 3; at > 0; at -= std::min<std::size_t>(at, 3))
                integer.insert(at, sep.thousands);
        }
        body = integer + (digits ? sep.decimal + digits : "") + (rng.Chance(15) ? "E+000" : "");
    } else if (kind < 8) {
        body = std::to_string(rng.In(1, 9)) + (rng.Chance(50) ? std::string(static_cast<std::size_t>(rng.In(10, 40)), '7')
                                                              : "e" + std::to_string(rng.In(10, 400)));
        value = negative * kHuge;
    } else {
        body = rng.Chance(50) ? "0" + sep.decimal + std::string(static_cast<std::size_t>(rng.In(1, 40)), '0') + "9"
                              : std::to_string(rng.In(1, 9)) + "e-" + std::to_string(rng.In(2, 400));
    }
    const char* const blanks[] = {"", "", " ", "\t", " \t "};
    return {rng.Pick(blanks) + sign + body + rng.Pick(blanks), value};
}

// The corner's reading: "." in every locale, no grouping, blanks anywhere, anything after it.
NumberText LeadingNumber(Rng& rng) {
    NumberText number = LocaleNumber(rng, {".", ""});
    for (int i = static_cast<int>(rng.In(0, 3)); i > 0; --i)
        number.text.insert(static_cast<std::size_t>(rng.In(0, static_cast<std::int64_t>(number.text.size()))),
                           rng.Pick({" ", "\t", "\n"}));
    number.text += rng.Pick({"", "rd", "x1", ",5", "%"});
    return number;
}

// Text of the characters numbers are made of and of others, embedded NULs included.
std::string RandomText(Rng& rng, std::int64_t maxBytes) {
    static const char* const pieces[] = {"0", "1", "5", "9", "+", "-", " ", "\t", ".", ",", "'", "\xC2\xA0",
                                         "e", "E", "x", "::", "\xD9\xAB", "%", "\\"};
    std::string text;
    const auto length = static_cast<std::size_t>(rng.In(0, maxBytes));
    while (text.size() < length) {
        if (rng.Chance(5)) text += static_cast<char>(rng.In(0, 255));  // NULs and bytes above 127 too
        else text += rng.Pick(pieces);
    }
    text.resize(length);
    return text;
}

struct Stored {
    DWORD type;
    std::vector<BYTE> data;
};

// A REG_SZ: mostly with its NUL, sometimes without, sometimes with bytes after the NUL.
Stored TextValue(Rng& rng, const std::string& text) {
    Stored s{REG_SZ, std::vector<BYTE>(text.begin(), text.end())};
    const int ending = static_cast<int>(rng.In(0, 99));
    if (ending < 85) s.data.push_back(0);
    if (ending < 15) {
        const auto tail = rng.Bytes(rng.In(1, 8));
        s.data.insert(s.data.end(), tail.begin(), tail.end());
    }
    return s;
}

// One value: what is stored (nothing: missing) and, when known, the integer its text means.
struct Generated {
    std::optional<Stored> stored;
    std::optional<std::int64_t> number;
};

Generated Generate(Rng& rng, Field field, const num::Separators& sep) {
    Generated g;
    const int kind = static_cast<int>(rng.In(0, 99));
    if (kind < 8) return g;
    if (kind < 37) {
        // A REG_DWORD of 0 to 4 bytes: the bytes there are, zero-extended.
        const std::int32_t v = Interesting32(rng);
        const auto size = static_cast<std::size_t>(rng.Chance(75) ? 4 : rng.In(0, 3));
        g.stored = Stored{REG_DWORD, {}};
        for (std::size_t i = 0; i < size; ++i) g.stored->data.push_back(static_cast<BYTE>(static_cast<std::uint32_t>(v) >> (8 * i)));
        g.number = size == 4 ? v : static_cast<std::int64_t>(static_cast<std::uint32_t>(v) & ((1u << (8 * size)) - 1));
    } else if (kind < 42) {
        g.stored = Stored{REG_DWORD, rng.Bytes(rng.In(5, 64))};  // too long: read as missing
    } else if (kind < 65 && field != kImagename && field != kImagestretch) {
        const NumberText n = field == kDisablecorner ? LeadingNumber(rng) : LocaleNumber(rng, sep);
        g.stored = TextValue(rng, n.text);
        g.number = n.value;
    } else if (kind < 85) {
        static const char* const known[] = {"1", "0", " 1", "01", "-1", "true", "C:\\pictures\\sky.bmp", ""};
        g.stored = TextValue(rng, rng.Chance(30) ? std::string(rng.Pick(known)) : RandomText(rng, 64));
    } else {
        static const DWORD types[] = {REG_NONE,     REG_EXPAND_SZ, REG_BINARY, REG_DWORD_BIG_ENDIAN,
                                      REG_MULTI_SZ, REG_QWORD,     6,          0xFFFFFFFF};
        const DWORD type = rng.Chance(80) ? rng.Pick(types) : static_cast<DWORD>(rng.Bits());
        g.stored = Stored{type, rng.Chance(50) ? rng.Bytes(rng.In(0, 64)) : std::vector<BYTE>{'7', 0}};
    }
    return g;
}

// The text the registry routines make of a value: a REG_SZ up to its first NUL, a REG_DWORD of
// at most four bytes in decimal, nothing for anything else.
std::string ReadText(const std::optional<Stored>& stored) {
    if (!stored) return {};
    const auto& d = stored->data;
    if (stored->type == REG_SZ) return std::string(d.begin(), std::find(d.begin(), d.end(), BYTE{0}));
    if (stored->type != REG_DWORD || d.size() > 4) return {};
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < d.size(); ++i) v |= static_cast<std::uint32_t>(d[i]) << (8 * i);
    return std::to_string(static_cast<std::int32_t>(v));
}

// The load's limits on the integer a value means.
SettingsRecord Limited(std::int64_t color, std::int64_t trans, std::int64_t time, std::string name, bool stretch,
                       std::int64_t corner) {
    return {static_cast<std::int32_t>(std::min<std::int64_t>(std::abs(color), 0xFFFFFF)),
            static_cast<std::int32_t>(std::clamp<std::int64_t>(trans, 0, 255)),
            static_cast<std::int32_t>(std::clamp<std::int64_t>(time, std::numeric_limits<std::int32_t>::min(),
                                                               std::numeric_limits<std::int32_t>::max())),
            std::move(name),
            static_cast<std::int16_t>(stretch ? -1 : 0),
            static_cast<std::int16_t>(std::clamp<std::int64_t>(corner, 0, 4))};
}

SettingsRecord RandomRecord(Rng& rng) {
    return {Interesting32(rng), Interesting32(rng), Interesting32(rng), RandomText(rng, 300),
            static_cast<std::int16_t>(rng.In(-32768, 32767)), static_cast<std::int16_t>(rng.In(-32768, 32767))};
}

class SettingsFuzz : public HostTest {};

TEST_F(SettingsFuzz, AnyRegistryStateLoadsInRangeAndSavesBackWithTheLimits) {
    const char* env = std::getenv("VELUMBRA_FUZZ_SEED");
    const std::uint64_t seed = env && *env ? std::strtoull(env, nullptr, 0) : 20241206;
    std::printf("[ info ] settings fuzz seed %llu\n", static_cast<unsigned long long>(seed));
    Rng rng(seed);
    int loadFailed = 0, saveFailed = 0;
    for (int n = 0; n < kCases; ++n) {
        registry = platform::MemoryRegistry(&log);
        const num::Separators& sep = rng.Pick(kLocales);
        num::SetSeparators(sep);
        std::array<Generated, kFields> values;
        if (rng.Chance(95)) {  // else no key at all
            registry.Put(kKey, "unrelated", REG_SZ, {'9', 0});
            for (int f = 0; f < kFields; ++f) {
                values[f] = Generate(rng, static_cast<Field>(f), sep);
                if (values[f].stored) registry.Put(kKey, kNames[f], values[f].stored->type, values[f].stored->data);
            }
        }
        const auto before = registry.Snapshot();

        settings::Current() = RandomRecord(rng);
        settings::LoadSettings();
        const SettingsRecord s = settings::Current();
        settings::Current() = RandomRecord(rng);
        settings::LoadSettings();  // again over another record: nothing of the old one survives

        // Known meanings load exactly; an empty text gives the default.
        std::array<std::int64_t, kFields> expected{0, 128, 0, 0, 0, 0};
        std::array<bool, kFields> known{};
        for (int f : {kFormcolor, kTransvalue, kOpaquetime, kDisablecorner}) {
            known[f] = ReadText(values[f].stored).empty() || values[f].number.has_value();
            if (!ReadText(values[f].stored).empty() && values[f].number) expected[f] = *values[f].number;
        }
        const SettingsRecord want = Limited(expected[kFormcolor], expected[kTransvalue], expected[kOpaquetime],
                                            ReadText(values[kImagename].stored),
                                            ReadText(values[kImagestretch].stored) == "1", expected[kDisablecorner]);
        const bool ok = settings::Current() == s && s.formcolor >= 0 && s.formcolor <= 0xFFFFFF && s.transvalue >= 0 &&
                        s.transvalue <= 255 && (s.imagestretch == -1 || s.imagestretch == 0) &&
                        s.disablecorner >= 0 && s.disablecorner <= 4 && registry.OpenHandles() == 0 &&
                        registry.Writes() == 0 && registry.Snapshot() == before && s.imagename == want.imagename &&
                        s.imagestretch == want.imagestretch && (!known[kFormcolor] || s.formcolor == want.formcolor) &&
                        (!known[kTransvalue] || s.transvalue == want.transvalue) &&
                        (!known[kOpaquetime] || s.opaquetime == want.opaquetime) &&
                        (!known[kDisablecorner] || s.disablecorner == want.disablecorner);
        if (!ok && ++loadFailed <= 10) {
            std::string state;
            for (int f = 0; f < kFields; ++f) {
                state += std::string("\n  ") + kNames[f] + ": ";
                for (char c : ReadText(values[f].stored)) state += c >= 32 && c < 127 ? std::string(1, c) : "?";
                if (values[f].stored) state += ", type " + std::to_string(values[f].stored->type);
            }
            ADD_FAILURE() << "case " << n << " of seed " << seed << ", separators '" << sep.decimal << "' '"
                          << sep.thousands << "'" << state << "\n  loaded " << s.formcolor << " " << s.transvalue << " " << s.opaquetime << " "
                          << s.disablecorner << ", expected " << want.formcolor << " " << want.transvalue << " "
                          << want.opaquetime << " " << want.disablecorner;
        }
        if (!ok) continue;

        // A save over this state loads back what was saved, limits applied.
        SettingsRecord saved = RandomRecord(rng);
        saved.imagename.erase(std::remove(saved.imagename.begin(), saved.imagename.end(), '\0'), saved.imagename.end());
        settings::SaveSettings(saved.formcolor, saved.transvalue, saved.opaquetime, saved.imagename,
                               saved.imagestretch, saved.disablecorner);
        const bool savedAsPassed = settings::Current() == saved;
        settings::LoadSettings();
        if ((!savedAsPassed || registry.OpenHandles() != 0 ||
             settings::Current() != Limited(saved.formcolor, saved.transvalue, saved.opaquetime, saved.imagename,
                                            saved.imagestretch != 0, saved.disablecorner)) &&
            ++saveFailed <= 10)
            ADD_FAILURE() << "save in case " << n << " of seed " << seed;
    }
    std::printf("[ report ] settings fuzz, registry states loaded: %d tried, %d failed\n", kCases, loadFailed);
    std::printf("[ report ] settings fuzz, saves over them loaded back: %d tried, %d failed\n", kCases - loadFailed,
                saveFailed);
    EXPECT_EQ(loadFailed + saveFailed, 0);
}

// A picture path cannot hold a NUL: one with it is stored whole but reads back only up to
// the NUL; the record keeps what was passed until the next load.
TEST_F(SettingsFuzz, ImagenameWithAnEmbeddedNulReadsBackUpToIt) {
    const std::string name("C:\\a.bmp\0D:\\b.bmp", 17);
    settings::SaveSettings(1, 2, 3, name, 0, 1);
    EXPECT_EQ(settings::Current().imagename, name);
    EXPECT_EQ(registry.Get(kKey, "imagename")->data.size(), name.size() + 1);
    settings::LoadSettings();
    EXPECT_EQ(settings::Current().imagename, "C:\\a.bmp");
}

}  // namespace
