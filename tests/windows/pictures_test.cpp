// Pictures: where the saver draws them, end to end, also after a change of the display; in
// process, the decoding of mutated and oversized files.
#include <atomic>
#include <cstring>
#include <random>

#include "platform/picture.h"
#include "windows/harness.h"

namespace {

void Put32(Bytes& bytes, std::uint32_t v) {
    bytes.insert(bytes.end(), {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)});
}

// A run-length coded bitmap, a photo's size in a small file, of four colours meeting at (x, y):
// red and green above blue and white.
Bytes Quadrants(std::uint32_t width, std::uint32_t height, std::uint32_t x, std::uint32_t y) {
    Bytes file = {'B', 'M'};
    for (std::uint32_t field :
         {0u, 0u, 70u, 40u, width, height, 8u << 16 | 1, 1u, 0u, 0u, 0u, 4u, 0u, 0xFF0000u, 0xFF00u, 0xFFu, 0xFFFFFFu})
        Put32(file, field);
    for (std::uint32_t row = height; row-- > 0;) {  // bottom-up, each row ended
        for (std::uint32_t from = 0, run = 0; from < width; from += run) {
            run = std::min(255u, (from < x ? x : width) - from);
            file.insert(file.end(), {BYTE(run), BYTE((row < y ? 0 : 2) + (from < x ? 0 : 1))});
        }
        file.insert(file.end(), {0, 0});
    }
    file.insert(file.end(), {0, 1});  // the end of the bitmap
    return file;
}

Snapshot PictureSettings(const std::wstring& path, int stretch) {
    return {{L"formcolor", Dw(0x00336699)},
            {L"transvalue", Dw(0)},
            {L"imagename", Sz(path)},
            {L"imagestretch", Dw(stretch)}};
}

// Pictures at their own size, centred, or stretched, each pixel where it belongs, photos of 48 and
// 108 megapixels too, photos upright and bitmaps whose alpha is empty opaque; a name of no usable
// picture leaves the tint alone; a key while a big photo decodes ends the saver.
TEST(Saver, PicturesLandWhereTheyBelongAndBadOnesLeaveTheTintAlone) {
    const std::wstring path48 = Scratch(L"velumbra-48.bmp", Quadrants(8000, 6000, 4000, 3000));
    const std::wstring path108 = Scratch(L"velumbra-108.bmp", Quadrants(12000, 9000, 6000, 4496));
    // clang-format off
    // 64 x 48 in four colours, at its own size from (480, 360).
    const std::vector<Probe> quadrants = {{479, 360, kTint}, {480, 359, kTint}, {480, 360, 0xFF0000},
        {511, 383, 0xFF0000}, {512, 383, 0x00FF00}, {511, 384, 0x0000FF}, {543, 407, 0xFFFFFF}, {544, 407, kTint}};
    // Turned a quarter clockwise to stand upright: 48 x 64 from (488, 352), blue and red above white and green.
    const std::vector<Probe> turned = {{487, 360, kTint}, {492, 356, 0x0000FF}, {532, 356, 0xFF0000},
        {492, 412, 0xFFFFFF}, {532, 412, 0x00FF00}, {536, 412, kTint}};
    // 300 x 100 stretched to the full width: 341 rows from row 213, its 10-pixel blue corner about 34.
    const std::vector<Probe> wide = {{512, 211, kTint}, {512, 555, kTint}, {512, 216, 0xFFCC00},
        {512, 552, 0xFFCC00}, {1020, 380, 0xFFCC00}, {10, 225, 0x0066FF}, {60, 225, 0xFFCC00}};
    // Its largest image, 32 x 32 from (496, 368), the tint through its transparent parts.
    const std::vector<Probe> icon = {{496, 368, kTint}, {495, 373, kTint}, {496, 372, 0x1C2A4A}, {527, 373, 0x1C2A4A},
        {528, 373, kTint}, {500, 380, 0x4F7FD0}, {510, 397, 0xD8D8D8}, {527, 399, kTint}};
    // Stretched over the whole screen, the colours meeting at (512, 384), averaged on the way.
    const std::vector<Probe> stretched48 = {{0, 0, 0xFF0000}, {509, 381, 0xFF0000}, {514, 381, 0x00FF00},
        {509, 386, 0x0000FF}, {514, 386, 0xFFFFFF}, {1023, 767, 0xFFFFFF}};
    // At its own size, centred: columns 5488 to 6511 and rows 4116 to 4883 show, pixel for pixel.
    const std::vector<Probe> centred108 = {{0, 0, 0xFF0000}, {511, 379, 0xFF0000}, {512, 379, 0x00FF00},
        {511, 380, 0x0000FF}, {512, 380, 0xFFFFFF}};
    // alpha0.bmp: the quadrants in 32 bits whose alpha is 0 in every pixel, with an alpha mask in
    // its header as many tools write it; turned.jpg: quadrants.jpg with EXIF orientation 6.
    const struct { std::wstring path; int stretch; std::vector<Probe> probes; } cases[] = {
        {DataPath(L"quadrants.bmp"), 0, quadrants}, {DataPath(L"quadrants.gif"), 0, quadrants},
        {DataPath(L"alpha0.bmp"), 0, quadrants}, {DataPath(L"turned.jpg"), 0, turned},
        {DataPath(L"wide.bmp"), 1, wide}, {DataPath(L"icon.ico"), 0, icon}, {DataPath(L""), 1, {}},
        {path48, 1, stretched48}, {path108, 0, centred108}};
    // clang-format on
    for (const auto& c : cases)
        RunSaver(PictureSettings(c.path, c.stretch), [&](Scr&, HWND) { ShowsProbes(c.probes); });
    RunSaver(PictureSettings(path108, 1), {});  // a key as soon as the window shows
}

