// What picture files' own headers tell, and EXIF orientation: small files built here, one row a case,
// the expected values written out.
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <tuple>

#include "pure/orientation.h"
#include "pure/picture_headers.h"
#include "pure/resample.h"

namespace {

using B = std::vector<std::uint8_t>;
using F = PictureFormat;
const std::nullopt_t none = std::nullopt;

B operator+(B a, const B& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
// `n` bytes of `value`, least significant first unless `big`.
B Num(std::uint64_t value, int n, bool big = false) {
    B bytes;
    for (int i = 0; i < n; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> 8 * (big ? n - 1 - i : i)));
    return bytes;
}
// The file cut, or padded with zeros, to `size` bytes.
B Sized(B file, std::size_t size) {
    file.resize(size);
    return file;
}
// A JPEG: its start, `segments`, then a frame header of w x h under marker `sof`.
B Jpeg(const B& segments, std::uint8_t sof = 0xC0, int w = 64, int h = 32) {
    return B{0xFF, 0xD8} + segments + B{0xFF, sof, 0, 11, 8} + Num(h, 2, true) + Num(w, 2, true) + B{3};
}
// An APP1 segment of EXIF whose first IFD, at `ifd`, holds the orientation as `type`.
B Exif(bool big, int type, int orientation, int ifd = 8) {
    const B tiff = (big ? B{'M', 'M'} : B{'I', 'I'}) + Num(42, 2, big) + Num(ifd, 4, big) + Num(1, 2, big) +
                   Num(0x0112, 2, big) + Num(type, 2, big) + Num(1, 4, big) + Num(orientation, 2, big) + B{0, 0};
    return B{0xFF, 0xE1} + Num(tiff.size() + 8, 2, true) + B{'E', 'x', 'i', 'f', 0, 0} + tiff;
}
B Chunk(const char* type, const B& data) { return Num(data.size(), 4, true) + B(type, type + 4) + data + B(4); }
// A PNG with IDAT chunks of `idat` bytes each.
B Png(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t colour, std::vector<std::size_t> idat) {
    B file = B{0x89, 'P', 'N', 'G', 13, 10, 26, 10} +
             Chunk("IHDR", Num(w, 4, true) + Num(h, 4, true) + B{depth, colour, 0, 0, 0});
    for (const std::size_t n : idat) file = file + Chunk("IDAT", B(n));
    return file + Chunk("IEND", {});
}
// A GIF89a of a 640 x 480 screen with a 2-colour table; each frame {w, h, data bytes} after a graphic control.
B Gif(const std::vector<std::array<int, 3>>& frames) {
    B file = B{'G', 'I', 'F', '8', '9', 'a', 0x80, 2, 0xE0, 1, 0x80, 0, 0} + B(6);
    for (const auto& [w, h, n] : frames)
        file = file + B{0x21, 0xF9, 4, 0, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0} + Num(w, 2) + Num(h, 2) +
               B{0, 2, static_cast<std::uint8_t>(n)} + B(n) + B{0};
    return file + B{0x3B};
}
// A bitmap with a 40-byte header and then `pixels`.
B Bmp(int w, int h, int bits, int compression, const B& pixels) {
    return B{'B', 'M'} + Num(54 + pixels.size(), 4) + Num(0, 4) + Num(54, 4) + Num(40, 4) + Num(w, 4) + Num(h, 4) +
           Num(1, 2) + Num(bits, 2) + Num(compression, 4) + B(20) + pixels;
}
// An icon's 32-bit DIB of w x h, its header counting the mask rows too, with `bytes` of pixels.
B Dib(int w, int h, std::size_t bytes) {
    return Num(40, 4) + Num(w, 4) + Num(2 * h, 4) + Num(1, 2) + Num(32, 2) + B(24) + B(bytes);
}
// An icon whose entries point at images[at[i]].
B Icon(const std::vector<B>& images, const B& at) {
    std::vector<std::size_t> offsets = {6 + 16 * at.size()};
    for (const B& image : images) offsets.push_back(offsets.back() + image.size());
    B file = B{0, 0, 1, 0} + Num(at.size(), 2);
    for (const std::size_t i : at)
        file = file + B{0, 0, 0, 0, 1, 0, 32, 0} + Num(images[i].size(), 4) + Num(offsets[i], 4);
    for (const B& image : images) file = file + image;
    return file;
}

B Ten000Comments() {
    B segments;
    for (int i = 0; i < 10000; ++i) segments = segments + B{0xFF, 0xFE, 0, 2};
    return segments;
}

// Format, width, height, decodeBytes, orientation, ignoreAlpha, decoderFile.
using Want = std::tuple<F, std::uint32_t, std::uint32_t, std::uint64_t, int, bool, B>;
std::optional<Want> W(F format, std::uint32_t w, std::uint32_t h, std::uint64_t bytes, int turn = 1, bool alpha = false,
                      const B& decoderFile = {}) {
    return Want{format, w, h, bytes, turn, alpha, decoderFile};
}

TEST(Picture, HeadersGiveTheImageItsCostAndWhatTheFileCannotHold) {
    const B dib16 = Dib(16, 16, 1024);
    const B dib32 = Dib(32, 32, 4096);
    const B png48 = Png(48, 48, 8, 6, {200});
    const B gif = Gif({{3, 2, 1}});
    const B big = Jpeg({}, 0xC0, 256, 256);
    const B icon = Icon({dib16, dib32}, {0, 1});
    const auto jpeg = W(F::Jpeg, 64, 32, 8192);
    const auto png = W(F::Png, 1031, 3, 12372);
    // clang-format off
    const struct { const char* name; B file; std::optional<Want> want; } rows[] = {
        {"jpeg", Jpeg({}), jpeg}, {"stray bytes", Jpeg({1, 0xFF, 0xFE, 0, 2, 7}), jpeg},
        {"DHT, APP0, RST0, TEM", Jpeg({0xFF, 0xC4, 0, 2, 0xFF, 0xE0, 0, 3, 1, 0xFF, 0xD0, 0xFF, 0x01}), jpeg},
        {"fill bytes", Jpeg({0xFF, 0xFF, 0xFF}), jpeg}, {"FF 00", Jpeg({0xFF, 0x00, 0xFF, 0x00, 5}), jpeg},
        {"10000 segments", Jpeg(Ten000Comments()), jpeg}, {"scan first", Jpeg({0xFF, 0xDA, 0, 2}), none},
        {"end first", Jpeg({0xFF, 0xD9}), none}, {"length 1", Jpeg({0xFF, 0xFE, 0, 1}), none},
        {"frame cut", Sized(Jpeg({}), 10), none},
        {"frame length 7", {0xFF, 0xD8, 0xFF, 0xC0, 0, 7, 8, 0, 32, 0, 64, 3}, none},
        {"huffman edge", Sized(big, 128), W(F::Jpeg, 256, 256, 262144)}, {"huffman short", Sized(big, 127), none},
        {"arithmetic, no bound", Sized(Jpeg({}, 0xC9, 256, 256), 127), W(F::Jpeg, 256, 256, 262144)},
        {"blocks round up", Sized(Jpeg({}, 0xC2, 257, 256), 131), none}, {"width 0", Jpeg({}, 0xC0, 0, 32), none},
        {"exif II 6", Jpeg(Exif(false, 3, 6)), W(F::Jpeg, 64, 32, 8192, 6)}, {"exif 9", Jpeg(Exif(true, 3, 9)), jpeg},
        {"exif MM 6", Jpeg(Exif(true, 3, 6)), W(F::Jpeg, 64, 32, 8192, 6)}, {"LONG", Jpeg(Exif(false, 4, 6)), jpeg},
        {"exif IFD beyond, the first counts", Jpeg(Exif(false, 3, 6, 23) + Exif(false, 3, 8)), jpeg},
        {"png at its edge", Png(1031, 3, 8, 0, {3}), png}, {"png short", Png(1031, 3, 8, 0, {2}), none},
        {"two IDATs", Png(1031, 3, 8, 0, {2, 1}), png}, {"IDAT cut", Sized(Png(1031, 3, 8, 0, {10}), 44), png},
        {"IDAT cut short", Sized(Png(1031, 3, 8, 0, {10}), 43), none}, {"RGBA short", Png(257, 344, 8, 6, {342}), none},
        {"bits round up", Png(8241, 1032, 1, 0, {1031}), none}, {"png width 0", Png(0, 1, 8, 0, {9}), none},
        {"widest", Png(0x7FFFFFFF, 1, 1, 0, {260112}), W(F::Png, 0x7FFFFFFF, 1, 8589934588)},
        {"too wide", Png(0x80000000, 1, 1, 0, {260112}), none}, {"too high", Png(1, 0x80000000, 1, 0, {4161791}), none},
        {"colour type 5", Png(1, 1, 8, 5, {9}), none},
        {"gif", Gif({{3, 2, 1}, {5, 5, 1}}), W(F::Gif, 3, 2, 24, 1, false, gif)},
        {"later empty frame", Gif({{3, 2, 1}, {0, 5, 1}}), W(F::Gif, 3, 2, 24, 1, false, gif)},
        {"frame at its edge", Gif({{128, 128, 1}}), W(F::Gif, 128, 128, 65536, 1, false, Gif({{128, 128, 1}}))},
        {"frame over", Gif({{129, 128, 1}}), none}, {"later frame over", Gif({{3, 2, 1}, {129, 128, 1}}), none},
        {"no frame", Gif({}), none}, {"gif frame cut", Sized(gif, 40), none}, {"empty frame", Gif({{0, 5, 1}}), none},
        {"bmp", Bmp(3, 2, 24, 0, B(24)), W(F::Bmp, 3, 2, 24)}, {"rows beyond", Bmp(3, 2, 24, 0, B(23)), none},
        {"top-down", Bmp(3, -2, 24, 0, B(24)), W(F::Bmp, 3, 2, 24)}, {"bmp width 0", Bmp(0, 2, 24, 0, {}), none},
        {"run-length", Bmp(3000, 2000, 8, 1, {}), W(F::Bmp, 3000, 2000, 24000000)},
        {"alpha all 0", Bmp(2, 1, 32, 0, {1, 2, 3, 0, 4, 5, 6, 0}), W(F::Bmp, 2, 1, 8, 1, true)},
        {"one alpha", Bmp(2, 1, 32, 0, {1, 2, 3, 0, 4, 5, 6, 1}), W(F::Bmp, 2, 1, 8)},
        {"bitfields, no alpha mask", Bmp(2, 1, 32, 3, B(8)), W(F::Bmp, 2, 1, 8)},
        {"icon", icon, W(F::Icon, 32, 32, 4096, 1, false, Icon({dib32}, {0}))},
        {"first of equals", Icon({Dib(32, 16, 2048), Dib(16, 32, 2048)}, {0, 1}),
         W(F::Icon, 32, 16, 2048, 1, false, Icon({Dib(32, 16, 2048)}, {0}))},
        {"one PNG, 8 entries", Icon({png48}, B(8)), W(F::Icon, 48, 48, 9216, 1, false, Icon({png48}, {0}))},
        {"PNG cut", Sized(Icon({png48}, {0}), 267), W(F::Icon, 48, 48, 9216, 1, false, Icon({Sized(png48, 245)}, {0}))},
        {"PNG over", Icon({Png(48, 48, 8, 6, {8})}, {0}), none},
        {"image over", Icon({dib16, Dib(32, 32, 4055)}, {0, 1}), none},
        {"image past the end", Sized(icon, 1117), W(F::Icon, 16, 16, 1024, 1, false, Icon({dib16}, {0}))},
        {"image 16 bytes before the end", Sized(icon, 1118), none}, {"no entry", {0, 0, 1, 0, 0, 0}, none},
        {"other", {'a', 'b', 'c'}, W(F::Other, 0, 0, 0)}};
    // clang-format on
    for (const auto& r : rows) {
        const auto got = ReadPictureHeaders(r.file);
        const auto want = got ? W(got->format, got->width, got->height, got->decodeBytes, got->orientation,
                                  got->ignoreAlpha, got->decoderFile)
                              : none;
        EXPECT_EQ(want, r.want) << r.name;
    }
}

TEST(Picture, OrientationTurnsAndMirrorsAndAPartTurnsAsTheWholeDoes) {
    const std::vector<std::uint32_t> stored = {0, 1, 2, 3, 4, 5};  // 3 x 2
    // clang-format off
    const struct { int orientation; bool swaps; std::vector<std::uint32_t> shown; } rows[] = {
        {1, false, {0, 1, 2, 3, 4, 5}}, {2, false, {2, 1, 0, 5, 4, 3}}, {3, false, {5, 4, 3, 2, 1, 0}},
        {4, false, {3, 4, 5, 0, 1, 2}}, {5, true, {0, 3, 1, 4, 2, 5}}, {6, true, {3, 0, 4, 1, 5, 2}},
        {7, true, {5, 2, 4, 1, 3, 0}}, {8, true, {2, 5, 1, 4, 0, 3}}, {0, false, {0, 1, 2, 3, 4, 5}},
        {9, false, {0, 1, 2, 3, 4, 5}}};
    // clang-format on
    for (const auto& r : rows) {
        std::vector<std::uint32_t> shown(6);
        Orient(stored.data(), 3, 2, r.orientation, shown.data());
        EXPECT_EQ(std::pair(SwapsSides(r.orientation), shown), std::pair(r.swaps, r.shown)) << r.orientation;
        // The shown pixels (0, 1) and (1, 1), made from the part of the stored picture they come from.
        const PixelRect from = StoredRect({0, 1, 2, 2}, 3, 2, r.orientation);
        std::vector<std::uint32_t> part;
        for (int y = from.top; y < from.bottom; ++y)
            for (int x = from.left; x < from.right; ++x) part.push_back(stored.at(y * 3 + x));
        std::vector<std::uint32_t> got(part.size());
        Orient(part.data(), from.right - from.left, from.bottom - from.top, r.orientation, got.data());
        const int width = r.swaps ? 2 : 3;
        EXPECT_EQ(got, (std::vector{r.shown[width], r.shown[width + 1]})) << r.orientation;
    }
}

// The source scaled to width x height, its rows given one by one.
std::vector<std::uint32_t> Resample(const std::vector<std::uint32_t>& source, int sourceWidth, int sourceHeight,
                                    int width, int height) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * height);
    picture::RowResampler resampler(sourceWidth, sourceHeight, width, height, out.data());
    for (int y = 0; y < sourceHeight; ++y) resampler.AddRow(&source[static_cast<std::size_t>(y) * sourceWidth]);
    return out;
}

