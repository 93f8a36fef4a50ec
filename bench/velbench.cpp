// Velumbra.scr's benchmarks, run under Wine on a private display by bench/run:
//   velbench <Velumbra.scr> <baseline.exe> <probe.exe> <4000x3000 picture> <runs> <48 MP photo> <200 MP photo>
//            <8000x6000 PNG> <one-frame GIF> <8000x8000 PNG> <64x64 JPEG>
// The two big photos are made (with WIC's JPEG encoder) when they do not exist yet; from the last
// three the driver makes a GIF of 40 such frames, an icon whose 8 entries all point at the big PNG,
// and a JPEG whose frame claims 20000x20000 pixels with a stray byte before its tables.
// Velumbra and the baseline (a minimal program showing the same window) run interleaved, so
// the machine's noise hits both alike. Each figure is the median over the runs, with min and
// max, printed with its target and PASS or MISS. First the probe adds known costs to the
// baseline's window, to show that each measuring method finds them.
// Exits non-zero when a target is missed, a check fails or a process had to be killed.
#include <windows.h>

#include <psapi.h>
#include <wincodec.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int g_failures = 0;

void Fail(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::printf("FAILED: ");
    std::vprintf(format, args);
    std::printf("\n");
    va_end(args);
    ++g_failures;
}

double Milliseconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// ---- The Linux side of a process, read through Wine's Z: drive. Under Wine,
// GetProcessTimes on another process reports no CPU time (the CPU check shows it), so CPU
// time comes from /proc; the peak working set is VmHWM, which GetProcessMemoryInfo reports too.

std::string ReadText(const std::string& path) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

// The numeric entries of a /proc folder: process or thread ids.
std::vector<std::string> Ids(const std::string& folder) {
    std::vector<std::string> ids;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return ids;
    do {
        const std::string name = found.cFileName;
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) ids.push_back(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return ids;
}

// Wine gives a process its Windows path as its Linux argv[0]. The path is in this tree, so
// exactly one live process has it; 0 when that is not so.
DWORD LinuxPid(const std::string& image) {
    DWORD pid = 0;
    int matches = 0;
    for (const std::string& id : Ids("Z:\\proc")) {
        const std::string cmdline = ReadText("Z:\\proc\\" + id + "\\cmdline");
        if (lstrcmpiA(cmdline.substr(0, cmdline.find('\0')).c_str(), image.c_str()) == 0) {
            pid = std::strtoul(id.c_str(), nullptr, 10);
            ++matches;
        }
    }
    return matches == 1 ? pid : 0;
}

// CPU time (user + system) of all the process's threads, from the scheduler's nanosecond
// count: the clock ticks of /proc/<pid>/stat (10 ms) are too coarse for 0.1% of 10 s.
struct CpuSample {
    double seconds = 0;
    double at = 0;  // wall clock, ms
    std::vector<std::string> threads;
};

CpuSample SampleCpu(DWORD pid) {
    CpuSample sample;
    const std::string folder = "Z:\\proc\\" + std::to_string(pid) + "\\task";
    for (const std::string& tid : Ids(folder)) {
        const std::string schedstat = ReadText(folder + "\\" + tid + "\\schedstat");
        if (schedstat.empty()) continue;
        sample.seconds += std::strtod(schedstat.c_str(), nullptr) / 1e9;
        sample.threads.push_back(tid);
    }
    sample.at = Milliseconds();
    return sample;
}

// Percent of one core between two samples; NaN when a thread ended in between (its time
// would be missing).
double CpuPercent(const CpuSample& from, const CpuSample& to) {
    for (const std::string& tid : from.threads)
        if (std::find(to.threads.begin(), to.threads.end(), tid) == to.threads.end()) return NAN;
    return 100.0 * (to.seconds - from.seconds) / ((to.at - from.at) / 1000.0);
}

constexpr double kMB = 1e6;  // figures in MB of 10^6 bytes

// The most the process ever had resident, in MB.
double PeakMB(DWORD pid) {
    const std::string status = ReadText("Z:\\proc\\" + std::to_string(pid) + "\\status");
    const auto at = status.find("VmHWM:");
    return at == std::string::npos ? NAN : std::strtod(status.c_str() + at + 6, nullptr) * 1024 / kMB;
}

// ---- Runs

struct Program {
    const char* name;
    std::string image;  // Windows path
    std::string arguments;
    const char* windowClass;
    BYTE alpha;  // the alpha its window shows first
};

// The layered alpha of a window; -1 while it has none.
int Alpha(HWND hwnd) {
    if ((GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) == 0) return -1;
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags) || (flags & LWA_ALPHA) == 0) return -1;
    return alpha;
}

