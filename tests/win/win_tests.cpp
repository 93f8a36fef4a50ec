// In process under Wine: the registry routines against advapi32, and fuzzing where only the
// real registry and the real codecs can fail.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "platform/numbers.h"
#include "platform/picture.h"
#include "settings/reg.h"
#include "settings/settings.h"

namespace {

using Bytes = std::vector<BYTE>;
using Values = std::map<std::string, std::pair<DWORD, Bytes>>;
constexpr const char* kKey = "Software\\Velumbra";

Bytes Dword(std::uint32_t v) { return {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}; }

void Put(const Values& values) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    for (const auto& [name, value] : values)
        RegSetValueExA(key, name.c_str(), 0, value.first, value.second.data(), static_cast<DWORD>(value.second.size()));
    RegCloseKey(key);
}

// Every value of the key; none when there is no key.
Values Stored() {
    Values values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != 0) return values;
    char name[64];
    BYTE data[1024];
    for (DWORD i = 0, n = sizeof name, size = sizeof data, type = 0;
         RegEnumValueA(key, i, name, &n, nullptr, &type, data, &size) == 0; ++i, n = sizeof name, size = sizeof data)
        values[name] = {type, Bytes(data, data + size)};
    RegCloseKey(key);
    return values;
}

// The process's open handles, found by asking after each possible value (Wine counts none).
int OpenHandles() {
    int open = 0;
    DWORD flags = 0;
    for (ULONG_PTR h = 4; h < 8192; h += 4) open += GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags) != 0;
    return open;
}

std::mt19937_64 Random() {
    const char* env = std::getenv("VELUMBRA_FUZZ_SEED");
    const std::uint64_t seed = env && *env ? std::strtoull(env, nullptr, 0) : 20241206;
    std::printf("[ info ] fuzz seed %llu\n", static_cast<unsigned long long>(seed));
    return std::mt19937_64(seed);
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }
};

TEST_F(Registry, ReadSettingGivesStoredValuesAsText) {
    const std::map<std::string, std::tuple<DWORD, Bytes, const char*>> cases = {
        {"dword", {REG_DWORD, Dword(128), "128"}},     {"minus", {REG_DWORD, Dword(0xFFFFFFFF), "-1"}},
        {"short", {REG_DWORD, {0x34, 0x12}, "4660"}},  {"long", {REG_DWORD, {1, 0, 0, 0, 0}, ""}},
        {"text", {REG_SZ, {'a', 'b', 'c', 0}, "abc"}}, {"nonul", {REG_SZ, {'a', 'b', 'c'}, "abc"}},
        {"inner", {REG_SZ, {'a', 0, 'c', 0}, "a"}},    {"sizezero", {REG_SZ, {}, ""}},
        {"binary", {REG_BINARY, {'7', 0}, ""}},        {"expand", {REG_EXPAND_SZ, {'7', 0}, ""}},
        {"multi", {REG_MULTI_SZ, {'7', 0, 0}, ""}},    {"bigend", {REG_DWORD_BIG_ENDIAN, Dword(7), ""}}};
    for (const auto& [name, c] : cases) Put({{name, {std::get<0>(c), std::get<1>(c)}}});
    for (const auto& [name, c] : cases) EXPECT_EQ(Reg::ReadSetting(HKEY_CURRENT_USER, kKey, name), std::get<2>(c)) << name;
    EXPECT_EQ(Reg::ReadSetting(HKEY_CURRENT_USER, kKey, "missing"), "");
    EXPECT_EQ(Reg::ReadSetting(HKEY_CURRENT_USER, "Software\\VelumbraAbsent", "dword"), "");
}

