// Picture fuzzing: hundreds of truncated and byte-mutated BMP, JPEG, GIF and ICO files made
// with a fixed seed from the test pictures and from more pictures made here (palette, RLE,
// bit-field and top-down bitmaps, a larger JPEG, an animated GIF, an icon with a PNG image),
// and files that are no pictures at all: a folder, an empty file, a file another process
// holds locked, devices, paths beyond MAX_PATH. Each goes to DecodePictureFile and to
// LoadPicture under a watchdog: it loads with a sane size or fails without a word; a hang
// (past the time limit) or a crash is a failure. The seed is printed (VELUMBRA_FUZZ_SEED
// overrides it); everything is written to a scratch folder that is removed afterwards.
#include <gtest/gtest.h>
#include <objbase.h>
#include <wincodec.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "locked_file.h"
#include "platform/win32_backend.h"
#include "platform/win32_services.h"
#include "scratch_folder.h"
#include "test_data.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr std::uint64_t kDefaultSeed = 20241206;
constexpr int kMutantsPerPicture = 80;
// Far beyond any decode here (milliseconds each); reached only by a hang.
constexpr DWORD kTimeLimitMs = 30000;
constexpr std::size_t kMaxPixels = 64u * 1024u * 1024u;

std::uint64_t Seed() {
    const char* text = std::getenv("VELUMBRA_FUZZ_SEED");
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 0) : kDefaultSeed;
}

// A crash or a hang inside a decoder may hold locks (the heap's too) that reporting with
// gtest would need: both are reported from here without the heap, with the report line of
// the test that was running, and end the process with a failure.
struct Now {
    char label[640] = {};           // what is being decoded
    const char* subject = nullptr;  // the running test's report line
    std::atomic<int> tried{0}, failed{0};
    std::atomic<ULONGLONG> deadline{0};  // 0: no decode running
} g_now;

void WriteRaw(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(lstrlenA(text)), &written, nullptr);
}

void WriteNumber(unsigned long long value, int base) {
    char digits[24];
    char* p = digits + sizeof digits - 1;
    *p = '\0';
    do {
        *--p = "0123456789abcdef"[value % static_cast<unsigned>(base)];
        value /= static_cast<unsigned>(base);
    } while (value != 0);
    WriteRaw(p);
}

[[noreturn]] void Abandon(const char* what, DWORD exception = 0) {
    WriteRaw("\n");
    WriteRaw(what);
    if (exception != 0) {
        WriteRaw(" 0x");
        WriteNumber(exception, 16);
    }
    WriteRaw(" while decoding ");
    WriteRaw(g_now.label);
    WriteRaw("\n");
    if (g_now.subject != nullptr) {
        WriteRaw("[ report ] ");
        WriteRaw(g_now.subject);
        WriteRaw(": ");
        WriteNumber(static_cast<unsigned long long>(g_now.tried + 1), 10);
        WriteRaw(" tried, ");
        WriteNumber(static_cast<unsigned long long>(g_now.failed + 1), 10);
        WriteRaw(" failed\n");
    }
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;) Sleep(INFINITE);
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) { Abandon("crash: exception", info->ExceptionRecord->ExceptionCode); }

// Ends the process when a decode runs past its time limit.
class Watchdog {
public:
    Watchdog() { thread_ = CreateThread(nullptr, 0, &Watchdog::Main, this, 0, nullptr); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog() {
        stop_ = true;
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
    }

private:
    static DWORD WINAPI Main(void* self) {
        auto* dog = static_cast<Watchdog*>(self);
        while (!dog->stop_) {
            Sleep(50);
            const ULONGLONG deadline = g_now.deadline;
            if (deadline != 0 && GetTickCount64() > deadline) Abandon("hang: no result within the time limit");
        }
        return 0;
    }

    HANDLE thread_ = nullptr;
    std::atomic<bool> stop_{false};
};

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}

// ---- Pictures made here

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}

