// A hook for the whole desktop that keeps Velumbra's forms from being created, as when Windows
// has no window to give: set by the start-up tests, it runs inside Velumbra.scr.
#include <windows.h>

#include <cstring>

extern "C" __declspec(dllexport) LRESULT CALLBACK RefuseForms(int code, WPARAM wParam, LPARAM lParam) {
    char name[32] = {};
    if (code == HCBT_CREATEWND && GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name) > 0 &&
        std::strncmp(name, "Velumbra_frm", 12) == 0)
        return TRUE;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
