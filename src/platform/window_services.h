// The user32 calls the forms make directly on their window: z-order, pointer display count,
// extended style, layered alpha and the pointer position.
#pragma once

#include "platform/wintypes.h"

namespace platform {

class IWindowServices {
public:
    virtual ~IWindowServices() = default;
    virtual BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) = 0;
    virtual int ShowCursor(BOOL show) = 0;
    virtual LONG GetWindowLongA(HWND hwnd, int index) = 0;
    virtual LONG SetWindowLongA(HWND hwnd, int index, LONG value) = 0;
    virtual BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) = 0;
    virtual BOOL GetCursorPos(POINT* point) = 0;
};

IWindowServices& WindowServices();
void SetWindowServices(IWindowServices* services);

}  // namespace platform