// A BMP file: file header, BITMAPINFOHEADER, then `extra` (masks or palette) and the pixel data.
Bytes Bmp(int width, int height, int bpp, std::uint32_t compression, const Bytes& extra, const Bytes& pixels) {
    Bytes b(54);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<std::uint32_t>(54 + extra.size() + pixels.size()));
    Put32(b, 10, static_cast<std::uint32_t>(54 + extra.size()));
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<std::uint32_t>(width));
    Put32(b, 22, static_cast<std::uint32_t>(height));
    Put16(b, 26, 1);
    Put16(b, 28, static_cast<std::uint32_t>(bpp));
    Put32(b, 30, compression);
    Put32(b, 34, static_cast<std::uint32_t>(pixels.size()));
    b.insert(b.end(), extra.begin(), extra.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

Bytes GreyPalette(int entries) {
    Bytes palette;
    for (int i = 0; i < entries; ++i) {
        const auto v = static_cast<unsigned char>(i * 255 / std::max(1, entries - 1));
        palette.insert(palette.end(), {v, static_cast<unsigned char>(255 - v), v, 0});
    }
    return palette;
}

Bytes Palette8Bmp() {
    const int w = 40, h = 30, stride = 40;
    Bytes pixels(static_cast<std::size_t>(stride * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[static_cast<std::size_t>(y * stride + x)] = static_cast<unsigned char>(x * 6 + y);
    return Bmp(w, h, 8, 0 /* BI_RGB */, GreyPalette(256), pixels);
}

Bytes Mono1Bmp() {
    const int w = 37, h = 20, stride = 8;  // 37 bits rounded up to four bytes
    Bytes pixels(static_cast<std::size_t>(stride * h));
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i % 3 == 0 ? 0xAA : 0x5C);
    return Bmp(w, h, 1, 0, GreyPalette(2), pixels);
}

Bytes Rle8Bmp() {
    const int w = 17, h = 9;
    Bytes pixels;
    for (int y = 0; y < h; ++y) {
        // Runs of 5 + 5 + 7 pixels, then the end of the line.
        pixels.insert(pixels.end(), {5, static_cast<unsigned char>(y), 5, static_cast<unsigned char>(y + 40), 7,
                                     static_cast<unsigned char>(200), 0, 0});
    }
    pixels.insert(pixels.end(), {0, 1});  // end of the bitmap
    return Bmp(w, h, 8, 1 /* BI_RLE8 */, GreyPalette(256), pixels);
}

Bytes TopDownBitfieldsBmp() {
    const int w = 33, h = 17;
    Bytes masks(12);
    Put32(masks, 0, 0x00FF0000);
    Put32(masks, 4, 0x0000FF00);
    Put32(masks, 8, 0x000000FF);
    Bytes pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels.insert(pixels.end(), {static_cast<unsigned char>(x * 7), static_cast<unsigned char>(y * 15), 99, 0});
    return Bmp(w, -h, 32, 3 /* BI_BITFIELDS */, masks, pixels);
}

template <class T>
struct Com {
    T* p = nullptr;
    ~Com() {
        if (p) p->Release();
    }
    T* operator->() const { return p; }
};

// A picture encoded by the system's codecs: a gradient in `frames` frames, 24-bit, or
// 8-bit with a palette where the format needs it (GIF).
Bytes Encode(const GUID& container, int w, int h, int frames) {
    Com<IWICImagingFactory> factory;
    Com<IStream> stream;
    Com<IWICBitmapEncoder> encoder;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory.p))) ||
        FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream.p)) ||
        FAILED(factory->CreateEncoder(container, nullptr, &encoder.p)) ||
        FAILED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)))
        return {};
    const bool indexed = container == GUID_ContainerFormatGif;
    for (int f = 0; f < frames; ++f) {
        Com<IWICBitmapFrameEncode> frame;
        Com<IPropertyBag2> options;
        if (FAILED(encoder->CreateNewFrame(&frame.p, &options.p)) || FAILED(frame->Initialize(options.p)) ||
            FAILED(frame->SetSize(static_cast<UINT>(w), static_cast<UINT>(h))))
            return {};
        WICPixelFormatGUID format = indexed ? GUID_WICPixelFormat8bppIndexed : GUID_WICPixelFormat24bppBGR;
        if (FAILED(frame->SetPixelFormat(&format))) return {};
        const int bytesPerPixel = indexed ? 1 : 3;
        if (indexed) {
            Com<IWICPalette> palette;
            if (FAILED(factory->CreatePalette(&palette.p)) ||
                FAILED(palette->InitializePredefined(WICBitmapPaletteTypeFixedHalftone256, FALSE)) ||
                FAILED(frame->SetPalette(palette.p)))
                return {};
        }
        const int stride = (w * bytesPerPixel + 3) & ~3;
        Bytes pixels(static_cast<std::size_t>(stride * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w * bytesPerPixel; ++x)
                pixels[static_cast<std::size_t>(y * stride + x)] = static_cast<unsigned char>(x * 3 + y * 5 + f * 50);
        if (FAILED(frame->WritePixels(static_cast<UINT>(h), static_cast<UINT>(stride), static_cast<UINT>(pixels.size()),
                                      pixels.data())) ||
            FAILED(frame->Commit()))
            return {};
    }
    if (FAILED(encoder->Commit())) return {};
    HGLOBAL memory = nullptr;
    if (FAILED(GetHGlobalFromStream(stream.p, &memory))) return {};
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    const auto* data = static_cast<const unsigned char*>(GlobalLock(memory));
    Bytes out(data, data + stat.cbSize.QuadPart);
    GlobalUnlock(memory);
    return out;
}

