// Picture fuzzing: hundreds of truncated and byte-mutated BMP, JPEG, GIF and ICO files made
// with a fixed seed from the test pictures, and paths that are no picture at all (a folder,
// an empty file, a file another process holds locked, a path beyond MAX_PATH). Each either
// loads with a sane size or fails without a word. A crash fails the test program; a hang is
// ended by ctest's time limit. The seed is printed; VELUMBRA_FUZZ_SEED sets another.
#include <gtest/gtest.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "locked_file.h"
#include "platform/win32_backend.h"
#include "platform/win32_services.h"
#include "scratch_folder.h"
#include "test_data.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr int kMutantsPerPicture = 80;

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v, bool bigEndian = false) {
    for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (bigEndian ? 24 - 8 * i : 8 * i));
}

// A mutant: cut short, bytes changed, a 32-bit field set to an extreme value, or a slice
// removed or repeated; half the changes land in the first 128 bytes, where the headers are.
Bytes Mutate(Bytes data, int n, std::mt19937_64& rng) {
    const auto in = [&](std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(rng);
    };
    const auto where = [&] { return in(0, (in(0, 1) ? std::min<std::size_t>(data.size(), 128) : data.size()) - 1); };
    switch (n % 4) {
        case 0: data.resize(in(1, data.size() - 1)); break;
        case 1:
            for (std::size_t i = in(1, 8); i > 0; --i) data[where()] = static_cast<unsigned char>(in(0, 255));
            break;
        case 2: {
            static const std::uint32_t extremes[] = {0, 1, 0xFFFF, 0x8000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 65536};
            Put32(data, std::min(where(), data.size() - 4), extremes[in(0, std::size(extremes) - 1)]);
            break;
        }
        default: {
            const std::size_t at = where(), length = in(1, std::min<std::size_t>(64, data.size() - at));
            const Bytes slice(data.begin() + static_cast<std::ptrdiff_t>(at),
                              data.begin() + static_cast<std::ptrdiff_t>(at + length));
            if (in(0, 1))
                data.erase(data.begin() + static_cast<std::ptrdiff_t>(at),
                           data.begin() + static_cast<std::ptrdiff_t>(at + length));
            else
                data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), slice.begin(), slice.end());
        }
    }
    return data;
}

class PictureFuzz : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        platform::SetScreen(&screen_);
        forms::SetBackend(&backend_);
    }
    void TearDown() override { forms::SetBackend(nullptr); }

    // Both ways of loading agree, and what loads is sane; "" when all is well.
    std::string Check(const std::string& path) {
        const auto decoded = forms::DecodePictureFile(path);
        bool loaded = false;
        try {
            loaded = forms::LoadPicture(path) != nullptr;
        } catch (const forms::PictureError&) {
        } catch (const std::exception& e) {
            return std::string("unexpected exception: ") + e.what();
        }
        if (loaded != (decoded != nullptr)) return "the two loaders disagree";
        if (!decoded) return "";
        const auto& p = *decoded;
        const std::size_t count = static_cast<std::size_t>(p.pixelWidth) * static_cast<std::size_t>(p.pixelHeight);
        if (p.pixelWidth <= 0 || p.pixelHeight <= 0 || count > 64u * 1024u * 1024u || p.pixels.size() != count)
            return "loaded with an impossible size";
        return "";
    }
    // Counts a case for the report line; its problem, if any, fails the test.
    void Count(const std::string& label, const std::string& problem) {
        ++tried_;
        if (problem.empty()) return;
        ++failed_;
        ADD_FAILURE() << label << ": " << problem;
    }
    void Report(const char* what) {
        std::printf("[ report ] %s: %d tried, %d failed\n", what, tried_, failed_);
    }

    platform::Win32Screen screen_;
    forms::Win32Backend backend_{GetModuleHandleA(nullptr)};
    ScratchFolder scratch_{"velumbra-fuzz"};
    int tried_ = 0, failed_ = 0;
};

