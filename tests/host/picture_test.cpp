// What picture files' own headers tell, EXIF orientation and resampling: small files built here, one
// row a case, the expected values written out.
#include <gtest/gtest.h>

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
// `n` bytes of `value`: its low byte and then the rest, or the rest first when `big`.
B Num(std::uint64_t v, int n, bool big = false) {
    return n == 0 ? B{} : big ? Num(v >> 8, n - 1, big) + B{std::uint8_t(v)} : B{std::uint8_t(v)} + Num(v >> 8, n - 1);
}
// The file cut, or padded with zeros, to `n` bytes.
B Sized(B f, std::size_t n) { return n < f.size() ? B(f.begin(), f.begin() + n) : f + B(n - f.size()); }
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
    B chunks = Chunk("IHDR", Num(w, 4, true) + Num(h, 4, true) + B{depth, colour, 0, 0, 0});
    for (const std::size_t n : idat) chunks = chunks + Chunk("IDAT", B(n));
    return B{0x89, 'P', 'N', 'G', 13, 10, 26, 10} + chunks + Chunk("IEND", {});
}
// A GIF89a of a 640 x 480 screen with a 2-colour table; each frame w x h, after a graphic control, holds
// one byte of data.
B Gif(const std::vector<std::pair<int, int>>& frames) {
    B file = B{'G', 'I', 'F', '8', '9', 'a', 0x80, 2, 0xE0, 1, 0x80, 0, 0} + B(6);
    for (const auto& [w, h] : frames)
        file = file + B{0x21, 0xF9, 4, 0, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0} + Num(w, 2) + Num(h, 2) + B{0, 2, 1, 0, 0};
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
// An icon of `images`, an entry for each, the images after the directory.
B Icon(const std::vector<B>& images) {
    B file = B{0, 0, 1, 0} + Num(images.size(), 2), data;
    for (const B& image : images) {
        file = file + B{0, 0, 0, 0, 1, 0, 32, 0} + Num(image.size(), 4) + Num(6 + 16 * images.size() + data.size(), 4);
        data = data + image;
    }
    return file + data;
}

// Format, width, height, decodeBytes (4 a pixel), decoderFile, orientation, ignoreAlpha.
using Want = std::tuple<F, std::uint32_t, std::uint32_t, std::uint64_t, B, int, bool>;
std::optional<Want> W(F format, std::uint32_t w, std::uint32_t h, B file = {}, int turn = 1, bool alpha = false) {
    return Want{format, w, h, 4ull * w * h, file, turn, alpha};
}

TEST(Picture, HeadersGiveTheImageItsCostAndWhatTheFileCannotHold) {
    const B dib16 = Dib(16, 16, 1024), dib32 = Dib(32, 32, 4096), png48 = Png(48, 48, 8, 6, {200});
    const B gif = Gif({{3, 2}}), wide = Dib(32, 16, 2048), big = Jpeg({}, 0xC0, 256, 256), icon = Icon({dib16, dib32});
    const auto jpeg = W(F::Jpeg, 64, 32), png = W(F::Png, 1031, 3);
    B comments;  // 10000 empty comment segments: no limit on them but the file's length
    for (int i = 0; i < 10000; ++i) comments.insert(comments.end(), {0xFF, 0xFE, 0, 2});
    // JPEG: segments skipped to the frame header, the smallest Huffman-coded data a frame needs (a bit
    // for each 8 x 8 block), the first EXIF segment's orientation. PNG: each row inflates to a filter
    // byte and its pixels, at most 1032 bytes from each byte of IDAT the file holds. GIF: every frame at
    // most 16384 pixels a byte of data, the first one alone given to the decoder. Bitmaps: uncompressed
    // rows within the file. Icons: the largest image, the first of equals, none that cannot be read.
    // clang-format off
    const struct { const char* name; B file; std::optional<Want> want; } rows[] = {
        {"stray, fill, FF 00", Jpeg({1, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFE, 0, 2, 7}), jpeg},
        {"10000 segments", Jpeg(comments), jpeg},
        {"DHT, APP0, RST0, TEM", Jpeg({0xFF, 0xC4, 0, 2, 0xFF, 0xE0, 0, 3, 1, 0xFF, 0xD0, 0xFF, 0x01}), jpeg},
        {"scan first", Jpeg({0xFF, 0xDA, 0, 2}), none}, {"blocks round up", Sized(Jpeg({}, 0xC2, 257, 256), 131), none},
        {"length 1", Jpeg({0xFF, 0xFE, 0, 1}), none}, {"exif II 6", Jpeg(Exif(false, 3, 6)), W(F::Jpeg, 64, 32, {}, 6)},
        {"frame cut", Sized(Jpeg({}), 10), none}, {"exif MM 6", Jpeg(Exif(true, 3, 6)), W(F::Jpeg, 64, 32, {}, 6)},
        {"frame length 7", {0xFF, 0xD8, 0xFF, 0xC0, 0, 7, 8, 0, 32, 0, 64, 3}, none},
        {"huffman edge", Sized(big, 128), W(F::Jpeg, 256, 256)}, {"huffman short", Sized(big, 127), none},
        {"arithmetic, no bound", Sized(Jpeg({}, 0xC9, 256, 256), 127), W(F::Jpeg, 256, 256)},
        {"width 0", Jpeg({}, 0xC0, 0, 32), none}, {"exif 9", Jpeg(Exif(true, 3, 9)), jpeg},
        {"LONG", Jpeg(Exif(false, 4, 6)), jpeg},
        {"IFD beyond; first EXIF counts", Jpeg(Exif(false, 3, 6, 23) + Exif(false, 3, 8)), jpeg},
        {"png short", Png(1031, 3, 8, 0, {2}), none}, {"png width 0", Png(0, 1, 8, 0, {9}), none},
        {"two IDATs", Png(1031, 3, 8, 0, {2, 1}), png}, {"colour type 5", Png(1, 1, 8, 5, {9}), none},
        {"IDAT cut", Sized(Png(1031, 3, 8, 0, {10}), 44), png}, {"too high", Png(1, 0x80000000, 1, 0, {4161791}), none},
        {"IDAT cut short", Sized(Png(1031, 3, 8, 0, {10}), 43), none}, {"RGBA short", Png(257, 344, 8, 6, {342}), none},
        {"bits round up", Png(8241, 1032, 1, 0, {1031}), none}, {"too wide", Png(0x80000000, 1, 1, 0, {260112}), none},
        {"widest", Png(0x7FFFFFFF, 1, 1, 0, {260112}), W(F::Png, 0x7FFFFFFF, 1)},
        {"later empty frame", Gif({{3, 2}, {0, 5}}), W(F::Gif, 3, 2, gif)}, {"frame over", Gif({{129, 128}}), none},
        {"frame at its edge", Gif({{128, 128}}), W(F::Gif, 128, 128, Gif({{128, 128}}))}, {"no frame", Gif({}), none},
        {"later frame over", Gif({{3, 2}, {129, 128}}), none}, {"gif frame cut", Sized(gif, 40), none},
        {"empty frame", Gif({{0, 5}}), none},
        {"rows beyond", Bmp(3, 2, 24, 0, B(23)), none}, {"top-down", Bmp(3, -2, 24, 0, B(24)), W(F::Bmp, 3, 2)},
        {"bmp width 0", Bmp(0, 2, 24, 0, {}), none}, {"run-length", Bmp(3000, 2000, 8, 1, {}), W(F::Bmp, 3000, 2000)},
        {"alpha all 0", Bmp(2, 1, 32, 0, {1, 2, 3, 0, 4, 5, 6, 0}), W(F::Bmp, 2, 1, {}, 1, true)},
        {"one alpha", Bmp(2, 1, 32, 0, {1, 2, 3, 0, 4, 5, 6, 1}), W(F::Bmp, 2, 1)},
        {"bitfields, no alpha mask", Bmp(2, 1, 32, 3, B(8)), W(F::Bmp, 2, 1)},
        {"icon", icon, W(F::Icon, 32, 32, Icon({dib32}))}, {"16 bytes left: read", Sized(icon, 1118), none},
        {"first of equals", Icon({wide, Dib(16, 32, 2048)}), W(F::Icon, 32, 16, Icon({wide}))},
        {"PNG cut", Sized(Icon({png48}), 267), W(F::Icon, 48, 48, Icon({Sized(png48, 245)}))},
        {"PNG over", Icon({Png(48, 48, 8, 6, {8})}), none}, {"image over", Icon({dib16, Dib(32, 32, 4055)}), none},
        {"15 bytes left: skipped", Sized(icon, 1117), W(F::Icon, 16, 16, Icon({dib16}))},
        {"no entry", {0, 0, 1, 0, 0, 0}, none}, {"other", {'a', 'b', 'c'}, W(F::Other, 0, 0)}};
    // clang-format on
    for (const auto& r : rows) {
        const auto got = ReadPictureHeaders(r.file);
        const auto& [format, w, h, turn, bytes, alpha, file] = got.value_or(PictureHeaders{});
        EXPECT_EQ(got ? Want(format, w, h, bytes, file, turn, alpha) : std::optional<Want>(), r.want) << r.name;
    }
}

// Picture 3 x 2 stored, each pixel its index; each row: the picture shown under that orientation,
// and the part of the stored picture to decode for the shown pixels (0, 1) and (1, 1).
TEST(Picture, OrientationTurnsAndMirrorsAndFindsThePartToDecode) {
    const std::vector<std::uint32_t> stored = {0, 1, 2, 3, 4, 5};
    // clang-format off
    const struct { int orientation; bool swaps; std::vector<std::uint32_t> shown; PixelRect part; } rows[] = {
        {1, false, {0, 1, 2, 3, 4, 5}, {0, 1, 2, 2}}, {2, false, {2, 1, 0, 5, 4, 3}, {1, 1, 3, 2}},
        {3, false, {5, 4, 3, 2, 1, 0}, {1, 0, 3, 1}}, {4, false, {3, 4, 5, 0, 1, 2}, {0, 0, 2, 1}},
        {5, true, {0, 3, 1, 4, 2, 5}, {1, 0, 2, 2}}, {6, true, {3, 0, 4, 1, 5, 2}, {1, 0, 2, 2}},
        {7, true, {5, 2, 4, 1, 3, 0}, {1, 0, 2, 2}}, {8, true, {2, 5, 1, 4, 0, 3}, {1, 0, 2, 2}},
        {0, false, {0, 1, 2, 3, 4, 5}, {0, 1, 2, 2}}, {9, false, {0, 1, 2, 3, 4, 5}, {0, 1, 2, 2}}};
    // clang-format on
    for (const auto& r : rows) {
        std::vector<std::uint32_t> shown(6);
        Orient(stored.data(), 3, 2, r.orientation, shown.data());
        EXPECT_EQ(std::pair(SwapsSides(r.orientation), shown), std::pair(r.swaps, r.shown)) << r.orientation;
        EXPECT_EQ(StoredRect({0, 1, 2, 2}, 3, 2, r.orientation), r.part) << r.orientation;
    }
    EXPECT_EQ(StoredRect({1, 0, 1, 2}, 3, 2, 6), (PixelRect{0, 0, 0, 0}));  // nothing shown, nothing to decode
}

TEST(Picture, ReductionsAverageEnlargementsInterpolateAndFlattenLaysOverTheBackColour) {
    // The source, `sourceWidth` wide, scaled to width x height, its rows given one by one.
    const auto resample = [](const std::vector<std::uint32_t>& source, int sourceWidth, int width, int height) {
        std::vector<std::uint32_t> out(width * height);
        picture::RowResampler resampler(sourceWidth, source.size() / sourceWidth, width, height, out.data());
        for (std::size_t y = 0; y < source.size(); y += sourceWidth) resampler.AddRow(&source[y]);
        return out;
    };
    std::vector<std::uint32_t> board(64 * 64);  // black and white pixels in turn
    for (int i = 0; i < 64 * 64; ++i) board[i] = (i % 64 + i / 64) % 2 ? 0xFFFFFFFF : 0xFF000000;
    for (const auto& [w, h] : {std::pair{16, 16}, {7, 5}, {1, 1}})
        for (const std::uint32_t p : resample(board, 64, w, h))  // grey about 128, alpha exactly 255
            for (int c = 0; c < 4; ++c) ASSERT_NEAR(p >> 8 * c & 0xFF, c < 3 ? 128 : 255, c < 3 ? 12 : 0) << w;
    // A grey ramp 0, 100, 200 four times as wide: smooth, ends kept.
    const auto ramp = resample({0xFF000000, 0xFF646464, 0xFFC8C8C8}, 3, 12, 1);
    EXPECT_TRUE(std::ranges::is_sorted(ramp)) << testing::PrintToString(ramp);
    EXPECT_EQ(std::pair(ramp.front(), ramp.back()), std::pair(0xFF000000u, 0xFFC8C8C8u));
    EXPECT_GT(std::set(ramp.begin(), ramp.end()).size(), 6u) << testing::PrintToString(ramp);
    std::uint32_t pixels[] = {0x00000000, 0x80800000, 0xFF00FF00};  // transparent, half red, green
    picture::Flatten(pixels, 3, 0x00FF0000);                        // over blue
    EXPECT_EQ(std::vector(pixels, pixels + 3), (std::vector<std::uint32_t>{0x000000FF, 0x0080007F, 0x0000FF00}));
}

}  // namespace