TEST_F(Registry, WritesStoreExactBytesAndOnlyEnsureKeyCreates) {
    EXPECT_EQ(Reg::WriteSetting(HKEY_CURRENT_USER, kKey, "v", std::int32_t{1}, REG_DWORD), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(Stored().empty());
    Put({{"kept", {REG_SZ, {'k', 0}}}});
    EXPECT_EQ(Reg::EnsureKey(HKEY_CURRENT_USER, kKey), 0);
    const std::tuple<const char*, Reg::Value, DWORD> cases[] = {
        {"text", std::string("abc"), REG_SZ}, {"empty", std::string(), REG_SZ}, {"minus", std::int16_t{-1}, REG_DWORD},
        {"long", std::int32_t{0x1000000}, REG_DWORD}, {"numeric", std::string(" 12 "), REG_DWORD},
        {"number", std::int32_t{-30}, REG_SZ}};
    for (const auto& [name, value, type] : cases) EXPECT_EQ(Reg::WriteSetting(HKEY_CURRENT_USER, kKey, name, value, type), 0);
    EXPECT_EQ(Reg::WriteSetting(HKEY_CURRENT_USER, kKey, "bad", std::string("x"), REG_DWORD), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Stored(), (Values{{"kept", {REG_SZ, {'k', 0}}}, {"text", {REG_SZ, {'a', 'b', 'c', 0}}},
                                {"empty", {REG_SZ, {0}}}, {"minus", {REG_DWORD, Dword(0xFFFFFFFF)}},
                                {"long", {REG_DWORD, Dword(0x1000000)}}, {"numeric", {REG_DWORD, Dword(12)}},
                                {"number", {REG_SZ, {'-', '3', '0', 0}}}}));
}

TEST_F(Registry, TextThatGrowsWhileReadIsWholeOrEmpty) {
    // Another program rewrites the value between the size query and the data query.
    Bytes longer(200, 'b');
    longer.back() = 0;
    Put({{"grows", {REG_SZ, {'a', 0}}}});
    std::atomic<bool> done = false;
    std::thread writer([&] {
        for (int i = 0; !done; ++i) Put({{"grows", {REG_SZ, i % 2 ? Bytes{'a', 0} : longer}}});
    });
    int empty = 0, wrong = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string text = Reg::ReadSetting(HKEY_CURRENT_USER, kKey, "grows");
        empty += text.empty();
        wrong += !(text.empty() || text == "a" || text == std::string(199, 'b'));
    }
    done = true;
    writer.join();
    EXPECT_EQ(wrong, 0);
    std::printf("[ info ] %d of 3000 reads met a value that grew\n", empty);
}

TEST_F(Registry, FuzzedStoredSettingsLoadInRangeWriteNothingAndLeaveNoHandle) {
    auto rng = Random();
    const auto in = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    const num::Separators locales[] = {{".", ","}, {",", "."}, {",", "\xC2\xA0"}, {".", "'"}, {"::", ".."}, {",", ""}};
    const char* const pieces[] = {"0", "1", "5", "9", "+", "-", " ", "\t", ".", ",", "'", "\xC2\xA0", "e", "E",
                                  "::", "%", "2147483648", "99999999999", "1e400", "0.5"};
    const int handles = OpenHandles();
    constexpr int kCases = 1000;
    int failed = 0;
    for (int n = 0; n < kCases; ++n) {
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
        num::SetSeparators(locales[in(0, 5)]);
        Values values;
        for (const char* name : {"formcolor", "transvalue", "opaquetime", "imagename", "imagestretch", "disablecorner"}) {
            const int kind = in(0, 9);  // 0 missing; 1 to 6 text, mostly with its NUL; 7 and 8 a DWORD of 0 to 8 bytes; 9 any type
            std::string text;
            for (int i = kind <= 6 ? in(0, 6) : 0; i > 0; --i) text += pieces[in(0, 19)];
            Bytes data(text.begin(), text.end());
            if (kind <= 6 && in(0, 4)) data.push_back(0);
            for (int i = kind > 6 ? in(0, 8) : 0; i > 0; --i) data.push_back(static_cast<BYTE>(in(0, 255)));
            if (kind > 0) values[name] = {kind <= 6 ? REG_SZ : kind <= 8 ? REG_DWORD : static_cast<DWORD>(in(0, 11)), data};
        }
        Put(values);
        const Values before = Stored();
        settings::LoadSettings();
        const settings::SettingsRecord& s = settings::Current();
        const bool ok = s.formcolor >= 0 && s.formcolor <= 0xFFFFFF && s.transvalue >= 0 && s.transvalue <= 255 &&
                        (s.imagestretch == -1 || s.imagestretch == 0) && s.disablecorner >= 0 &&
                        s.disablecorner <= 4 && Stored() == before;
        if (!ok && ++failed <= 5) ADD_FAILURE() << "case " << n;
    }
    num::SetSeparators({".", ","});
    EXPECT_EQ(OpenHandles(), handles) << "key handles left open";
    std::printf("[ report ] settings fuzz, stored states loaded: %d tried, %d failed\n", kCases, failed);
}

Bytes TestData(const char* file) {
    std::ifstream in(VELUMBRA_TEST_DATA "/" + std::string(file), std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}

// The picture a file of these bytes gives.
std::optional<Picture> Load(const Bytes& data) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "velumbra-" + std::to_string(GetCurrentProcessId()) + ".pic";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    auto picture = LoadPicture(path);
    DeleteFileA(path.c_str());
    return picture;
}

