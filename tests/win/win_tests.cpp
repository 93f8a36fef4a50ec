#include <gtest/gtest.h>

#include <cstdlib>
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
constexpr const char* kKey = "Software\\Velumbra";

Bytes Dword(std::uint32_t v) { return {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}; }

void Put(const char* name, DWORD type, const Bytes& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), 0);
    RegCloseKey(key);
}

// Every value of the key, type and bytes; the key's absence as an empty map.
std::map<std::string, std::pair<DWORD, Bytes>> Stored() {
    std::map<std::string, std::pair<DWORD, Bytes>> values;
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

// The process's open handles, found by asking for each possible value (Wine's handle count is 0).
int OpenHandles() {
    int open = 0;
    DWORD flags = 0;
    for (ULONG_PTR h = 4; h < 8192; h += 4) open += GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags) != 0;
    return open;
}

std::uint64_t Seed() {
    const char* env = std::getenv("VELUMBRA_FUZZ_SEED");
    const std::uint64_t seed = env && *env ? std::strtoull(env, nullptr, 0) : 20241206;
    std::printf("[ info ] fuzz seed %llu\n", static_cast<unsigned long long>(seed));
    return seed;
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }
};

TEST_F(Registry, ReadSettingGivesStoredValuesAsText) {
    const struct {
        const char* name;
        DWORD type;
        Bytes data;
        const char* text;
    } cases[] = {
        {"dword", REG_DWORD, Dword(128), "128"},     {"minus", REG_DWORD, Dword(0xFFFFFFFF), "-1"},
        {"short", REG_DWORD, {0x34, 0x12}, "4660"},  {"long", REG_DWORD, {1, 0, 0, 0, 0}, ""},
        {"text", REG_SZ, {'a', 'b', 'c', 0}, "abc"}, {"nonul", REG_SZ, {'a', 'b', 'c'}, "abc"},
        {"inner", REG_SZ, {'a', 0, 'c', 0}, "a"},    {"sizezero", REG_SZ, {}, ""},
        {"binary", REG_BINARY, {'7', 0}, ""},        {"expand", REG_EXPAND_SZ, {'7', 0}, ""},
        {"multi", REG_MULTI_SZ, {'7', 0, 0}, ""},    {"bigend", REG_DWORD_BIG_ENDIAN, Dword(7), ""},
    };
    for (const auto& c : cases) Put(c.name, c.type, c.data);
    for (const auto& c : cases) EXPECT_EQ(Reg::ReadSetting(HKEY_CURRENT_USER, kKey, c.name), c.text) << c.name;
    EXPECT_EQ(Reg::ReadSetting(HKEY_CURRENT_USER, kKey, "missing"), "");
    EXPECT_EQ(Reg::ReadSetting(HKEY_CURRENT_USER, "Software\\VelumbraAbsent", "dword"), "");
}

