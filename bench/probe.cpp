// The baseline's window with one known extra cost, so the benchmark can check that each of
// its measuring methods finds that cost again:
//   probe spin        keeps one core busy while shown (CPU time should read ~100% of a core)
//   probe touch <MB>  writes MB of memory before showing (the peak working set grows by it)
//   probe paint <ms>  spends ms longer in every repaint (a repaint's time grows by it)
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dim_window.h"

namespace {

double g_paintMs = 0;
std::vector<char> g_held;  // written memory, kept for the process's life

double Milliseconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Busy(double milliseconds) {
    const double until = Milliseconds() + milliseconds;
    while (Milliseconds() < until) {
    }
}

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (bench::EndsProcess(message)) ExitProcess(0);
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        Busy(g_paintMs);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    const char* mode = commandLine;
    const char* space = std::strchr(mode, ' ');
    const double amount = space ? std::atof(space + 1) : 0.0;
    const bool spin = std::strncmp(mode, "spin", 4) == 0;
    if (std::strncmp(mode, "touch", 5) == 0) g_held.assign(static_cast<std::size_t>(amount * 1024 * 1024), 1);
    if (std::strncmp(mode, "paint", 5) == 0) g_paintMs = amount;

    bench::ShowDimWindow(instance, "VelumbraBench_Probe", Proc);
    MSG msg;
    for (;;) {
        if (spin) {
            Busy(10);  // between looks at the queue, which would wait on the wineserver
            if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
        } else if (GetMessageA(&msg, nullptr, 0, 0) <= 0) {
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