TEST(Pictures, MutatedFilesLoadSanelyOrAreRefused) {
    // A crash fails the program; a hang runs into ctest's time limit.
    auto rng = Random();
    const auto in = [&](std::size_t low, std::size_t high) { return std::uniform_int_distribution<std::size_t>(low, high)(rng); };
    const std::uint32_t extremes[] = {0, 1, 0xFFFF, 0x8000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 65536};
    int tried = 0, failed = 0, loaded = 0;
    for (const char* name : {"quadrants.bmp", "wide.bmp", "quadrants.jpg", "quadrants.gif", "icon.ico", "png256.ico"}) {
        const Bytes base = TestData(name);
        ASSERT_GT(base.size(), 128u) << name;
        for (int n = 0; n < 80; ++n, ++tried) {
            // Cut short, bytes changed, a 32-bit field set to an extreme, or a slice removed or
            // repeated; half the changes in the first 128 bytes, where the headers are.
            Bytes data = base;
            const auto where = [&] { return in(0, (in(0, 1) ? 128 : data.size()) - 4); };
            if (n % 4 == 0) data.resize(in(1, data.size() - 1));
            for (int i = n % 4 == 1 ? static_cast<int>(in(1, 8)) : 0; i > 0; --i) data[where()] = static_cast<BYTE>(in(0, 255));
            for (std::size_t at = where(), i = 0, v = extremes[in(0, 7)]; n % 4 == 2 && i < 4; ++i) data[at + i] = BYTE(v >> 8 * i);
            if (n % 4 == 3) {
                const std::size_t at = where(), length = in(1, std::min<std::size_t>(64, data.size() - at));
                const Bytes slice(data.begin() + at, data.begin() + at + length);
                if (in(0, 1)) data.erase(data.begin() + at, data.begin() + at + length);
                else data.insert(data.begin() + at, slice.begin(), slice.end());
            }
            const auto p = Load(data);
            loaded += p.has_value();
            const auto count = p ? std::uint64_t(p->width) * std::uint64_t(p->height) : 0;
            if (p && !(p->width > 0 && p->height > 0 && count <= 64u << 20 && p->pixels.size() == count) && ++failed <= 5)
                ADD_FAILURE() << name << " mutant " << n << " loaded as " << p->width << 'x' << p->height;
        }
    }
    std::printf("[ info ] %d of the mutants loaded, the rest were refused\n", loaded);
    std::printf("[ report ] picture fuzz files: %d tried, %d failed\n", tried, failed);
}

// A bitmap of one colour, run-length encoded: its data ends at once, so any size is a few bytes.
Bytes EmptyBitmap(std::uint32_t width, std::uint32_t height) {
    Bytes file = {'B', 'M'};
    for (std::uint32_t field : {64u, 0u, 62u, 40u, width, height, 8u << 16 | 1u, 1u /* BI_RLE8 */, 2u, 0u, 0u, 2u, 0u,
                                0x00FF0000u, 0x000000FFu})
        file.insert(file.end(), {BYTE(field), BYTE(field >> 8), BYTE(field >> 16), BYTE(field >> 24)});
    file.insert(file.end(), {0, 1});  // end of bitmap
    return file;
}

TEST(Pictures, PicturesBeyondTheLimitsAreRefused) {
    // The decoder trusts an icon image's own header: sizes like these once crashed or hung it.
    const std::tuple<const char*, std::size_t, std::uint32_t> icons[] = {
        {"icon.ico", 38 + 4, 0x3D000020}, {"icon.ico", 38 + 8, 0x20000040}, {"icon.ico", 0x30E + 4, 0x10000000},
        {"icon.ico", 38 + 4, 0xFFFFFFE0}, {"png256.ico", 22 + 16, 0x10000000}, {"png256.ico", 22 + 20, 40000}};
    for (const auto& [file, at, value] : icons) {
        Bytes data = TestData(file);
        const bool png = std::string(file) == "png256.ico";  // big-endian there, little-endian in a bitmap header
        for (int i = 0; i < 4; ++i) data[at + i] = BYTE(value >> 8 * (png ? 3 - i : i));
        EXPECT_FALSE(Load(data).has_value()) << file << " " << std::hex << value;
    }
    EXPECT_EQ(Load(TestData("png256.ico"))->width, 256);
    // No more than 64 megapixels.
    EXPECT_EQ(Load(EmptyBitmap(4096, 4096))->width, 4096);
    EXPECT_FALSE(Load(EmptyBitmap(8193, 8193)).has_value());
}

}  // namespace
