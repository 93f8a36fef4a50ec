// Picture decoding with the Windows Imaging Component.
#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/application.h"
#include "platform/win32_backend.h"

namespace forms {
namespace {

// Larger pictures are refused rather than risk memory the saver should not take.
constexpr UINT kMaxPixels = 64u * 1024u * 1024u;

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p_) p_->Release();
    }
    T** Out() { return &p_; }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }

private:
    T* p_ = nullptr;
};

std::wstring Wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

std::uint32_t Le16(const BYTE* p) { return static_cast<std::uint32_t>(p[0] | p[1] << 8); }
std::uint32_t Le32(const BYTE* p) { return Le16(p) | Le16(p + 2) << 16; }
std::uint32_t Be32(const BYTE* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// Reads up to `size` bytes at `offset`; the count read.
DWORD ReadAt(HANDLE file, std::uint64_t offset, BYTE* data, DWORD size) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !ReadFile(file, data, size, &got, nullptr)) return 0;
    return got;
}

bool WithinLimit(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width * height <= kMaxPixels;
}

// Wine's icon decoder decodes an image whole as soon as it is asked for it, trusting the size
// in the image's own header: a header claiming a huge image makes it write past its buffer or
// work for minutes. So every image of an icon is looked at first: a PNG within the pixel limit,
// a bitmap within it too and with its colour rows inside the file. Any other icon is refused.
bool IconImagesFit(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    struct Closer {
        HANDLE handle;
        ~Closer() { CloseHandle(handle); }
    } closer{file};
    LARGE_INTEGER size{};
    BYTE header[6];
    if (!GetFileSizeEx(file, &size) || ReadAt(file, 0, header, sizeof header) != sizeof header) return false;
    const auto fileSize = static_cast<std::uint64_t>(size.QuadPart);
    // Entries beyond the end of the file cannot be read by the decoder either.
    const std::uint64_t count = std::min<std::uint64_t>(Le16(header + 4), (fileSize - sizeof header) / 16);
    for (std::uint64_t i = 0; i < count; ++i) {
        BYTE entry[16];
        if (ReadAt(file, sizeof header + 16 * i, entry, sizeof entry) != sizeof entry) return false;
        const std::uint64_t offset = Le32(entry + 12);
        BYTE image[40] = {};
        const DWORD got = ReadAt(file, offset, image, sizeof image);
        if (got < 16) continue;  // too short to be read as an image at all
        static const BYTE kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        if (std::memcmp(image, kPng, sizeof kPng) == 0) {
            if (got < 24 || !WithinLimit(Be32(image + 16), Be32(image + 20))) return false;
            continue;
        }
        std::int64_t width = 0, height = 0;
        std::uint32_t bpp = 0, compression = 0;
        if (Le32(image) == 12) {
            width = Le16(image + 4);
            height = Le16(image + 6);
            bpp = Le16(image + 10);
        } else if (Le32(image) >= 40 && got == sizeof image) {
            width = static_cast<std::int32_t>(Le32(image + 4));
            height = static_cast<std::int32_t>(Le32(image + 8));
            bpp = Le16(image + 14);
            compression = Le32(image + 16);
        } else {
            return false;
        }
        // The header's height counts the colour rows and the mask rows below them.
        const std::int64_t rows = height / 2;
        if (width <= 0 || rows <= 0 ||
            !WithinLimit(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(rows)))
            return false;
        const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bpp + 31) / 32 * 4;
        const bool uncompressed = compression == 0 /* BI_RGB */ || compression == 3 /* BI_BITFIELDS */;
        if (uncompressed && stride * static_cast<std::uint64_t>(rows) > fileSize - offset) return false;
    }
    return true;
}

}  // namespace

std::shared_ptr<Picture> DecodePictureFile(const std::string& path) {
    if (path.empty()) return nullptr;
    // COM only for the codecs, so a saver without a picture never starts it.
    [[maybe_unused]] static const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.Out()))))
        return nullptr;
    const std::wstring wide = Wide(path);
    ComPtr<IWICBitmapDecoder> decoder;
    if (wide.empty() || FAILED(factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                                  WICDecodeMetadataCacheOnDemand, decoder.Out())))
        return nullptr;

    // An icon holds several images: take the largest.
    UINT frames = 0;
    if (FAILED(decoder->GetFrameCount(&frames)) || frames == 0) return nullptr;
    UINT best = 0;
    std::uint64_t bestArea = 0;
    GUID format{};
    decoder->GetContainerFormat(&format);
    if (format == GUID_ContainerFormatIco) {
        if (!IconImagesFit(wide)) return nullptr;
        for (UINT i = 0; i < frames; ++i) {
            ComPtr<IWICBitmapFrameDecode> frame;
            UINT w = 0, h = 0;
            if (FAILED(decoder->GetFrame(i, frame.Out())) || FAILED(frame->GetSize(&w, &h))) continue;
            const std::uint64_t area = std::uint64_t{w} * h;
            if (area > bestArea) {
                best = i;
                bestArea = area;
            }
        }
    }
    ComPtr<IWICBitmapFrameDecode> frame;
    UINT width = 0, height = 0;
    if (FAILED(decoder->GetFrame(best, frame.Out())) || FAILED(frame->GetSize(&width, &height))) return nullptr;
    if (width == 0 || height == 0 || width > kMaxPixels / height) return nullptr;

    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.Out())) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom)))
        return nullptr;

    auto picture = std::make_shared<Picture>();
    try {
        picture->pixels.resize(static_cast<std::size_t>(width) * height);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // In bands of rows: a converter may stage each request in a buffer of its own (Wine's
    // does), and a large picture must not be held in memory a third time while it decodes.
    for (UINT top = 0; top < height; top += kDecodeBandRows) {
        const WICRect band{0, static_cast<INT>(top), static_cast<INT>(width),
                           static_cast<INT>(std::min(kDecodeBandRows, height - top))};
        const UINT bytes = width * static_cast<UINT>(band.Height) * 4;
        if (FAILED(converter->CopyPixels(&band, width * 4, bytes,
                                         reinterpret_cast<BYTE*>(picture->pixels.data() + std::size_t{top} * width))))
            return nullptr;
    }
    picture->pixelWidth = static_cast<int>(width);
    picture->pixelHeight = static_cast<int>(height);
    // The picture's size in twips at the screen's resolution, as it is shown pixel for pixel.
    picture->width = static_cast<float>(width) * platform::Screen().TwipsPerPixelX();
    picture->height = static_cast<float>(height) * platform::Screen().TwipsPerPixelY();
    return picture;
}

}  // namespace forms