// An icon of two images: a 16 x 16 32-bit bitmap and a PNG of the given size (the larger
// one decodes).
Bytes PngIcon(int size) {
    const Bytes png = Encode(GUID_ContainerFormatPng, size, size, 1);
    if (png.empty()) return {};
    Bytes dib(40);
    Put32(dib, 0, 40);
    Put32(dib, 4, 16);
    Put32(dib, 8, 32);  // twice the height: colour rows, then the mask
    Put16(dib, 12, 1);
    Put16(dib, 14, 32);
    for (int i = 0; i < 16 * 16; ++i) dib.insert(dib.end(), {10, 20, static_cast<unsigned char>(i), 255});
    dib.insert(dib.end(), 16 * 4, 0);
    Bytes icon(6 + 2 * 16);
    Put16(icon, 2, 1);
    Put16(icon, 4, 2);
    const Bytes* images[] = {&dib, &png};
    const int sizes[] = {16, size};
    std::size_t offset = icon.size();
    for (int i = 0; i < 2; ++i) {
        const std::size_t entry = 6 + static_cast<std::size_t>(i) * 16;
        icon[entry] = static_cast<unsigned char>(sizes[i] % 256);  // 0 stands for 256
        icon[entry + 1] = static_cast<unsigned char>(sizes[i] % 256);
        Put16(icon, entry + 4, 1);
        Put16(icon, entry + 6, 32);
        Put32(icon, entry + 8, static_cast<std::uint32_t>(images[i]->size()));
        Put32(icon, entry + 12, static_cast<std::uint32_t>(offset));
        offset += images[i]->size();
    }
    for (const Bytes* image : images) icon.insert(icon.end(), image->begin(), image->end());
    return icon;
}

// ---- Mutations

class Rng {
public:
    explicit Rng(std::uint64_t seed) : engine_(seed) {}
    std::size_t In(std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(engine_);
    }
    bool Chance(int percent) { return In(0, 99) < static_cast<std::size_t>(percent); }

private:
    std::mt19937_64 engine_;
};

// A place to change: in the first 128 bytes (headers) half the time.
std::size_t Where(Rng& rng, const Bytes& data) {
    return rng.Chance(50) ? rng.In(0, std::min<std::size_t>(data.size(), 128) - 1) : rng.In(0, data.size() - 1);
}

