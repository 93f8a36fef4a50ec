#include "platform/picture.h"

#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <span>
#include <vector>

#include "pure/orientation.h"
#include "pure/picture_headers.h"
#include "pure/resample.h"

// Offered by codecs that scale while they decode (Windows' JPEG codec; not Wine's); missing
// from MinGW's headers.
struct IWICBitmapSourceTransform : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height,
                                                 WICPixelFormatGUID* format, WICBitmapTransformOptions transform,
                                                 UINT stride, UINT size, BYTE* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform, BOOL* supported) = 0;
};

namespace {

constexpr IID kIID_IWICBitmapSourceTransform = {
    0x3B16811B, 0x6A43, 0x4EC9, {0xB7, 0x13, 0x3D, 0x5A, 0x0C, 0x13, 0xB9, 0x40}};

// Rows converted per request while decoding: up to 64, and no more than 16 MB.
constexpr std::uint64_t kBandRows = 64, kBandBytes = 16u << 20;
constexpr std::uint64_t kBytesPerPixel = 4;
constexpr std::uint32_t kOpaqueAlpha = 0xFF000000;

// The picture file, read-only in memory for as long as it is decoded; nobody may write it meanwhile,
// so the decoder reads the very bytes whose headers were checked.
class MappedFile {
public:
    bool Open(const std::wstring& path) {
        HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        file_ = File(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
        LARGE_INTEGER size{};
        // A memory stream takes no more than 4 GB; an empty file cannot be mapped.
        if (!file_ || !GetFileSizeEx(file_.get(), &size) || size.QuadPart <= 0 || size.QuadPart > UINT_MAX)
            return false;
        mapping_ = File(CreateFileMappingW(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (mapping_) view_ = View(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
        size_ = static_cast<std::size_t>(size.QuadPart);
        return static_cast<bool>(view_);
    }
    std::span<const std::uint8_t> Bytes() const { return {static_cast<const std::uint8_t*>(view_.get()), size_}; }

private:
    using View = Owned<const void*, UnmapViewOfFile>;
    File file_, mapping_;
    View view_;
    std::size_t size_ = 0;
};

// Whether decoding that many bytes fits in half of the physical memory available now.
bool MemoryFor(std::uint64_t bytes) {
    MEMORYSTATUSEX memory{sizeof memory, 0, 0, 0, 0, 0, 0, 0, 0};
    return GlobalMemoryStatusEx(&memory) && bytes <= memory.ullAvailPhys / 2;
}

// One decode's codec objects, released before the thread leaves COM.
struct Decoding {
    Com<IWICImagingFactory> factory;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    UINT width = 0, height = 0;  // of the frame, as stored
    int orientation = 1;
    bool ignoreAlpha = false;
};

bool OpenDecoder(std::span<const std::uint8_t> bytes, Decoding& d) {
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(d.factory.put()))) &&
           SUCCEEDED(d.factory->CreateStream(d.stream.put())) &&
           SUCCEEDED(
               d.stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))) &&
           SUCCEEDED(d.factory->CreateDecoderFromStream(d.stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                        d.decoder.put())) &&
           SUCCEEDED(d.decoder->GetFrame(0, d.frame.put())) && SUCCEEDED(d.frame->GetSize(&d.width, &d.height));
}

// Where the codec scales while it decodes (Windows' JPEG codec: to a half, a quarter or an
// eighth), the frame decoded no larger than `width` x `height` needs, in a bitmap of its own
// (WIC copies the pixels); nothing elsewhere.
Com<IWICBitmap> DecodedSmaller(const Decoding& d, UINT width, UINT height) {
    Com<IWICBitmapSourceTransform> transform;
    UINT w = width, h = height;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    Com<IWICBitmap> bitmap;
    if (FAILED(d.frame->QueryInterface(kIID_IWICBitmapSourceTransform, reinterpret_cast<void**>(transform.put()))) ||
        FAILED(transform->GetClosestSize(&w, &h)) || w < width || h < height || w >= d.width ||
        FAILED(transform->GetClosestPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR)
        return bitmap;
    const UINT stride = (w * 3 + 3) / 4 * 4;
    std::vector<BYTE> pixels(std::size_t{stride} * h);
    const auto size = static_cast<UINT>(pixels.size());
    if (SUCCEEDED(
            transform->CopyPixels(nullptr, w, h, &format, WICBitmapTransformRotate0, stride, size, pixels.data())))
        d.factory->CreateBitmapFromMemory(w, h, format, stride, size, pixels.data(), bitmap.put());
    return bitmap;
}

// The stored pixels of `from` as 32-bit premultiplied BGRA (opaque where the alpha is to be
// ignored), scaled to `width` x `height` into `out`, converted a band of rows at a time: a
// converter may stage each request in a buffer of its own (Wine's does), and the picture must
// never be held whole a second time.
bool CopyRows(const Decoding& d, PixelRect from, int width, int height, std::uint32_t* out,
              const std::atomic<bool>& cancelled) {
    const bool scaled = from.Width() != width || from.Height() != height;
    const Com<IWICBitmap> smaller = scaled ? DecodedSmaller(d, width, height) : Com<IWICBitmap>();
    IWICBitmapSource* source = d.frame.get();
    if (smaller) {
        UINT w = 0, h = 0;
        smaller->GetSize(&w, &h);
        source = smaller.get();
        from = {0, 0, static_cast<int>(w), static_cast<int>(h)};
    }
    Com<IWICFormatConverter> converter;
    const WICPixelFormatGUID& format = d.ignoreAlpha ? GUID_WICPixelFormat32bppBGR : GUID_WICPixelFormat32bppPBGRA;
    if (FAILED(d.factory->CreateFormatConverter(converter.put())) ||
        FAILED(
            converter->Initialize(source, format, WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom)))
        return false;
    const std::uint64_t rowBytes = std::uint64_t{static_cast<unsigned>(from.Width())} * kBytesPerPixel;
    if (rowBytes > UINT_MAX / kBandRows) return false;
    const int bandRows = static_cast<int>(std::clamp<std::uint64_t>(kBandBytes / rowBytes, 1, kBandRows));
    std::vector<std::uint32_t> band(scaled ? static_cast<std::size_t>(from.Width()) * bandRows : 0);
    std::optional<picture::RowResampler> resampler;
    if (scaled) resampler.emplace(from.Width(), from.Height(), width, height, out);
    for (int y = 0; y < from.Height() && !cancelled; y += bandRows) {
        const int rows = std::min(bandRows, from.Height() - y);
        std::uint32_t* target = scaled ? band.data() : out + static_cast<std::size_t>(y) * width;
        const WICRect rect{from.left, from.top + y, from.Width(), rows};
        const auto bytes = static_cast<UINT>(rowBytes * rows);
        if (FAILED(converter->CopyPixels(&rect, static_cast<UINT>(rowBytes), bytes, reinterpret_cast<BYTE*>(target))))
            return false;
        if (d.ignoreAlpha) std::for_each(target, target + bytes / kBytesPerPixel, [](auto& p) { p |= kOpaqueAlpha; });
        for (int r = 0; resampler && r < rows; ++r)
            resampler->AddRow(band.data() + static_cast<std::size_t>(r) * from.Width());
    }
    return !cancelled;
}

// The picture drawn at `place`: at its own size only the part on the client area, read from the
// stored picture and turned upright; scaled, the whole picture (which then fits the screen).
std::optional<DrawnPicture> Draw(const Decoding& d, PixelRect place, SIZE client, COLORREF back,
                                 const std::atomic<bool>& cancelled) {
    const int storedWidth = static_cast<int>(d.width), storedHeight = static_cast<int>(d.height);
    const bool swaps = SwapsSides(d.orientation);
    const bool ownSize =
        place.Width() == (swaps ? storedHeight : storedWidth) && place.Height() == (swaps ? storedWidth : storedHeight);
    const auto at = ownSize ? Intersection(place, {0, 0, client.cx, client.cy}) : place;
    if (!at || at->Width() <= 0 || at->Height() <= 0) return std::nullopt;
    const PixelRect part{at->left - place.left, at->top - place.top, at->right - place.left, at->bottom - place.top};
    const PixelRect from = ownSize ? StoredRect(part, storedWidth, storedHeight, d.orientation)
                                   : PixelRect{0, 0, storedWidth, storedHeight};
    const int width = swaps ? at->Height() : at->Width(), height = swaps ? at->Width() : at->Height();
    // Drawn into a top-down 32-bit bitmap.
    const BITMAPINFO info{{sizeof info.bmiHeader, at->Width(), -at->Height(), 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    DrawnPicture drawn{Gdi<HBITMAP>(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)), *at};
    if (!drawn.bitmap) return std::nullopt;
    auto* pixels = static_cast<std::uint32_t*>(bits);
    std::vector<std::uint32_t> stored(d.orientation != 1 ? static_cast<std::size_t>(width) * height : 0);
    if (!CopyRows(d, from, width, height, stored.empty() ? pixels : stored.data(), cancelled)) return std::nullopt;
    if (!stored.empty()) Orient(stored.data(), width, height, d.orientation, pixels);
    picture::Flatten(pixels, static_cast<std::size_t>(width) * height, back);
    return drawn;
}

}  // namespace

std::optional<DrawnPicture> LoadPicture(const std::wstring& path, const PlaceFor& placeFor, SIZE client, COLORREF back,
                                        const std::atomic<bool>& cancelled) {
    MappedFile file;
    if (!file.Open(path)) return std::nullopt;
    const std::optional<PictureHeaders> headers = ReadPictureHeaders(file.Bytes());
    if (!headers || !MemoryFor(headers->decodeBytes)) return std::nullopt;
    const ComApartment com;
    Decoding d;
    const bool ownFile = headers->decoderFile.empty();
    if (!com || !OpenDecoder(ownFile ? file.Bytes() : headers->decoderFile, d)) return std::nullopt;
    // The headers of a format read here must agree with the decoder; any other format is
    // measured by its decoder, and weighed then.
    if (headers->format == PictureFormat::Other ? !MemoryFor(std::uint64_t{d.width} * d.height * kBytesPerPixel)
                                                : d.width != headers->width || d.height != headers->height)
        return std::nullopt;
    d.orientation = headers->orientation;
    d.ignoreAlpha = headers->ignoreAlpha;
    const bool swaps = SwapsSides(d.orientation);
    const auto place = placeFor(static_cast<int>(std::min<UINT>(swaps ? d.height : d.width, INT_MAX)),
                                static_cast<int>(std::min<UINT>(swaps ? d.width : d.height, INT_MAX)));
    if (!place) return std::nullopt;
    return Draw(d, *place, client, back, cancelled);
}
