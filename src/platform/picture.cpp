#include "platform/picture.h"

#include <wincodec.h>

#include <algorithm>
#include <cstring>

#include "platform/resample.h"

namespace {

// Larger pictures are refused rather than risk memory the saver should not take.
constexpr std::uint64_t kMaxPixels = 64u * 1024u * 1024u;
// Rows converted per request while decoding.
constexpr UINT kDecodeBandRows = 256;

std::uint32_t Le16(const BYTE* p) { return static_cast<std::uint32_t>(p[0] | p[1] << 8); }
std::uint32_t Le32(const BYTE* p) { return Le16(p) | Le16(p + 2) << 16; }
std::uint32_t Be32(const BYTE* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

bool WithinLimit(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width * height <= kMaxPixels;
}

// Reads up to `size` bytes at `offset`; the count read.
DWORD ReadAt(HANDLE file, std::uint64_t offset, BYTE* data, DWORD size) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !ReadFile(file, data, size, &got, nullptr)) return 0;
    return got;
}

// Wine's icon decoder decodes an image whole as soon as it is asked for it, trusting the size
// in the image's own header: a header claiming a huge image makes it write past its buffer or
// work for minutes. So every image of an icon is looked at first: a PNG within the pixel limit,
// a bitmap within it too and with its colour rows inside the file. Any other icon is refused.
bool IconImagesFit(const std::wstring& path) {
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const File file(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
    LARGE_INTEGER size{};
    BYTE header[6];
    if (!file || !GetFileSizeEx(file.get(), &size) || ReadAt(file.get(), 0, header, sizeof header) != sizeof header)
        return false;
    const auto fileSize = static_cast<std::uint64_t>(size.QuadPart);
    // Entries beyond the end of the file cannot be read by the decoder either.
    const std::uint64_t count = std::min<std::uint64_t>(Le16(header + 4), (fileSize - sizeof header) / 16);
    for (std::uint64_t i = 0; i < count; ++i) {
        BYTE entry[16];
        if (ReadAt(file.get(), sizeof header + 16 * i, entry, sizeof entry) != sizeof entry) return false;
        const std::uint64_t offset = Le32(entry + 12);
        BYTE image[40] = {};
        const DWORD got = ReadAt(file.get(), offset, image, sizeof image);
        if (got < 16) continue;  // too short to be read as an image at all
        static const BYTE kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        if (std::memcmp(image, kPng, sizeof kPng) == 0) {
            if (got < 24 || !WithinLimit(Be32(image + 16), Be32(image + 20))) return false;
            continue;
        }
        std::int64_t width = 0, height = 0;
        std::uint32_t bitsPerPixel = 0, compression = 0;
        if (Le32(image) == 12) {  // BITMAPCOREHEADER
            width = Le16(image + 4);
            height = Le16(image + 6);
            bitsPerPixel = Le16(image + 10);
        } else if (Le32(image) >= 40 && got == sizeof image) {  // BITMAPINFOHEADER and later
            width = static_cast<std::int32_t>(Le32(image + 4));
            height = static_cast<std::int32_t>(Le32(image + 8));
            bitsPerPixel = Le16(image + 14);
            compression = Le32(image + 16);
        } else {
            return false;
        }
        // The header's height counts the colour rows and the mask rows below them.
        const std::int64_t rows = height / 2;
        if (width <= 0 || rows <= 0 || !WithinLimit(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(rows)))
            return false;
        const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
        const bool uncompressed = compression == BI_RGB || compression == BI_BITFIELDS;
        if (uncompressed && stride * static_cast<std::uint64_t>(rows) > fileSize - offset) return false;
    }
    return true;
}

// The image to show: the largest of an icon's, once they all passed the check above; the
// first of any other picture.
std::optional<UINT> ImageToShow(IWICBitmapDecoder* decoder, const std::wstring& path) {
    UINT frames = 0;
    GUID format{};
    if (FAILED(decoder->GetFrameCount(&frames)) || frames == 0) return std::nullopt;
    if (FAILED(decoder->GetContainerFormat(&format)) || format != GUID_ContainerFormatIco) return 0u;
    if (!IconImagesFit(path)) return std::nullopt;
    UINT best = 0;
    std::uint64_t bestArea = 0;
    for (UINT i = 0; i < frames; ++i) {
        Com<IWICBitmapFrameDecode> frame;
        UINT w = 0, h = 0;
        if (FAILED(decoder->GetFrame(i, frame.put())) || FAILED(frame->GetSize(&w, &h))) continue;
        if (std::uint64_t{w} * h > bestArea) {
            best = i;
            bestArea = std::uint64_t{w} * h;
        }
    }
    return best;
}

}  // namespace

std::optional<Picture> LoadPicture(const std::string& path) {
    // COM only for the codecs, so a saver without a picture never starts it.
    [[maybe_unused]] static const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    std::wstring wide(path.size() + 1, L'\0');
    wide.resize(static_cast<std::size_t>(std::max(
        0, MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(),
                               static_cast<int>(wide.size())))));
    Com<IWICImagingFactory> factory;
    Com<IWICBitmapDecoder> decoder;
    if (wide.empty() ||
        FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.put()))) ||
        FAILED(factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                  decoder.put())))
        return std::nullopt;
    const std::optional<UINT> image = ImageToShow(decoder.get(), wide);
    if (!image) return std::nullopt;

    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (FAILED(decoder->GetFrame(*image, frame.put())) || FAILED(frame->GetSize(&width, &height)) ||
        !WithinLimit(width, height) || FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom)))
        return std::nullopt;

    Picture picture{static_cast<int>(width), static_cast<int>(height), {}};
    try {
        picture.pixels.resize(std::size_t{width} * height);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    // In bands of rows: a converter may stage each request in a buffer of its own (Wine's
    // does), and a large picture must not be held in memory a third time while it decodes.
    for (UINT top = 0; top < height; top += kDecodeBandRows) {
        const UINT rows = std::min(kDecodeBandRows, height - top);
        const WICRect band{0, static_cast<INT>(top), static_cast<INT>(width), static_cast<INT>(rows)};
        if (FAILED(converter->CopyPixels(&band, width * 4, width * rows * 4,
                                         reinterpret_cast<BYTE*>(picture.pixels.data() + std::size_t{top} * width))))
            return std::nullopt;
    }
    return picture;
}

Gdi<HBITMAP> DrawnPicture(const Picture& picture, int width, int height, COLORREF back) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Gdi<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) return bitmap;
    const std::size_t count = std::size_t{static_cast<unsigned>(width)} * static_cast<unsigned>(height);
    auto* out = static_cast<std::uint32_t*>(bits);
    if (width == picture.width && height == picture.height)
        std::memcpy(out, picture.pixels.data(), count * 4);
    else
        std::memcpy(out, picture::Resample(picture.pixels, picture.width, picture.height, width, height).data(), count * 4);
    picture::Flatten(out, count, back);
    return bitmap;
}