// Mutant `n` of a picture, and how it was made.
Bytes Mutate(const Bytes& base, int n, Rng& rng, std::string& how) {
    Bytes data = base;
    char text[96];
    const int kind = n % 9;
    if (kind < 3) {
        // Cut short: a third of the cuts inside the first 64 bytes.
        const std::size_t length =
            kind == 0 ? rng.In(1, std::min<std::size_t>(64, data.size() - 1)) : rng.In(1, data.size() - 1);
        data.resize(length);
        std::snprintf(text, sizeof text, "cut to %zu bytes", length);
    } else if (kind < 6) {
        // A few bytes set to random values, or their bits flipped.
        const std::size_t count = rng.In(1, 8);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = Where(rng, data);
            data[at] = rng.Chance(50) ? static_cast<unsigned char>(rng.In(0, 255))
                                      : static_cast<unsigned char>(data[at] ^ (1u << rng.In(0, 7)));
        }
        std::snprintf(text, sizeof text, "%zu bytes changed", count);
    } else if (kind < 8) {
        // A 16- or 32-bit field overwritten with an extreme value.
        static const std::uint32_t values[] = {0,          1,          0xFFFF,     0x7FFF,     0x8000, 0x10000,
                                               0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE, 8192,   65535 * 2};
        const std::uint32_t value = values[rng.In(0, std::size(values) - 1)];
        const bool wide = rng.Chance(50);
        const std::size_t at = std::min(Where(rng, data), data.size() - (wide ? 4 : 2));
        if (wide)
            Put32(data, at, value);
        else
            Put16(data, at, value);
        std::snprintf(text, sizeof text, "%s 0x%x at %zu", wide ? "32-bit" : "16-bit", value, at);
    } else {
        // A slice removed, or repeated.
        const std::size_t at = Where(rng, data);
        const std::size_t length = rng.In(1, std::min<std::size_t>(64, data.size() - at));
        if (rng.Chance(50)) {
            data.erase(data.begin() + static_cast<std::ptrdiff_t>(at),
                       data.begin() + static_cast<std::ptrdiff_t>(at + length));
            std::snprintf(text, sizeof text, "%zu bytes removed at %zu", length, at);
        } else {
            const Bytes slice(data.begin() + static_cast<std::ptrdiff_t>(at),
                              data.begin() + static_cast<std::ptrdiff_t>(at + length));
            data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), slice.begin(), slice.end());
            std::snprintf(text, sizeof text, "%zu bytes repeated at %zu", length, at);
        }
    }
    how = text;
    return data;
}

struct Outcome {
    bool decoded = false;
    int pixelWidth = 0, pixelHeight = 0;
    std::size_t pixelCount = 0;
    float width = 0, height = 0;
    bool loaded = false;
    int loadedWidth = 0, loadedHeight = 0;
    float loadedTwipsWidth = 0, loadedTwipsHeight = 0;
    std::string unexpected;  // an exception other than PictureError
    double milliseconds = 0;
};