TEST_F(PictureFuzz, MutatedPicturesLoadSanelyOrFailSilently) {
    const char* env = std::getenv("VELUMBRA_FUZZ_SEED");
    const std::uint64_t seed = env && *env ? std::strtoull(env, nullptr, 0) : 20241206;
    std::printf("[ info ] picture fuzz seed %llu\n", static_cast<unsigned long long>(seed));
    std::mt19937_64 rng(seed);
    int loaded = 0;
    for (const char* name : {"quadrants.bmp", "wide.bmp", "quadrants.jpg", "quadrants.gif", "icon.ico", "png256.ico"}) {
        const Bytes base = ReadAll(TestData(name));
        ASSERT_GT(base.size(), 64u) << name;
        for (int n = 0; n < kMutantsPerPicture; ++n) {
            const std::string path = scratch_.Write(std::to_string(n) + "-" + name, Mutate(base, n, rng));
            Count(std::string(name) + " mutant " + std::to_string(n), Check(path));
            loaded += forms::DecodePictureFile(path) != nullptr;
            DeleteFileA(path.c_str());
        }
    }
    std::printf("[ info ] %d of the mutants loaded, the rest were refused\n", loaded);
    Report("picture fuzz files");
}

TEST_F(PictureFuzz, PathsThatAreNoPictureFailSilently) {
    const Bytes good = ReadAll(TestData("quadrants.bmp"));
    const std::string folder = scratch_.Path() + "\\folder.bmp";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string locked = scratch_.Write("locked.bmp", good);
    LockedFile lock(WindowsPathOf(VELUMBRA_LOCKFILE), locked);
    ASSERT_TRUE(lock.Locked());
    const struct {
        const char* label;
        std::string path;
    } cases[] = {
        {"a folder", folder},
        {"an empty file", scratch_.Write("empty.bmp", {})},
        {"a missing file", scratch_.Path() + "\\missing.bmp"},
        {"a file another process holds locked", locked},
        {"an empty path", ""},
    };
    for (const auto& c : cases) {
        const auto picture = forms::DecodePictureFile(c.path);
        Count(c.label, picture ? "loaded" : Check(c.path));
    }
    // Deeper than MAX_PATH: Wine opens it, Windows refuses it; either way no harm.
    const std::string deep = scratch_.Write(scratch_.DeepFolder(300).substr(scratch_.Path().size() + 1) + "\\a.bmp", good);
    Count("a path beyond MAX_PATH", Check(deep));
    // Released, the same file loads.
    lock.Release();
    Count("the file once released", forms::DecodePictureFile(locked) ? "" : "did not load");
    Report("picture fault scenarios");
}

TEST_F(PictureFuzz, IconsWhoseImagesClaimHugeSizesAreRefused) {
    // The decoder trusts an icon image's own header: sizes like these once crashed or hung it.
    const Bytes bitmapIcon = ReadAll(TestData("icon.ico"));  // 32 x 32 at 38, 16 x 16 at 0x30E
    const Bytes pngIcon = ReadAll(TestData("png256.ico"));   // one PNG at 22
    const struct {
        const Bytes& base;
        std::size_t at;
        std::uint32_t value;
        bool bigEndian;
    } cases[] = {
        {bitmapIcon, 38 + 4, 0x3D000020, false},    {bitmapIcon, 38 + 8, 0x20000040, false},
        {bitmapIcon, 0x30E + 4, 0x10000000, false}, {bitmapIcon, 38 + 4, 0xFFFFFFE0, false},
        {pngIcon, 22 + 16, 0x10000000, true},       {pngIcon, 22 + 20, 40000, true},
    };
    for (const auto& c : cases) {
        Bytes data = c.base;
        Put32(data, c.at, c.value, c.bigEndian);
        EXPECT_EQ(forms::DecodePictureFile(scratch_.Write("huge.ico", data)), nullptr) << std::hex << c.value;
    }
    const auto png = forms::DecodePictureFile(TestData("png256.ico"));
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(png->pixelWidth, 256);
}

}  // namespace