// When the screen's resolution changes (a real change of the display mode), the saver covers the
// new screen and places its picture anew by the same rules: the wide picture stretched to 800
// pixels, 267 rows from row 167.
TEST(Saver, AfterADisplayChangeThePictureIsPlacedAgain) {
    RunSaver(PictureSettings(DataPath(L"wide.bmp"), 1), [](Scr&, HWND window) {
        ShowsProbes({{512, 211, kTint}, {512, 216, 0xFFCC00}});
        DEVMODEW mode{
            .dmSize = sizeof mode, .dmFields = DM_PELSWIDTH | DM_PELSHEIGHT, .dmPelsWidth = 800, .dmPelsHeight = 600};
        EXPECT_EQ(ChangeDisplaySettingsExW(nullptr, &mode, nullptr, CDS_FULLSCREEN, nullptr), DISP_CHANGE_SUCCESSFUL);
        ShowsProbes({{400, 165, kTint}, {400, 169, 0xFFCC00}, {799, 431, 0xFFCC00}, {400, 435, kTint}});
        EXPECT_EQ(Placed(nullptr, window), (Box{0, 0, 800, 600}));
        ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr);
    });
}

// In process: the picture in the bytes, placed at its own size at (0, 0) of a client area of
// 256 x 256 pixels: refused (0), drawn over its place within the client area (its width), or
// drawn anywhere else (-1).
int Load(const Bytes& data) {
    const std::atomic<bool> carryOn = false;
    PixelRect want{};
    const auto place = [&](int w, int h) { return std::optional(want = {0, 0, w, h}); };
    const auto drawn = LoadPicture(Scratch(L"velumbra-fuzz.pic", data), place, {256, 256}, 0, carryOn);
    const PixelRect visible{0, 0, std::min(want.right, 256), std::min(want.bottom, 256)};
    return !drawn ? 0 : drawn->bitmap && drawn->at == visible ? want.right : -1;
}

// Cut short, bytes changed, or a 32-bit field set to an extreme, half the changes in the first
// 128 bytes where the headers are: each loads sanely or is refused. A crash fails the program; a
// hang runs into ctest's time limit. The seed is fixed; VELUMBRA_FUZZ_SEED sets another. And no
// size limit but memory: bitmaps of any size in a few bytes, ended after their first pixel, but
// a terabyte is too much.
TEST(Pictures, MutatedAndOversizedFilesLoadSanelyOrAreRefused) {
    const char* seed = std::getenv("VELUMBRA_FUZZ_SEED");
    const std::uint64_t start = seed && *seed ? std::strtoull(seed, nullptr, 0) : 20241206;
    std::mt19937_64 rng(start);
    const auto in = [&](std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(rng);
    };
    const std::uint32_t extremes[] = {0, 1, 0xFFFF, 0x8000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 65536};
    int tried = 0, failed = 0, loaded = 0;
    for (const wchar_t* name :
         {L"quadrants.bmp", L"wide.bmp", L"quadrants.jpg", L"quadrants.gif", L"icon.ico", L"png256.ico"}) {
        for (int n = 0; n < 80; ++n, ++tried) {
            Bytes data = ReadData(name);
            const auto where = [&] { return in(0, (in(0, 1) ? 128 : data.size()) - 4); };
            if (n % 3 == 0) data.resize(in(1, data.size() - 1));
            for (int i = n % 3 == 1 ? static_cast<int>(in(1, 8)) : 0; i > 0; --i) data[where()] = BYTE(in(0, 255));
            const std::uint32_t extreme = extremes[in(0, 7)];
            if (n % 3 == 2) std::memcpy(&data[where()], &extreme, 4);
            const int shown = Load(data);
            loaded += shown > 0;
            if (shown < 0 && ++failed <= 5) ADD_FAILURE() << "mutant " << n << " of " << name << " drawn out of place";
        }
    }
    EXPECT_GT(loaded, tried / 10) << "hardly any mutant loaded: the fuzzing reaches no decoder";
    std::printf("[ report ] picture fuzz of seed %llu, files: %d tried, %d failed\n",
                static_cast<unsigned long long>(start), tried, failed);
    const auto square = [](std::uint32_t side) {
        Bytes file = Quadrants(1, 1, 1, 1);
        for (int at : {18, 22}) std::memcpy(&file[at], &side, 4);
        return file;
    };
    EXPECT_EQ(Load(square(8193)), 8193);
    EXPECT_EQ(Load(square(1 << 19)), 0);
}

}  // namespace
