// Picture decoding with the Windows Imaging Component.
#include <wincodec.h>

#include <algorithm>
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
    UINT bestArea = 0;
    GUID format{};
    decoder->GetContainerFormat(&format);
    if (format == GUID_ContainerFormatIco) {
        for (UINT i = 0; i < frames; ++i) {
            ComPtr<IWICBitmapFrameDecode> frame;
            UINT w = 0, h = 0;
            if (SUCCEEDED(decoder->GetFrame(i, frame.Out())) && SUCCEEDED(frame->GetSize(&w, &h)) && w * h > bestArea) {
                best = i;
                bestArea = w * h;
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