class PictureFuzz : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        platform::SetScreen(&screen_);
        forms::SetBackend(&backend_);
        previousFilter_ = SetUnhandledExceptionFilter(ReportCrash);
        g_now.tried = 0;
        g_now.failed = 0;
        scratch_ = std::make_unique<ScratchFolder>("velumbra-fuzz");
        ASSERT_TRUE(scratch_->Exists());
    }
    void TearDown() override {
        g_now.subject = nullptr;
        const std::string folder = scratch_->Path();
        scratch_.reset();
        EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES) << "scratch folder left behind";
        SetUnhandledExceptionFilter(previousFilter_);
        forms::SetBackend(nullptr);
        CoUninitialize();
    }

    std::string Write(const std::string& name, const Bytes& data) { return scratch_->Write(name, data); }

    // Both loaders on one path, within the time limit.
    Outcome Try(const std::string& label, const std::string& path) {
        lstrcpynA(g_now.label, (label + " (" + path.substr(0, 400) + ")").c_str(), sizeof g_now.label);
        Outcome o;
        const auto start = std::chrono::steady_clock::now();
        g_now.deadline = GetTickCount64() + kTimeLimitMs;
        try {
            if (const auto picture = forms::DecodePictureFile(path)) {
                o.decoded = true;
                o.pixelWidth = picture->pixelWidth;
                o.pixelHeight = picture->pixelHeight;
                o.pixelCount = picture->pixels.size();
                o.width = picture->width;
                o.height = picture->height;
            }
            try {
                const auto picture = forms::LoadPicture(path);
                o.loaded = true;
                o.loadedWidth = picture->pixelWidth;
                o.loadedHeight = picture->pixelHeight;
                o.loadedTwipsWidth = picture->width;
                o.loadedTwipsHeight = picture->height;
            } catch (const forms::PictureError&) {
            }
        } catch (const std::exception& e) {
            o.unexpected = e.what();
        } catch (...) {
            o.unexpected = "an unknown exception";
        }
        g_now.deadline = 0;
        o.milliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        return o;
    }

    // Counts an outcome for the report; false (and a failure added) when it is wrong.
    bool Count(const std::string& label, const std::string& problem) {
        ++g_now.tried;
        if (problem.empty()) return true;
        ++g_now.failed;
        ADD_FAILURE() << label << ": " << problem;
        return false;
    }

    // What is wrong with an outcome; empty when it loaded sanely or failed silently.
    std::string Problem(const Outcome& o) {
        if (!o.unexpected.empty()) return "threw " + o.unexpected;
        if (o.loaded != o.decoded)
            return o.decoded ? "decoded, but LoadPicture failed" : "LoadPicture loaded what DecodePictureFile refused";
        if (!o.decoded) return {};
        const float tx = screen_.TwipsPerPixelX(), ty = screen_.TwipsPerPixelY();
        char text[160];
        std::snprintf(text, sizeof text, "%d x %d pixels, %zu stored, %g x %g twips", o.pixelWidth, o.pixelHeight,
                      o.pixelCount, o.width, o.height);
        if (o.pixelWidth <= 0 || o.pixelHeight <= 0 ||
            static_cast<std::size_t>(o.pixelWidth) > kMaxPixels / static_cast<std::size_t>(o.pixelHeight) ||
            o.pixelCount != static_cast<std::size_t>(o.pixelWidth) * static_cast<std::size_t>(o.pixelHeight) ||
            o.width != static_cast<float>(o.pixelWidth) * tx || o.height != static_cast<float>(o.pixelHeight) * ty)
            return std::string("insane picture: ") + text;
        if (o.loadedWidth != o.pixelWidth || o.loadedHeight != o.pixelHeight || o.loadedTwipsWidth != o.width ||
            o.loadedTwipsHeight != o.height)
            return std::string("LoadPicture gave another size than ") + text;
        return {};
    }

    platform::Win32Screen screen_;
    forms::Win32Backend backend_{GetModuleHandleA(nullptr)};
    Watchdog watchdog_;
    std::unique_ptr<ScratchFolder> scratch_;
    LPTOP_LEVEL_EXCEPTION_FILTER previousFilter_ = nullptr;
};

