#include "platform/picture.h"

#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/jpeg_header.h"
#include "platform/resample.h"

// Offered by codecs that scale while they decode (Windows' JPEG codec; not Wine's); missing
// from MinGW's headers.
struct IWICBitmapSourceTransform : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height, WICPixelFormatGUID* format,
                                                 WICBitmapTransformOptions transform, UINT stride, UINT size, BYTE* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform, BOOL* supported) = 0;
};

namespace {

constexpr IID kIID_IWICBitmapSourceTransform = {0x3B16811B, 0x6A43, 0x4EC9, {0xB7, 0x13, 0x3D, 0x5A, 0x0C, 0x13, 0xB9, 0x40}};

// The most pixels an icon's image may claim (see IconImagesFit).
constexpr std::uint64_t kMaxPixels = 64u * 1024u * 1024u;
// Rows converted per request while decoding: up to 64, and no more than 16 MB.
constexpr std::uint64_t kDecodeBandRows = 64, kDecodeBandBytes = 16u << 20;

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

File OpenForReading(const std::wstring& path) {
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return File(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
}

// Wine's icon decoder decodes an image whole as soon as it is asked for it, trusting the size
// in the image's own header: a header claiming a huge image makes it write past its buffer or
// work for minutes. So every image of an icon is looked at first: a PNG within the pixel limit,
// a bitmap within it too and with its colour rows inside the file. Any other icon is refused.
bool IconImagesFit(const std::wstring& path) {
    const File file = OpenForReading(path);
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

// Whether decoding a picture of that many pixels, four bytes each, fits in half of the
// physical memory available now.
bool MemoryFor(std::uint64_t width, std::uint64_t height) {
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    return GlobalMemoryStatusEx(&memory) && width * height * 4 <= memory.ullAvailPhys / 2;
}

// Where the codec scales while it decodes (Windows' JPEG codec: to a half, a quarter or an
// eighth), the frame decoded no larger than `width` x `height` needs, in a bitmap of its own
// (WIC copies the pixels); nothing elsewhere.
Com<IWICBitmap> DecodedSmaller(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, UINT width, UINT height) {
    Com<IWICBitmapSourceTransform> transform;
    UINT frameWidth = 0, frameHeight = 0, w = width, h = height;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    Com<IWICBitmap> bitmap;
    if (FAILED(frame->QueryInterface(kIID_IWICBitmapSourceTransform, reinterpret_cast<void**>(transform.put()))) ||
        FAILED(frame->GetSize(&frameWidth, &frameHeight)) || FAILED(transform->GetClosestSize(&w, &h)) ||
        w < width || h < height || w >= frameWidth || FAILED(transform->GetClosestPixelFormat(&format)) ||
        format != GUID_WICPixelFormat24bppBGR)
        return bitmap;
    const UINT stride = (w * 3 + 3) / 4 * 4;
    std::vector<BYTE> pixels(std::size_t{stride} * h);
    if (SUCCEEDED(transform->CopyPixels(nullptr, w, h, &format, WICBitmapTransformRotate0, stride,
                                        static_cast<UINT>(pixels.size()), pixels.data())))
        factory->CreateBitmapFromMemory(w, h, format, stride, static_cast<UINT>(pixels.size()), pixels.data(), bitmap.put());
    return bitmap;
}

// COM for the codecs, on whatever thread asks first.
Com<IWICImagingFactory> Factory() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // already initialised is fine too
    Com<IWICImagingFactory> factory;
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     reinterpret_cast<void**>(factory.put()));
    return factory;
}

Com<IWICBitmapDecoder> Decoder(IWICImagingFactory* factory, const std::wstring& path) {
    Com<IWICBitmapDecoder> decoder;
    if (factory)
        factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                           decoder.put());
    return decoder;
}

}  // namespace