// One started program. A process still running when its run ends is killed and counts as a failure.
class Run {
public:
    // Starts the program with the pointer at (0, 0) and times until its window is visible
    // and layered with its first alpha.
    explicit Run(const Program& program) : program_(program) {
        SetCursorPos(0, 0);
        std::string command = "\"" + program.image + "\" " + program.arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        const double start = Milliseconds();
        if (!CreateProcessA(program.image.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info_)) {
            Fail("cannot start %s (error %lu)", command.c_str(), GetLastError());
            return;
        }
        while (!(hwnd_ = ReadyWindow()) && Milliseconds() - start < 20000 && Running()) Sleep(1);
        if (!hwnd_) {
            Fail("%s: no visible layered window with alpha %d", program.name, program.alpha);
            return;
        }
        startMs = Milliseconds() - start;
        launchedAt = start;
        linuxPid_ = LinuxPid(program.image);
        if (!linuxPid_) Fail("%s: its Linux process was not found", program.name);
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    ~Run() {
        if (info_.hProcess == nullptr) return;
        if (Running()) {
            Fail("%s was still running at the end of its run; killed", program_.name);
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }

    bool Ok() const { return hwnd_ != nullptr && linuxPid_ != 0; }
    HWND Window() const { return hwnd_; }
    DWORD Pid() const { return linuxPid_; }
    HANDLE Process() const { return info_.hProcess; }

    // Presses a key for the foreground window and times until the process handle is
    // signalled; NaN when the process is still there after 5 s.
    double EndWithKey() {
        if (GetForegroundWindow() != hwnd_) Fail("%s: its window is not the foreground window", program_.name);
        INPUT in[2] = {};
        in[0].type = INPUT_KEYBOARD;
        in[0].ki.wVk = VK_SPACE;
        in[1] = in[0];
        in[1].ki.dwFlags = KEYEVENTF_KEYUP;
        const double start = Milliseconds();
        SendInput(2, in, sizeof(INPUT));
        if (WaitForSingleObject(info_.hProcess, 5000) != WAIT_OBJECT_0) return NAN;
        return Milliseconds() - start;
    }

    double startMs = NAN;
    double launchedAt = NAN;

    // Waits (up to 5 s) until the window has the keyboard, as it has once it is set up.
    void WaitForeground() const {
        for (const double start = Milliseconds(); GetForegroundWindow() != hwnd_ && Milliseconds() - start < 5000;)
            Sleep(1);
    }

    // Ms from launch until the screen's centre is no longer black, the picture drawn over the
    // opaque black tint; NaN after 60 s.
    double PictureDrawnMs() const {
        HDC screen = GetDC(nullptr);
        const int x = GetSystemMetrics(SM_CXSCREEN) / 2, y = GetSystemMetrics(SM_CYSCREEN) / 2;
        double drawn = NAN;
        for (; Milliseconds() - launchedAt < 60000; Sleep(2))
            if ((GetPixel(screen, x, y) & 0xFFFFFF) != 0) {
                drawn = Milliseconds() - launchedAt;
                break;
            }
        ReleaseDC(nullptr, screen);
        return drawn;
    }

private:
    bool Running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

    HWND ReadyWindow() const {
        for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, program_.windowClass, nullptr)) != nullptr;) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == info_.dwProcessId && IsWindowVisible(w) && Alpha(w) == program_.alpha) return w;
        }
        return nullptr;
    }

    const Program& program_;
    PROCESS_INFORMATION info_{};
    HWND hwnd_ = nullptr;
    DWORD linuxPid_ = 0;
};

// CPU of the run's process over `seconds`, in percent of one core.
double CpuOver(const Run& run, double seconds) {
    const CpuSample from = SampleCpu(run.Pid());
    Sleep(static_cast<DWORD>(seconds * 1000));
    return CpuPercent(from, SampleCpu(run.Pid()));
}

