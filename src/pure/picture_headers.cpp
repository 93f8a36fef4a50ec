#include "pure/picture_headers.h"

#include <algorithm>
#include <set>
#include <string_view>

namespace {

using namespace std::literals;
using Bytes = std::span<const std::uint8_t>;
using Headers = std::optional<PictureHeaders>;

constexpr std::string_view kJpegStart = "\xFF\xD8"sv, kPngStart = "\x89PNG\r\n\x1A\n"sv;
constexpr std::uint64_t kBytesPerPixel = 4;  // of the image the decoder is given

// Numbers of 1 to 4 bytes read from a file; past its end, 0, and `ok` turns false.
struct Reader {
    Bytes file;
    bool ok = true;
    std::uint32_t Get(std::uint64_t at, int n, bool bigEndian = false) {
        const bool inside = at <= file.size() && file.size() - at >= static_cast<std::uint64_t>(n);
        ok = ok && inside;
        std::uint32_t value = 0;
        for (int i = 0; inside && i < n; ++i) value = value << 8 | file[at + (bigEndian ? i : n - 1 - i)];
        return value;
    }
};

bool StartsWith(Bytes file, std::string_view start) {
    const auto same = [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; };
    return file.size() >= start.size() && std::equal(start.begin(), start.end(), file.begin(), same);
}

// Whether a * b > limit, without overflowing.
bool Exceeds(std::uint64_t a, std::uint64_t b, std::uint64_t limit) { return b != 0 && a > limit / b; }

PictureHeaders Shown(PictureFormat format, std::uint32_t width, std::uint32_t height, int orientation = 1) {
    return {format, width, height, orientation, kBytesPerPixel * width * height, false, {}};
}

// ---- JPEG: the segments before the frame header, as a decoder reads them.

constexpr std::uint8_t kTem = 0x01, kRst0 = 0xD0, kRst7 = 0xD7, kSoi = 0xD8, kSos = 0xDA, kApp1 = 0xE1;
constexpr std::uint8_t kSof0 = 0xC0, kDht = 0xC4, kJpg = 0xC8, kDac = 0xCC, kSof15 = 0xCF;
constexpr std::uint32_t kIntel = 0x4949, kMotorola = 0x4D4D, kOrientationTag = 0x0112, kShort = 3;

// The EXIF orientation of an APP1 segment's data (after its length): 0 when it holds no EXIF,
// 1 when the orientation is missing, malformed or unknown.
int ExifOrientation(Bytes app1) {
    if (!StartsWith(app1, "Exif\0\0"sv)) return 0;
    Reader tiff{app1.subspan(6)};
    const std::uint32_t order = tiff.Get(0, 2);
    const bool big = order == kMotorola;
    if ((order != kIntel && !big) || tiff.Get(2, 2, big) != 42) return 1;
    const std::uint64_t ifd = tiff.Get(4, 4, big);
    const std::uint64_t end = ifd + 2 + tiff.Get(ifd, 2, big) * 12ull;  // 12 bytes an entry
    for (std::uint64_t entry = ifd + 2; tiff.ok && entry < end; entry += 12) {
        if (tiff.Get(entry, 2, big) != kOrientationTag) continue;
        const std::uint32_t value = tiff.Get(entry + 8, 2, big);  // when in the file, so is its type
        return tiff.ok && tiff.Get(entry + 2, 2, big) == kShort && value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

// The offset of the next marker's code from `at`, or the file's size. A decoder only warns of
// stray bytes before a marker, skips fill bytes 0xFF, and takes FF 00 for no marker.
std::uint64_t NextMarker(Bytes file, std::uint64_t at) {
    for (;; ++at) {
        while (at < file.size() && file[at] != 0xFF) ++at;
        while (at < file.size() && file[at] == 0xFF) ++at;
        if (at >= file.size() || file[at] != 0) return at;
    }
}

Headers ReadJpeg(Bytes file) {
    Reader r{file};
    int orientation = 0;  // no EXIF yet
    for (std::uint64_t at = NextMarker(file, kJpegStart.size()); at < file.size(); at = NextMarker(file, at)) {
        const std::uint8_t marker = file[at++];
        if (marker == kTem || (marker >= kRst0 && marker <= kRst7)) continue;  // no length
        if (marker >= kSoi && marker <= kSos) return std::nullopt;  // a new image, the end or a scan: no frame
        const std::uint64_t length = r.Get(at, 2, true);            // counting itself
        if (!r.ok || length < 2) return std::nullopt;
        if (marker >= kSof0 && marker <= kSof15 && marker != kDht && marker != kJpg && marker != kDac) {
            const std::uint32_t height = r.Get(at + 3, 2, true), width = r.Get(at + 5, 2, true);
            if (!r.ok || length < 8 || width == 0 || height == 0) return std::nullopt;
            // Huffman-coded data spends one bit at least on each 8 x 8 block of the full-size component.
            if (marker < kJpg && file.size() < (width + 7ull) / 8 * ((height + 7ull) / 8) / 8) return std::nullopt;
            return Shown(PictureFormat::Jpeg, width, height, std::max(orientation, 1));
        }
        if (marker == kApp1 && orientation == 0)
            orientation = ExifOrientation(file.subspan(at, std::min(length, file.size() - at)).subspan(2));
        at += length;
    }
    return std::nullopt;
}

// ---- PNG: the header chunk, and the compressed data the file holds.

constexpr std::uint32_t kIhdr = 0x49484452, kIdat = 0x49444154, kIend = 0x49454E44, kMostPngSide = 0x7FFFFFFF;
constexpr std::uint64_t kDeflateMost = 1032;                  // deflate never packs more bytes into one
constexpr std::uint64_t kChannels[] = {1, 0, 3, 1, 2, 0, 4};  // by colour type; 0: no such type

Headers ReadPng(Bytes file) {
    Reader r{file};
    const bool ihdr = r.Get(8, 4, true) == 13 && r.Get(12, 4, true) == kIhdr;
    const std::uint32_t width = r.Get(16, 4, true), height = r.Get(20, 4, true);
    const std::uint64_t depth = r.Get(24, 1), colour = r.Get(25, 1);
    const std::uint64_t channels = colour < std::size(kChannels) ? kChannels[colour] : 0;
    // A side of 0 wraps round to the largest number, so it fails as a side too long does.
    if (!r.ok || !ihdr || channels == 0 || width - 1 >= kMostPngSide || height - 1 >= kMostPngSide) return std::nullopt;
    std::uint64_t idat = 0;
    for (std::uint64_t at = kPngStart.size(); at + 8 <= file.size();) {  // length, type, data, CRC
        const std::uint64_t length = r.Get(at, 4, true);
        const std::uint32_t type = r.Get(at + 4, 4, true);
        if (type == kIend) break;
        if (type == kIdat) idat += std::min(length, file.size() - at - 8);
        at += 8 + length + 4;
    }
    // Each row inflates to a filter byte and its pixels.
    if (Exceeds(height, 1 + (width * channels * depth + 7) / 8, idat * kDeflateMost)) return std::nullopt;
    return Shown(PictureFormat::Png, width, height);
}

// ---- GIF: every frame's size against its data; the decoder is given the first one alone.

constexpr std::uint8_t kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B;
constexpr std::uint64_t kMostPixelsPerByte = 16384;  // an LZW code: 2 bits at least, 4096 pixels at most

std::uint64_t ColourTableBytes(std::uint32_t packed) { return packed & 0x80 ? 3ull << ((packed & 7) + 1) : 0; }

// The offset after the data sub-blocks from `at` and their 0 terminator, adding the data bytes
// the file has to `bytes`; nothing when the file ends first.
std::optional<std::uint64_t> SkipSubBlocks(Bytes file, std::uint64_t at, std::uint64_t& bytes) {
    for (; at < file.size() && file[at] != 0; at += 1 + file[at])
        bytes += std::min<std::uint64_t>(file[at], file.size() - at - 1);
    if (at >= file.size()) return std::nullopt;
    return at + 1;
}

Headers ReadGif(Bytes file) {
    Reader r{file};
    std::uint64_t at = 13 + ColourTableBytes(r.Get(10, 1));  // after the logical screen
    Headers first;
    while (at < file.size() && (file[at] == kExtension || file[at] == kImage)) {
        std::uint64_t bytes = 0;
        if (file[at] == kExtension) {
            at = SkipSubBlocks(file, at + 2, bytes).value_or(file.size());
            continue;
        }
        const std::uint32_t width = r.Get(at + 5, 2), height = r.Get(at + 7, 2);
        // After the image's header, its colour table and its code size come its data.
        const auto end = SkipSubBlocks(file, at + 10 + ColourTableBytes(r.Get(at + 9, 1)) + 1, bytes);
        if (Exceeds(width, height, bytes * kMostPixelsPerByte)) return std::nullopt;
        if (!first) {
            if (!end || width == 0 || height == 0) return std::nullopt;
            first = Shown(PictureFormat::Gif, width, height);
            first->decoderFile.assign(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(*end));
            first->decoderFile.push_back(kTrailer);
        }
        at = end.value_or(file.size());
    }
    return first;
}

// ---- Bitmaps, on their own or in an icon.

constexpr std::uint32_t kCoreHeader = 12, kInfoHeader = 40, kRgb = 0, kBitfields = 3, kAlphaBitfields = 6;

struct Dib {
    std::uint32_t size;
    std::int64_t width, height;
    std::uint32_t bits, compression;
};

// The DIB header at `at`: the core one (16-bit sides, no compression) or a later one.
Dib ReadDib(Reader& r, std::uint64_t at) {
    const std::uint32_t size = r.Get(at, 4);
    if (size == kCoreHeader) return {size, r.Get(at + 4, 2), r.Get(at + 6, 2), r.Get(at + 10, 2), kRgb};
    return {size, static_cast<std::int32_t>(r.Get(at + 4, 4)), static_cast<std::int32_t>(r.Get(at + 8, 4)),
            r.Get(at + 14, 2), size >= 20 ? r.Get(at + 16, 4) : kRgb};
}

// Whether `rows` uncompressed rows, each padded to 32 bits, fit in `available` bytes.
bool RowsFit(const Dib& dib, std::uint64_t rows, std::uint64_t available) {
    return !Exceeds((static_cast<std::uint64_t>(dib.width) * dib.bits + 31) / 32 * 4, rows, available);
}

// Whether an uncompressed 32-bit bitmap has an alpha mask that is 0 in every pixel. Plain RGB
// keeps alpha in the top byte; bitfields have an alpha mask in the longer headers only (at 52,
// or as the 4th of the masks after a 40-byte header).
bool AlphaAllZero(Reader& r, const Dib& dib, std::uint64_t offset, std::uint64_t pixels) {
    constexpr std::uint64_t kHeaderAt = 14;
    const bool afterHeader = dib.compression == kAlphaBitfields && dib.size == kInfoHeader;
    const std::uint32_t mask = dib.compression == kRgb ? 0xFF000000
                               : dib.size >= 56        ? r.Get(kHeaderAt + 52, 4)
                               : afterHeader           ? r.Get(kHeaderAt + kInfoHeader + 12, 4)
                                                       : 0;
    for (std::uint64_t i = 0; i < pixels && mask != 0; ++i)
        if ((r.Get(offset + i * kBytesPerPixel, 4) & mask) != 0) return false;
    return mask != 0;
}

Headers ReadBmp(Bytes file) {
    Reader r{file};
    const std::uint64_t offset = r.Get(10, 4);
    const Dib dib = ReadDib(r, 14);  // after the file header
    const bool known = dib.size == kCoreHeader || (dib.size >= 16 && dib.size <= 124);
    if (!r.ok || !known || dib.width <= 0 || dib.height == 0 || dib.height == INT32_MIN) return std::nullopt;
    const std::uint64_t rows = dib.height < 0 ? -dib.height : dib.height;  // below 0: top-down
    const bool plain = dib.compression == kRgb || dib.compression == kBitfields || dib.compression == kAlphaBitfields;
    // A run-length bitmap may end at once, so only uncompressed rows have to be in the file.
    if (plain && (offset > file.size() || !RowsFit(dib, rows, file.size() - offset))) return std::nullopt;
    PictureHeaders headers = Shown(PictureFormat::Bmp, dib.width, rows);
    headers.ignoreAlpha = plain && dib.bits == 32 && AlphaAllZero(r, dib, offset, dib.width * rows);
    return headers;
}

// ---- Icons: each image read once; the decoder is given the largest alone.

// A directory entry: 8 bytes that describe the image, its byte count and its offset.
constexpr std::uint64_t kIconHeader = 6, kIconEntry = 16, kEntryBytes = 8, kEntryOffset = 12;

// One image, from its offset to the end of the file: a PNG, or a DIB whose height counts the
// mask rows too.
Headers ReadIconImage(Bytes image) {
    if (StartsWith(image, kPngStart)) return ReadPng(image);
    Reader r{image};
    const Dib dib = ReadDib(r, 0);
    const std::int64_t rows = dib.height / 2;
    if (!r.ok || (dib.size != kCoreHeader && dib.size < kInfoHeader) || dib.width <= 0 || rows <= 0)
        return std::nullopt;
    const bool plain = dib.compression == kRgb || dib.compression == kBitfields;
    if (plain && !RowsFit(dib, rows, image.size())) return std::nullopt;
    return Shown(PictureFormat::Icon, dib.width, rows);
}

// An icon of the one image of the entry at `entry`, placed just after its directory.
std::vector<std::uint8_t> OneImageIcon(Bytes file, std::uint64_t entry) {
    Reader r{file};
    const std::uint64_t offset = r.Get(entry + kEntryOffset, 4);
    const std::uint64_t n = std::min<std::uint64_t>(r.Get(entry + kEntryBytes, 4), file.size() - offset);
    std::vector<std::uint8_t> icon = {0, 0, 1, 0, 1, 0};
    icon.insert(icon.end(), file.begin() + entry, file.begin() + entry + kEntryBytes);
    for (const std::uint64_t value : {n, kIconHeader + kIconEntry})
        for (int i = 0; i < 4; ++i) icon.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    icon.insert(icon.end(), file.begin() + offset, file.begin() + offset + n);
    return icon;
}

Headers ReadIcon(Bytes file) {
    Reader r{file};
    const std::uint64_t count = r.Get(4, 2);  // 0 too when the header is cut
    const std::uint64_t entries = count == 0 ? 0 : std::min(count, (file.size() - kIconHeader) / kIconEntry);
    std::set<std::uint32_t> seen;
    Headers largest;
    std::uint64_t largestEntry = 0;
    for (std::uint64_t entry = kIconHeader; entry < kIconHeader + entries * kIconEntry; entry += kIconEntry) {
        const std::uint32_t offset = r.Get(entry + kEntryOffset, 4);
        // The same image for another size, or one too short for any decoder to read.
        if (!seen.insert(offset).second || offset > file.size() || file.size() - offset < 16) continue;
        const Headers image = ReadIconImage(file.subspan(offset));
        if (!image) return std::nullopt;
        if (!largest || std::uint64_t{image->width} * image->height > std::uint64_t{largest->width} * largest->height) {
            largest = image;
            largestEntry = entry;
        }
    }
    if (!largest) return std::nullopt;
    largest->format = PictureFormat::Icon;
    largest->decoderFile = OneImageIcon(file, largestEntry);
    return largest;
}

}  // namespace

std::optional<PictureHeaders> ReadPictureHeaders(std::span<const std::uint8_t> file) {
    if (StartsWith(file, kJpegStart)) return ReadJpeg(file);
    if (StartsWith(file, kPngStart)) return ReadPng(file);
    if (StartsWith(file, "GIF87a"sv) || StartsWith(file, "GIF89a"sv)) return ReadGif(file);
    if (StartsWith(file, "BM"sv)) return ReadBmp(file);
    if (StartsWith(file, "\0\0\1\0"sv)) return ReadIcon(file);
    return PictureHeaders{};
}