std::optional<PictureFile> OpenPicture(const std::string& path) {
    PictureFile picture;
    picture.path.resize(path.size() + 1);
    picture.path.resize(static_cast<std::size_t>(std::max(
        0, MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), picture.path.data(),
                               static_cast<int>(picture.path.size())))));
    const File file = OpenForReading(picture.path);
    LARGE_INTEGER size{};
    if (picture.path.empty() || !file || !GetFileSizeEx(file.get(), &size)) return std::nullopt;
    // A JPEG is not opened by a decoder here: some decode the whole image as they open it.
    const auto jpeg = ReadJpegFrame([&](std::uint64_t offset, std::uint8_t* data, std::size_t count) {
        return ReadAt(file.get(), offset, data, static_cast<DWORD>(count));
    });
    if (jpeg) {
        picture.width = jpeg->width;
        picture.height = jpeg->height;
        if (!JpegFitsFile(*jpeg, static_cast<std::uint64_t>(size.QuadPart))) return std::nullopt;
    } else {
        const Com<IWICImagingFactory> factory = Factory();
        const Com<IWICBitmapDecoder> decoder = Decoder(factory.get(), picture.path);
        Com<IWICBitmapFrameDecode> frame;
        UINT width = 0, height = 0;
        const std::optional<UINT> image = decoder ? ImageToShow(decoder.get(), picture.path) : std::nullopt;
        if (!image || FAILED(decoder->GetFrame(*image, frame.put())) || FAILED(frame->GetSize(&width, &height)))
            return std::nullopt;
        picture.image = *image;
        picture.width = static_cast<int>(std::min<UINT>(width, INT_MAX));
        picture.height = static_cast<int>(std::min<UINT>(height, INT_MAX));
    }
    if (picture.width <= 0 || picture.height <= 0 || !MemoryFor(picture.width, picture.height)) return std::nullopt;
    return picture;
}

std::optional<DrawnPicture> DrawPicture(const PictureFile& file, RECT place, SIZE client, COLORREF back) {
    const RECT screen{0, 0, client.cx, client.cy};
    const int placeWidth = place.right - place.left, placeHeight = place.bottom - place.top;
    const bool ownSize = placeWidth == file.width && placeHeight == file.height;
    DrawnPicture drawn;
    // At its own size only the part on the screen is decoded; scaled, the whole picture (which
    // then fits the screen).
    if (ownSize ? !IntersectRect(&drawn.at, &place, &screen) : placeWidth <= 0 || placeHeight <= 0) return std::nullopt;
    if (!ownSize) drawn.at = place;
    const int width = drawn.at.right - drawn.at.left, height = drawn.at.bottom - drawn.at.top;

    const Com<IWICImagingFactory> factory = Factory();
    const Com<IWICBitmapDecoder> decoder = Decoder(factory.get(), file.path);
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    UINT sourceWidth = 0, sourceHeight = 0;
    if (!decoder || FAILED(decoder->GetFrame(file.image, frame.put())) ||
        FAILED(frame->GetSize(&sourceWidth, &sourceHeight)) || static_cast<int>(sourceWidth) != file.width ||
        static_cast<int>(sourceHeight) != file.height)
        return std::nullopt;
    const Com<IWICBitmap> smaller = ownSize ? Com<IWICBitmap>() : DecodedSmaller(factory.get(), frame.get(), width, height);
    IWICBitmapSource* source = frame.get();
    if (smaller) smaller->GetSize(&sourceWidth, &sourceHeight), source = smaller.get();
    if (FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(source, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return std::nullopt;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    drawn.bitmap = Gdi<HBITMAP>(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!drawn.bitmap) return std::nullopt;
    auto* out = static_cast<std::uint32_t*>(bits);
    // In bands of rows: a converter may stage each request in a buffer of its own (Wine's
    // does), and the picture must never be held whole a second time.
    const int left = ownSize ? drawn.at.left - place.left : 0, top = ownSize ? drawn.at.top - place.top : 0;
    const int columns = ownSize ? width : static_cast<int>(sourceWidth), rows = ownSize ? height : static_cast<int>(sourceHeight);
    const std::uint64_t rowBytes = std::uint64_t{static_cast<unsigned>(columns)} * 4;
    if (rowBytes > UINT_MAX) return std::nullopt;
    const int bandRows = static_cast<int>(std::clamp<std::uint64_t>(kDecodeBandBytes / rowBytes, 1, kDecodeBandRows));
    std::vector<std::uint32_t> band(ownSize ? 0 : static_cast<std::size_t>(columns) * bandRows);
    std::optional<picture::RowResampler> resampler;
    if (!ownSize) resampler.emplace(columns, rows, width, height, out);
    for (int y = 0; y < rows; y += bandRows) {
        const int count = std::min(bandRows, rows - y);
        std::uint32_t* target = ownSize ? out + static_cast<std::size_t>(y) * width : band.data();
        const WICRect rect{left, top + y, columns, count};
        if (FAILED(converter->CopyPixels(&rect, static_cast<UINT>(rowBytes), static_cast<UINT>(rowBytes * count),
                                         reinterpret_cast<BYTE*>(target))))
            return std::nullopt;
        for (int r = 0; resampler && r < count; ++r) resampler->AddRow(band.data() + static_cast<std::size_t>(r) * columns);
    }
    picture::Flatten(out, static_cast<std::size_t>(width) * height, back);
    return drawn;
}