// Mean time of one forced repaint, ms. RedrawWindow with RDW_UPDATENOW sends the window its
// WM_PAINT and returns once it has been handled, so each call times one paint and the
// message's round trip (the repaint check shows the paint's own time is in it).
double RepaintMs(HWND hwnd, int count) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);  // a first paint may build caches
    const double start = Milliseconds();
    for (int i = 0; i < count; ++i) RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return (Milliseconds() - start) / count;
}

// Velumbra's six settings, written before each of its runs.
void PutSettings(DWORD transvalue, DWORD opaquetime, const std::string& imagename, DWORD imagestretch) {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Velumbra");
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Velumbra", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        Fail("cannot write HKCU\\Software\\Velumbra");
        return;
    }
    const auto dword = [key](const char* name, DWORD value) {
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    };
    dword("formcolor", 0);
    dword("transvalue", transvalue);
    dword("opaquetime", opaquetime);
    RegSetValueExA(key, "imagename", 0, REG_SZ, reinterpret_cast<const BYTE*>(imagename.c_str()),
                   static_cast<DWORD>(imagename.size() + 1));
    dword("imagestretch", imagestretch);
    dword("disablecorner", 0);
    RegCloseKey(key);
}

// ---- Big photos

// A photo-like JPEG of width x height (smooth waves of colour, never black), written through
// WIC's encoder a band of rows at a time; kept when it exists.
void MakePhoto(const std::string& path, UINT width, UINT height, IWICImagingFactory* factory) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    std::vector<BYTE> across(width * 3), down(height * 3), rows(std::size_t{width} * 3 * 16);
    for (UINT x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) across[3 * x + c] = BYTE(90 + 60 * std::sin(x * (0.0011 + 0.0007 * c) + c));
    for (UINT y = 0; y < height; ++y)
        for (int c = 0; c < 3; ++c) down[3 * y + c] = BYTE(20 + 60 * (1 + std::sin(y * (0.0013 + 0.0005 * c) + 2 * c)));
    std::wstring wide(path.begin(), path.end());
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    bool ok = SUCCEEDED(factory->CreateStream(&stream)) &&
              SUCCEEDED(stream->InitializeFromFilename(wide.c_str(), GENERIC_WRITE)) &&
              SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) &&
              SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
              SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
              SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format));
    for (UINT top = 0; ok && top < height; top += 16) {
        const UINT count = std::min(16u, height - top);
        for (UINT r = 0; r < count; ++r)
            for (UINT i = 0; i < width * 3; ++i)
                rows[r * width * 3 + i] = BYTE(across[i] + down[3 * (top + r) + i % 3]);
        ok = SUCCEEDED(frame->WritePixels(count, width * 3, width * 3 * count, rows.data()));
    }
    ok = ok && SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    for (IUnknown* object :
         {static_cast<IUnknown*>(frame), static_cast<IUnknown*>(encoder), static_cast<IUnknown*>(stream)})
        if (object) object->Release();
    if (!ok) Fail("cannot make %s", path.c_str()), DeleteFileA(path.c_str());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE || !WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        Fail("cannot write %s", path.c_str());
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

std::string Le(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += char(value >> (8 * i));
    return out;
}

// A GIF of the one-frame GIF's frame 40 times over.
void MakeFortyFrames(const std::string& one, const std::string& forty) {
    const std::string file = ReadText(one);
    if (file.size() < 14 || file.back() != '\x3B') {
        Fail("%s is no GIF of one frame", one.c_str());
        return;
    }
    const std::size_t packed = static_cast<unsigned char>(file[10]);
    const std::size_t start = 13 + (packed & 0x80 ? 3u << ((packed & 7) + 1) : 0);
    std::string out = file.substr(0, start);
    for (int i = 0; i < 40; ++i) out += file.substr(start, file.size() - 1 - start);
    WriteFileBytes(forty, out + '\x3B');
}

