// The benchmarks' baseline: the lightest program that shows the dimming window. Velumbra's
// figures are given as ratios to this program's, measured in the same run.
#include "dim_window.h"

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (bench::EndsProcess(message)) ExitProcess(0);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    bench::ShowDimWindow(instance, "VelumbraBench_Baseline", Proc);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