TEST_F(PictureFuzz, MutatedPicturesLoadSanelyOrFailSilently) {
    const std::uint64_t seed = Seed();
    std::printf("[ info ] picture fuzz seed %llu (VELUMBRA_FUZZ_SEED=%llu to repeat)\n",
                static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed));
    std::fflush(stdout);
    g_now.subject = "picture fuzz files";
    struct Base {
        std::string name;
        Bytes data;
        int width, height;  // as the intact picture decodes
    };
    const Base bases[] = {
        {"quadrants.bmp", ReadAll(TestData("quadrants.bmp")), 64, 48},
        {"wide.bmp", ReadAll(TestData("wide.bmp")), 300, 100},
        {"quadrants.jpg", ReadAll(TestData("quadrants.jpg")), 64, 48},
        {"quadrants.gif", ReadAll(TestData("quadrants.gif")), 64, 48},
        {"icon.ico", ReadAll(TestData("icon.ico")), 32, 32},
        {"palette8.bmp", Palette8Bmp(), 40, 30},
        {"mono1.bmp", Mono1Bmp(), 37, 20},
        {"rle8.bmp", Rle8Bmp(), 17, 9},
        {"topdown32.bmp", TopDownBitfieldsBmp(), 33, 17},
        {"gradient.jpg", Encode(GUID_ContainerFormatJpeg, 320, 200, 1), 320, 200},
        {"animated.gif", Encode(GUID_ContainerFormatGif, 40, 30, 3), 40, 30},
        {"png48.ico", PngIcon(48), 48, 48},
    };
    Rng rng(seed);
    int loaded = 0;
    double slowest = 0;
    std::string slowestLabel;
    const auto start = std::chrono::steady_clock::now();
    for (const Base& base : bases) {
        ASSERT_GT(base.data.size(), 16u) << base.name << " could not be read or made";
        // The intact picture loads with its size, so its mutants start from a picture that works.
        const Outcome intact = Try(base.name, Write(base.name, base.data));
        std::string problem = Problem(intact);
        if (problem.empty() && (intact.pixelWidth != base.width || intact.pixelHeight != base.height))
            problem =
                "intact, loads as " + std::to_string(intact.pixelWidth) + " x " + std::to_string(intact.pixelHeight);
        Count(base.name, problem);
        for (int n = 0; n < kMutantsPerPicture; ++n) {
            std::string how;
            const Bytes data = Mutate(base.data, n, rng, how);
            const std::string label = base.name + " #" + std::to_string(n) + ": " + how;
            const std::string path = Write(std::to_string(n) + "-" + base.name, data);
            const Outcome o = Try(label, path);
            if (o.decoded) ++loaded;
            if (o.milliseconds > slowest) {
                slowest = o.milliseconds;
                slowestLabel = label;
            }
            Count(label, Problem(o));
            DeleteFileA(path.c_str());
        }
    }
    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("[ info ] %d pictures in %.1f s, %d mutants loaded, the rest refused; slowest %.0f ms (%s)\n",
                g_now.tried.load(), total, loaded, slowest, slowestLabel.c_str());
    std::printf("[ report ] picture fuzz files: %d tried, %d failed\n", g_now.tried.load(), g_now.failed.load());
    EXPECT_EQ(g_now.failed, 0);
}