// An icon of 8 directory entries that all point at one PNG image.
void MakeIconOfOnePng(const std::string& png, const std::string& icon) {
    const std::string image = ReadText(png);
    if (image.empty()) Fail("cannot read %s", png.c_str());
    std::string file = Le(0, 2) + Le(1, 2) + Le(8, 2);
    for (int i = 0; i < 8; ++i)
        file += Le(0, 4) + Le(1, 2) + Le(32, 2) + Le(DWORD(image.size()), 4) + Le(6 + 8 * 16, 4);
    WriteFileBytes(icon, file + image);
}

// The small JPEG with its frame header claiming 20000 x 20000 pixels and one stray byte before its
// first table (DQT).
void MakeClaimingJpeg(const std::string& jpeg, const std::string& claim) {
    std::string file = ReadText(jpeg);
    const auto frame = file.find("\xFF\xC0");
    const auto table = file.find("\xFF\xDB");
    if (frame == std::string::npos || table == std::string::npos || table > frame) {
        Fail("%s has no frame header after its first table", jpeg.c_str());
        return;
    }
    for (std::size_t at : {frame + 5, frame + 7}) file[at] = char(20000 >> 8), file[at + 1] = char(20000 & 0xFF);
    WriteFileBytes(claim, file.insert(table, 1, '\x00'));
}

// Ms to decode the whole picture with WIC alone, as the saver's decoding would at the least:
// open, then every row converted to 32-bit premultiplied BGRA, a band at a time.
double BareDecodeMs(const std::string& path, IWICImagingFactory* factory) {
    const std::wstring wide(path.begin(), path.end());
    const double start = Milliseconds();
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    UINT width = 0, height = 0;
    bool ok = SUCCEEDED(factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                           WICDecodeMetadataCacheOnDemand, &decoder)) &&
              SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(&width, &height)) &&
              SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
              SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                              0.0, WICBitmapPaletteTypeCustom));
    std::vector<BYTE> band(std::size_t{width} * 4 * 64);
    for (UINT top = 0; ok && top < height; top += 64) {
        const WICRect rect{0, static_cast<INT>(top), static_cast<INT>(width),
                           static_cast<INT>(std::min(64u, height - top))};
        ok = SUCCEEDED(converter->CopyPixels(&rect, width * 4, static_cast<UINT>(band.size()), band.data()));
    }
    const double ms = Milliseconds() - start;
    for (IUnknown* object :
         {static_cast<IUnknown*>(converter), static_cast<IUnknown*>(frame), static_cast<IUnknown*>(decoder)})
        if (object) object->Release();
    if (!ok) Fail("WIC alone cannot decode %s", path.c_str());
    return ok ? ms : NAN;
}

// Ms from starting `velbench decode <photo>` (a process that decodes the photo with WIC alone,
// as above) until it has ended; NaN when it fails.
double DecodeProcessMs(const std::string& photo) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = "\"" + std::string(self) + "\" decode \"" + photo + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const double start = Milliseconds();
    if (!CreateProcessA(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return NAN;
    const bool ended = WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0;
    const double ms = Milliseconds() - start;
    DWORD code = 1;
    if (!ended) TerminateProcess(info.hProcess, 99);
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread), CloseHandle(info.hProcess);
    return ended && code == 0 ? ms : NAN;
}

// Whether the codec scales while it decodes (IWICBitmapSourceTransform: Windows' JPEG codec),
// which the saver then uses.
bool CodecScales(const std::string& path, IWICImagingFactory* factory) {
    static const IID transform = {0x3B16811B, 0x6A43, 0x4EC9, {0xB7, 0x13, 0x3D, 0x5A, 0x0C, 0x13, 0xB9, 0x40}};
    const std::wstring wide(path.begin(), path.end());
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IUnknown* offered = nullptr;
    if (SUCCEEDED(factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)))
        frame->QueryInterface(transform, reinterpret_cast<void**>(&offered));
    for (IUnknown* object : {offered, static_cast<IUnknown*>(frame), static_cast<IUnknown*>(decoder)})
        if (object) object->Release();
    return offered != nullptr;
}

// ---- Figures