TEST(Picture, ReductionsAverageEnlargementsInterpolateAndFlattenLaysOverTheBackColour) {
    std::vector<std::uint32_t> board(64 * 64);  // black and white pixels in turn
    for (int i = 0; i < 64 * 64; ++i) board[i] = (i % 64 + i / 64) % 2 ? 0xFFFFFFFF : 0xFF000000;
    for (const auto& [w, h] : {std::pair{16, 16}, {7, 5}, {1, 1}}) {
        const auto out = Resample(board, 64, 64, w, h);
        ASSERT_EQ(out.size(), static_cast<std::size_t>(w * h)) << w << 'x' << h;
        for (const std::uint32_t p : out)  // grey about 128, alpha exactly 255
            for (int c = 0; c < 4; ++c)
                ASSERT_NEAR(p >> (8 * c) & 0xFF, c < 3 ? 128 : 255, c < 3 ? 12 : 0) << w << 'x' << h;
    }
    std::vector<std::uint32_t> blue;  // a ramp 0, 100, 200 four times as wide: smooth, ends kept
    for (const std::uint32_t p : Resample({0xFF000000, 0xFF646464, 0xFFC8C8C8}, 3, 1, 12, 1)) blue.push_back(p & 0xFF);
    EXPECT_TRUE(std::ranges::is_sorted(blue)) << testing::PrintToString(blue);
    EXPECT_EQ(blue.front(), 0u);
    EXPECT_EQ(blue.back(), 200u);
    EXPECT_GT(std::set(blue.begin(), blue.end()).size(), 6u) << testing::PrintToString(blue);
    std::uint32_t pixels[] = {0x00000000, 0x80800000, 0xFF00FF00};  // transparent, half red, green
    picture::Flatten(pixels, 3, 0x00FF0000);                        // over blue
    EXPECT_EQ(std::vector(pixels, pixels + 3), (std::vector<std::uint32_t>{0x000000FF, 0x0080007F, 0x0000FF00}));
}

}  // namespace