TEST_F(PictureFuzz, PathsThatAreNoPictureFailSilently) {
    g_now.subject = "picture fault scenarios";
    const Bytes good = ReadAll(TestData("quadrants.bmp"));
    ASSERT_FALSE(good.empty());
    const std::string empty = Write("empty.bmp", {});
    const std::string text = Write("notes.jpg", Bytes{'n', 'o', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e', '\r', '\n'});
    const std::string locked = Write("locked.bmp", good);
    const std::string scratch = scratch_->Path();
    const std::string folder = scratch + "\\folder.bmp";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    // A picture more than MAX_PATH characters deep in folders.
    const std::string longPath =
        scratch_->Write(scratch_->DeepFolder(300).substr(scratch.size() + 1) + "\\quadrants.bmp", good);
    ASSERT_NE(GetFileAttributesW(ScratchFolder::Long(longPath).c_str()), INVALID_FILE_ATTRIBUTES);

    enum Expect { kFails, kLoads, kEither };
    const auto run = [&](const std::string& label, const std::string& path, Expect expect) {
        const Outcome o = Try(label, path);
        std::string problem = Problem(o);
        if (problem.empty() && expect == kFails && o.decoded) problem = "loaded";
        if (problem.empty() && expect == kLoads && !o.decoded) problem = "did not load";
        if (problem.empty() && expect == kEither)
            std::printf("[ info ] %s: %s\n", label.c_str(), o.decoded ? "loads" : "fails");
        Count(label, problem);
    };
    run("a folder", folder, kFails);
    run("a zero-byte file", empty, kFails);
    run("a text file", text, kFails);
    run("a missing file", scratch + "\\missing.bmp", kFails);
    run("a missing folder", scratch + "\\no\\such\\folder\\a.bmp", kFails);
    run("an empty path", "", kFails);
    run("characters no file name has", scratch + "\\a<b>|c?.bmp", kFails);
    run("the NUL device", "NUL", kFails);
    run("the console", "CON", kFails);
    run("the console input", "CONIN$", kFails);
    run("a serial port", "COM1", kFails);
    run("a pipe nobody serves", "\\\\.\\pipe\\velumbra-no-such-pipe", kFails);
    run("a path of 40000 characters", scratch + "\\" + std::string(40000, 'x') + ".bmp", kFails);
    run("a long path to nowhere", scratch + "\\" + std::string(280, 'y') + ".bmp", kFails);
    // Windows refuses such a path unless the program declares long paths; Wine may open it.
    run("a picture " + std::to_string(longPath.size()) + " characters deep", longPath, kEither);

    // Held with no sharing by another process: fails while held, loads once let go.
    {
        LockedFile lock(WindowsPathOf(VELUMBRA_LOCKFILE), locked);
        ASSERT_TRUE(lock.Locked()) << "the helper could not lock " << locked;
        HANDLE probe = CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(probe, INVALID_HANDLE_VALUE) << "the lock does not keep readers out";
        if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
        run("a file locked by another process", locked, kFails);
        lock.Release();
        run("the same file let go", locked, kLoads);
    }
    std::printf("[ report ] picture fault scenarios: %d tried, %d failed\n", g_now.tried.load(), g_now.failed.load());
    EXPECT_EQ(g_now.failed, 0);
}

// Icons whose image headers claim huge images (found by the fuzzing above: Wine's icon
// decoder wrote past its buffer or worked for minutes on them) are refused; icons with
// images of ordinary sizes, up to 256 x 256, still load.
TEST_F(PictureFuzz, IconsWhoseImagesClaimHugeSizesAreRefused) {
    const Bytes icon = ReadAll(TestData("icon.ico"));  // 32 x 32 bitmap at 38, 16 x 16 at 0x30E
    const Bytes png = PngIcon(48);                     // 16 x 16 bitmap at 38, then the PNG
    ASSERT_GT(icon.size(), 0x320u);
    ASSERT_GT(png.size(), 100u);
    const std::size_t pngAt = png[34] | png[35] << 8 | png[36] << 16 | png[37] << 24;
    struct Case {
        const char* label;
        const Bytes& base;
        std::size_t at;
        std::uint32_t value;
        int fields;  // this many 32-bit fields from `at` get the value
        bool bigEndian;
    } cases[] = {
        {"bitmap width 0x3D000020", icon, 38 + 4, 0x3D000020, 1, false},
        {"bitmap height 0x20000040", icon, 38 + 8, 0x20000040, 1, false},
        {"second bitmap's width 0x10000000", icon, 0x30E + 4, 0x10000000, 1, false},
        {"smaller image's width 0x04000010", png, 38 + 4, 0x04000010, 1, false},
        {"smaller image's height 0x08000020", png, 38 + 8, 0x08000020, 1, false},
        {"negative bitmap width", icon, 38 + 4, 0xFFFFFFE0, 1, false},
        {"PNG width 0x10000000", png, pngAt + 16, 0x10000000, 1, true},
        {"PNG width and height 40000", png, pngAt + 16, 40000, 2, true},
    };
    for (const Case& c : cases) {
        Bytes data = c.base;
        for (int f = 0; f < c.fields; ++f) {
            const std::size_t at = c.at + 4 * static_cast<std::size_t>(f);
            if (c.bigEndian)
                for (std::size_t i = 0; i < 4; ++i) data[at + i] = static_cast<unsigned char>(c.value >> (24 - 8 * i));
            else
                Put32(data, at, c.value);
        }
        const Outcome o = Try(c.label, Write("huge.ico", data));
        EXPECT_FALSE(o.decoded) << c.label;
        EXPECT_EQ(Problem(o), "") << c.label;
    }
    const Outcome big = Try("a 256 x 256 PNG icon", Write("256.ico", PngIcon(256)));
    EXPECT_TRUE(big.decoded && big.pixelWidth == 256 && big.pixelHeight == 256);
    const Outcome ordinary = Try("icon.ico", TestData("icon.ico"));
    EXPECT_TRUE(ordinary.decoded && ordinary.pixelWidth == 32);
}

}  // namespace