struct Series {
    std::vector<double> values;
    void Add(double v) {
        if (!std::isnan(v)) values.push_back(v);
    }
    double Median() const {
        if (values.empty()) return NAN;
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    std::string Text(int decimals) const {
        if (values.empty()) return "no value";
        const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
        char text[96];
        std::snprintf(text, sizeof text, "%.*f [%.*f..%.*f]", decimals, Median(), decimals, *lo, decimals, *hi);
        return text;
    }
};

// One line: the figure, Velumbra's and the reference's medians [min..max], their ratio, the
// target and the verdict (a missed target fails the benchmark).
void Figure(const char* name, const char* unit, int decimals, const Series& velumbra, const char* reference,
            const Series& other, const std::string& target, bool pass) {
    char ratio[32] = "n/a";  // nothing to divide by: a reference of zero
    if (other.Median() > 0) std::snprintf(ratio, sizeof ratio, "%.2f", velumbra.Median() / other.Median());
    std::printf("%-34s Velumbra %s %s | %s %s %s | ratio %s | target %s | %s\n", name, velumbra.Text(decimals).c_str(),
                unit, reference, other.Text(decimals).c_str(), unit, ratio, target.c_str(), pass ? "PASS" : "MISS");
    if (!pass) ++g_failures;
}

// The probe adds a known cost to the baseline's window; each method must find it again.
void CheckMethods(const std::string& probe) {
    const char* probeClass = "VelumbraBench_Probe";
    std::printf("== checks of the measuring methods (the probe adds a known cost)\n");
    {
        const Program spin{"probe spin", probe, "spin", probeClass, 127};
        Run run(spin);
        if (run.Ok()) {
            FILETIME created, ended, kernel0, user0, kernel1, user1;
            GetProcessTimes(run.Process(), &created, &ended, &kernel0, &user0);
            const double cpu = CpuOver(run, 3);
            GetProcessTimes(run.Process(), &created, &ended, &kernel1, &user1);
            const auto ticks = [](const FILETIME& f) { return (ULONGLONG{f.dwHighDateTime} << 32) | f.dwLowDateTime; };
            const double reported = static_cast<double>(ticks(kernel1) - ticks(kernel0) + ticks(user1) - ticks(user0));
            const bool ok = cpu >= 50 && cpu <= 105;  // ~100, less what the machine's other load takes
            std::printf(
                "CPU: a probe spinning one core reads %.1f%% of a core from /proc (GetProcessTimes from "
                "outside: %.1f%%) %s\n",
                cpu, reported / 1e5 / 3, ok ? "ok" : "");
            if (!ok) Fail("the CPU reading of a spinning process is not ~100%%");
            run.EndWithKey();
        }
    }
    {
        double peak[2] = {NAN, NAN}, reported[2] = {NAN, NAN};
        for (int i = 0; i < 2; ++i) {
            const Program touch{"probe touch", probe, i ? "touch 100" : "touch 0", probeClass, 127};
            Run run(touch);
            if (!run.Ok()) continue;
            PROCESS_MEMORY_COUNTERS counters{};
            counters.cb = sizeof counters;
            GetProcessMemoryInfo(run.Process(), &counters, sizeof counters);
            peak[i] = PeakMB(run.Pid());
            reported[i] = static_cast<double>(counters.PeakWorkingSetSize) / kMB;
            run.EndWithKey();
        }
        const double expected = 100 * 1024 * 1024 / kMB;
        const bool ok =
            std::abs(peak[1] - peak[0] - expected) < 2 && std::abs(reported[1] - reported[0] - expected) < 2;
        std::printf(
            "memory: a probe holding %.1f MB more peaks %+.1f MB higher in VmHWM, %+.1f MB in "
            "GetProcessMemoryInfo %s\n",
            expected, peak[1] - peak[0], reported[1] - reported[0], ok ? "ok" : "");
        if (!ok) Fail("the peak working set does not show memory a process holds");
    }
    {
        Series repaint[2];  // [0] the probe painting as the baseline does, [1] 2 ms longer
        for (int i = 0; i < 6; ++i) {
            const Program paint{"probe paint", probe, i % 2 ? "paint 2" : "paint 0", probeClass, 127};
            Run run(paint);
            if (!run.Ok()) continue;
            repaint[i % 2].Add(RepaintMs(run.Window(), 100));
            run.EndWithKey();
        }
        const double longer = repaint[1].Median() - repaint[0].Median();
        const bool ok = longer >= 1.8;
        std::printf("repaint: a probe painting 2 ms longer takes %+.2f ms more per repaint (%s against %s ms) %s\n",
                    longer, repaint[1].Text(2).c_str(), repaint[0].Text(2).c_str(), ok ? "ok" : "");
        if (!ok) Fail("forced repaints do not time the painting");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "decode") {  // the reference for drawing a big photo
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IWICImagingFactory* factory = nullptr;
        return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
                       !std::isnan(BareDecodeMs(argv[2], factory))
                   ? 0
                   : 1;
    }
    if (argc != 12) {
        std::fprintf(stderr,
                     "usage: velbench <Velumbra.scr> <baseline.exe> <probe.exe> <picture> <runs> <48 MP> <200 MP> "
                     "<8000x6000 PNG> <40-frame GIF> <8000x8000 PNG> <64x64 JPEG>\n");
        return 2;
    }
    const std::string photo48 = argv[6], photo200 = argv[7], png = argv[8], gif = std::string(argv[9]) + ".40.gif";
    const std::string icon = std::string(argv[10]) + ".ico", claim = std::string(argv[11]) + ".claim.jpg";
    MakeFortyFrames(argv[9], gif);
    MakeIconOfOnePng(argv[10], icon);
    MakeClaimingJpeg(argv[11], claim);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory)))) {
        std::fprintf(stderr, "no WIC\n");
        return 2;
    }
    MakePhoto(photo48, 8000, 6000, factory);
    MakePhoto(photo200, 16384, 12288, factory);
    const std::string picture = argv[4];
    const int runs = std::max(1, std::atoi(argv[5]));
    setvbuf(stdout, nullptr, _IONBF, 0);

    const Program baseline{"baseline", argv[2], "", "VelumbraBench_Baseline", 127};
    const Program velumbra{"Velumbra", argv[1], "/s", "Velumbra_frmMain", 127};
    const Program fading{"Velumbra (fading)", argv[1], "/s", "Velumbra_frmMain", 0};
    const Program opaque{"Velumbra (opaque)", argv[1], "/s", "Velumbra_frmMain", 255};

    CheckMethods(argv[3]);

    // A first start of each, not counted, so neither pays for a cold cache.
    for (const Program* p : {&baseline, &velumbra}) {
        PutSettings(128, 0, "", 0);
        Run warm(*p);
        if (warm.Ok()) warm.EndWithKey();
    }

    // The timings in quick pairs, twice as many as the other figures: these are milliseconds,
    // and the load other programs put on the machine changes from one second to the next.
    std::printf("== %d runs of each (%d for the timings), interleaved; median [min..max]\n", runs, 2 * runs);
    Series start[2], key[2], cpu[2], peak[2];  // [0] Velumbra, [1] the baseline
    for (int i = 0; i < 4 * runs; ++i) {
        const int which = (i + i / 2) % 2;  // V B, B V, V B, ...: neither always goes first
        if (which == 0) PutSettings(128, 0, "", 0);
        Run run(which == 0 ? velumbra : baseline);
        if (!run.Ok()) continue;
        start[which].Add(run.startMs);
        Sleep(300);  // painted and settled
        key[which].Add(run.EndWithKey());
    }
    for (int i = 0; i < 2 * runs; ++i) {
        const int which = (i + i / 2) % 2;
        if (which == 0) PutSettings(128, 0, "", 0);
        Run run(which == 0 ? velumbra : baseline);
        if (!run.Ok()) continue;
        Sleep(500);
        cpu[which].Add(CpuOver(run, 10));
        peak[which].Add(PeakMB(run.Pid()));
        run.EndWithKey();
    }

    // Fully clear fading to opaque over 10 s: alpha 0 rises by 4 every ~139 ms for ~9 s.
    Series fade;
    for (int i = 0; i < runs; ++i) {
        PutSettings(255, 10, "", 0);
        Run run(fading);
        if (!run.Ok()) continue;
        Sleep(500);
        const int alphaBefore = Alpha(run.Window());
        const double share = CpuOver(run, 8);
        const int alphaAfter = Alpha(run.Window());
        if (alphaBefore > 0 && alphaAfter > alphaBefore && alphaAfter < 255)
            fade.Add(share);
        else
            Fail("the fade did not run throughout the measurement (alpha %d, then %d)", alphaBefore, alphaAfter);
        run.EndWithKey();
    }

    // The pictures shown over an opaque black tint, measured once drawn.
    Series repaint[2], picturePeak[2];  // [0] with the picture stretched, [1] without a picture
    for (int i = 0; i < 2 * runs; ++i) {
        const int which = (i + i / 2) % 2;
        PutSettings(0, 0, which == 0 ? picture : "", 1);
        Run run(opaque);
        if (!run.Ok()) continue;
        if (which == 0 && std::isnan(run.PictureDrawnMs())) Fail("the 4000x3000 picture was not drawn");
        if (which == 1) Sleep(300);
        repaint[which].Add(RepaintMs(run.Window(), 100));
        picturePeak[which].Add(PeakMB(run.Pid()));
        run.EndWithKey();
    }

    // The 48 MP photo stretched against no picture: start to window, to the picture drawn, peak;
    // and a second start whose key comes as soon as the window has the keyboard, while the
    // picture decodes. A process that decodes the same file with WIC alone, from its start to
    // its end, is the reference for the drawing.
    Series bigStart[2], bigKey[2], bigPeak[2], drawn, bare, hugeDrawn, hugePeak;
    for (int i = 0; i < 2 * runs; ++i) {
        const int which = (i + i / 2) % 2;
        for (int quick = 0; quick < 2; ++quick) {
            PutSettings(0, 0, which == 0 ? photo48 : "", 1);
            Run run(opaque);
            if (!run.Ok()) continue;
            run.WaitForeground();
            if (quick) {
                bigKey[which].Add(run.EndWithKey());
                continue;
            }
            bigStart[which].Add(run.startMs);
            if (which == 0)
                drawn.Add(run.PictureDrawnMs());
            else
                Sleep(300);
            bigPeak[which].Add(PeakMB(run.Pid()));
            run.EndWithKey();
        }
        if (which == 0) bare.Add(DecodeProcessMs(photo48));
    }
    for (int i = 0; i < std::max(1, runs / 5); ++i) {
        PutSettings(0, 0, photo200, 1);
        Run run(opaque);
        if (!run.Ok()) continue;
        hugeDrawn.Add(run.PictureDrawnMs());
        hugePeak.Add(PeakMB(run.Pid()));
        run.EndWithKey();
    }

    // Files that once made the screen wait: start to window against no picture, each with a key
    // as soon as the window has the keyboard; and the peak of a saver whose picture is refused.
    struct Slow {
        const char* name;
        std::string path;
        Series start[2];
    } slow[] = {{"start to window, 8000x6000 PNG", png, {}},
                {"start to window, 40-frame GIF", gif, {}},
                {"start to window, icon of 8 x 64 MP", icon, {}}};
    // Starts vary by tens of milliseconds from one to the next under Wine, whatever they show:
    // as many pairs as for the first timings.
    for (Slow& file : slow)
        for (int i = 0; i < 4 * runs; ++i) {
            const int which = (i + i / 2) % 2;
            PutSettings(0, 0, which == 0 ? file.path : "", 1);
            Run run(opaque);
            if (!run.Ok()) continue;
            file.start[which].Add(run.startMs);
            run.WaitForeground();
            run.EndWithKey();
        }
    Series claimPeak[2];
    for (int i = 0; i < 2 * runs; ++i) {
        const int which = (i + i / 2) % 2;
        PutSettings(0, 0, which == 0 ? claim : "", 1);
        Run run(opaque);
        if (!run.Ok()) continue;
        Sleep(500);  // the picture looked at and refused
        claimPeak[which].Add(PeakMB(run.Pid()));
        run.EndWithKey();
    }

    const double startRatio = start[0].Median() / start[1].Median();
    const double keyRatio = key[0].Median() / key[1].Median();
    Figure("start to visible layered window", "ms", 0, start[0], "baseline", start[1], "ratio <= 1.15",
           startRatio <= 1.15);
    Figure("key press to process exit", "ms", 1, key[0], "baseline", key[1], "ratio <= 1.2", keyRatio <= 1.2);
    Figure("CPU shown, no fade", "% of a core", 3, cpu[0], "baseline", cpu[1], "< 0.1 %", cpu[0].Median() < 0.1);
    Figure("CPU during a 10 s fade", "% of a core", 3, fade, "baseline shown", cpu[1], "< 1 %", fade.Median() < 1);
    const double overBaseline = peak[0].Median() - peak[1].Median();
    char target[96];
    std::snprintf(target, sizeof target, "<= baseline + 2 MB (+%.1f MB)", overBaseline);
    Figure("peak working set, no picture", "MB", 1, peak[0], "baseline", peak[1], target, overBaseline <= 2);
    // The picture decoded: 4000 x 3000 pixels of 4 bytes.
    const double decoded = 4000.0 * 3000.0 * 4.0 / kMB;
    const double growth = picturePeak[0].Median() - picturePeak[1].Median();
    std::snprintf(target, sizeof target, "growth <= 2 x %.0f MB decoded (%+.1f MB = %.2f x)", decoded, growth,
                  growth / decoded);
    Figure("peak working set, 4000x3000 JPEG", "MB", 1, picturePeak[0], "no picture", picturePeak[1], target,
           growth <= 2 * decoded);
    Figure("repaint, 4000x3000 JPEG stretched", "ms", 3, repaint[0], "no picture", repaint[1], "ratio <= 2",
           repaint[0].Median() / repaint[1].Median() <= 2);
    Figure("start to window, 48 MP JPEG", "ms", 0, bigStart[0], "no picture", bigStart[1], "ratio <= 1.2",
           bigStart[0].Median() / bigStart[1].Median() <= 1.2);
    Figure("key to exit, 48 MP decoding", "ms", 1, bigKey[0], "no picture", bigKey[1], "ratio <= 1.5",
           bigKey[0].Median() / bigKey[1].Median() <= 1.5);
    Figure("start to 48 MP picture drawn", "ms", 0, drawn, "start to end of a bare WIC decode", bare, "ratio <= 1.3",
           drawn.Median() / bare.Median() <= 1.3);
    // The decoded picture: width x height pixels of 3 bytes.
    const double decoded48 = 8000.0 * 6000.0 * 3.0 / kMB, decoded200 = 16384.0 * 12288.0 * 3.0 / kMB;
    const double growth48 = bigPeak[0].Median() - bigPeak[1].Median(),
                 growth200 = hugePeak.Median() - bigPeak[1].Median();
    std::snprintf(target, sizeof target, "growth <= 1.2 x %.0f MB decoded (%+.1f MB = %.2f x)", decoded48, growth48,
                  growth48 / decoded48);
    Figure("peak working set, 48 MP JPEG", "MB", 1, bigPeak[0], "no picture", bigPeak[1], target,
           growth48 <= 1.2 * decoded48);
    std::snprintf(target, sizeof target, "drawn in %s ms; growth <= 1.2 x %.0f MB (%+.1f MB = %.2f x)",
                  hugeDrawn.Text(0).c_str(), decoded200, growth200, growth200 / decoded200);
    Figure("peak working set, 200 MP JPEG", "MB", 1, hugePeak, "no picture", bigPeak[1], target,
           hugeDrawn.values.size() == hugePeak.values.size() && !hugeDrawn.values.empty() &&
               growth200 <= 1.2 * decoded200);
    for (const Slow& file : slow)
        Figure(file.name, "ms", 0, file.start[0], "no picture", file.start[1], "ratio <= 1.2",
               file.start[0].Median() / file.start[1].Median() <= 1.2);
    const double claimGrowth = claimPeak[0].Median() - claimPeak[1].Median();
    std::snprintf(target, sizeof target, "<= no picture + 10 MB (%+.1f MB)", claimGrowth);
    Figure("peak, JPEG claiming 20000x20000", "MB", 1, claimPeak[0], "no picture", claimPeak[1], target,
           claimGrowth <= 10);
    std::printf("decoding path: %s\n", CodecScales(photo48, factory)
                                           ? "the codec scales while it decodes (IWICBitmapSourceTransform)"
                                           : "decoded whole by the codec, scaled by Velumbra while the rows stream in");

    if (g_failures) std::printf("%d target(s) missed or check(s) failed\n", g_failures);
    return g_failures ? 1 : 0;
}