TEST_F(Registry, WritesStoreExactBytesAndNeverCreateTheKey) {
    EXPECT_NE(Reg::WriteSetting(HKEY_CURRENT_USER, kKey, "v", std::int32_t{1}, REG_DWORD), 0);
    EXPECT_EQ(Stored().size(), 0u);  // no key
    Put("kept", REG_SZ, {'k', 0});
    EXPECT_EQ(Reg::EnsureKey(HKEY_CURRENT_USER, kKey), 0);
    const struct {
        const char* name;
        Reg::Value value;
        DWORD type;
        Bytes stored;
    } cases[] = {
        {"text", std::string("abc"), REG_SZ, {'a', 'b', 'c', 0}}, {"empty", std::string(), REG_SZ, {0}},
        {"short", std::int16_t{-1}, REG_DWORD, Dword(0xFFFFFFFF)}, {"long", std::int32_t{0x1000000}, REG_DWORD, Dword(0x1000000)},
        {"numeric", std::string(" 12 "), REG_DWORD, Dword(12)},    {"number", std::int32_t{-30}, REG_SZ, {'-', '3', '0', 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Reg::WriteSetting(HKEY_CURRENT_USER, kKey, c.name, c.value, c.type), 0) << c.name;
        EXPECT_EQ(Stored()[c.name], std::pair(c.type, c.stored)) << c.name;
    }
    EXPECT_EQ(Reg::WriteSetting(HKEY_CURRENT_USER, kKey, "bad", std::string("x"), REG_DWORD), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Stored().count("bad"), 0u);
    EXPECT_EQ(Stored()["kept"], std::pair(DWORD{REG_SZ}, Bytes{'k', 0}));
}

TEST_F(Registry, TextThatGrowsWhileReadIsWholeOrEmpty) {
    // Another program rewrites the value between the size query and the data query.
    Put("grows", REG_SZ, {'a', 0});
    std::atomic<bool> done = false;
    std::thread writer([&] {
        Bytes longer(200, 'b');
        longer.back() = 0;
        for (int i = 0; !done; ++i) Put("grows", REG_SZ, i % 2 ? Bytes{'a', 0} : longer);
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
    std::mt19937_64 rng(Seed());
    const auto in = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    const num::Separators locales[] = {{".", ","}, {",", "."}, {",", "\xC2\xA0"}, {".", "'"}, {"::", ".."}, {",", ""}};
    const char* const pieces[] = {"0", "1", "5", "9", "+", "-", " ", "\t", ".", ",", "'", "\xC2\xA0", "e", "E",
                                  "::", "%", "2147483648", "99999999999", "1e400", "0.5"};
    constexpr int kCases = 2000;
    int failed = 0;
    const int handles = OpenHandles();
    for (int n = 0; n < kCases; ++n) {
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
        num::SetSeparators(locales[in(0, 5)]);
        for (const char* name : {"formcolor", "transvalue", "opaquetime", "imagename", "imagestretch", "disablecorner"}) {
            const int kind = in(0, 9);  // 0 missing; 1 to 6 text; 7 and 8 a DWORD of 0 to 8 bytes; 9 any type
            if (kind == 0) continue;
            Bytes data;
            if (kind <= 6) {
                std::string text;
                for (int i = in(0, 6); i > 0; --i) text += pieces[in(0, 19)];
                data.assign(text.begin(), text.end());
                if (in(0, 4)) data.push_back(0);  // mostly with its NUL
            } else {
                for (int i = in(0, 8); i > 0; --i) data.push_back(static_cast<BYTE>(in(0, 255)));
            }
            Put(name, kind <= 6 ? REG_SZ : kind <= 8 ? REG_DWORD : static_cast<DWORD>(in(0, 11)), data);
        }
        const auto before = Stored();
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

std::string TestData(const std::string& file) {
    std::string path = "Z:" VELUMBRA_TEST_DATA "/" + file;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}

// A picture either loads with a sane size or is refused; a crash fails the program, a hang
// runs into ctest's time limit.
std::string Problem(const std::string& path) {
    const auto p = LoadPicture(path);
    if (!p) return "";
    const auto count = static_cast<std::uint64_t>(p->width) * static_cast<std::uint64_t>(p->height);
    return p->width > 0 && p->height > 0 && count <= 64u << 20 && p->pixels.size() == count ? "" : "impossible size";
}

TEST(Pictures, MutatedFilesLoadSanelyOrAreRefused) {
    std::mt19937_64 rng(Seed());
    const auto in = [&](std::size_t low, std::size_t high) { return std::uniform_int_distribution<std::size_t>(low, high)(rng); };
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "velumbra-fuzz-" + std::to_string(GetCurrentProcessId());
    int tried = 0, failed = 0, loaded = 0;
    for (const char* name : {"quadrants.bmp", "wide.bmp", "quadrants.jpg", "quadrants.gif", "icon.ico", "png256.ico"}) {
        const Bytes base = ReadAll(TestData(name));
        ASSERT_GT(base.size(), 64u) << name;
        for (int n = 0; n < 80; ++n) {
            // Cut short, bytes changed, a 32-bit field set to an extreme, or a slice removed or
            // repeated; half the changes in the first 128 bytes, where the headers are.
            Bytes data = base;
            const auto where = [&] { return in(0, (in(0, 1) ? std::min<std::size_t>(data.size(), 128) : data.size()) - 4); };
            const std::uint32_t extremes[] = {0, 1, 0xFFFF, 0x8000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 65536};
            if (n % 4 == 0) data.resize(in(1, data.size() - 1));
            for (int i = n % 4 == 1 ? static_cast<int>(in(1, 8)) : 0; i > 0; --i) data[where()] = static_cast<BYTE>(in(0, 255));
            if (n % 4 == 2) {
                const std::size_t at = where();
                const std::uint32_t v = extremes[in(0, 7)];
                for (int i = 0; i < 4; ++i) data[at + i] = BYTE(v >> 8 * i);
            }
            if (n % 4 == 3) {
                const std::size_t at = where(), length = in(1, std::min<std::size_t>(64, data.size() - at));
                const Bytes slice(data.begin() + at, data.begin() + at + length);
                if (in(0, 1)) data.erase(data.begin() + at, data.begin() + at + length);
                else data.insert(data.begin() + at, slice.begin(), slice.end());
            }
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
            const std::string problem = Problem(path);
            ++tried;
            loaded += LoadPicture(path).has_value();
            if (!problem.empty() && ++failed <= 5) ADD_FAILURE() << name << " mutant " << n << ": " << problem;
        }
    }
    DeleteFileA(path.c_str());
    std::printf("[ info ] %d of the mutants loaded, the rest were refused\n", loaded);
    std::printf("[ report ] picture fuzz files: %d tried, %d failed\n", tried, failed);
}

TEST(Pictures, IconsWhoseImagesClaimHugeSizesAreRefused) {
    // The decoder trusts an icon image's own header: sizes like these once crashed or hung it.
    const struct {
        const char* file;
        std::size_t at;
        std::uint32_t value;  // stored little-endian in a bitmap header, big-endian in a PNG
    } cases[] = {
        {"icon.ico", 38 + 4, 0x3D000020},    {"icon.ico", 38 + 8, 0x20000040},   {"icon.ico", 0x30E + 4, 0x10000000},
        {"icon.ico", 38 + 4, 0xFFFFFFE0},    {"png256.ico", 22 + 16, 0x10000000}, {"png256.ico", 22 + 20, 40000},
    };
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "velumbra-huge-" + std::to_string(GetCurrentProcessId()) + ".ico";
    for (const auto& c : cases) {
        Bytes data = ReadAll(TestData(c.file));
        const bool png = std::string(c.file) == "png256.ico";
        for (int i = 0; i < 4; ++i) data[c.at + i] = BYTE(c.value >> 8 * (png ? 3 - i : i));
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
        EXPECT_FALSE(LoadPicture(path).has_value()) << c.file << " " << std::hex << c.value;
    }
    DeleteFileA(path.c_str());
    EXPECT_EQ(LoadPicture(TestData("png256.ico"))->width, 256);
}

}  // namespace
