// In-memory window services, application and screen objects for host tests. Each records
// what the program asks of it in a shared CallLog, in order.
#pragma once

#include <cstdint>
#include <string>

#include "platform/application.h"
#include "platform/call_log.h"
#include "platform/window_services.h"

namespace platform {

class MemoryWindowServices : public IWindowServices {
public:
    explicit MemoryWindowServices(CallLog& log) : log_(log) {}

    BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) override;
    int ShowCursor(BOOL show) override;
    LONG GetWindowLongA(HWND hwnd, int index) override;
    LONG SetWindowLongA(HWND hwnd, int index, LONG value) override;
    BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) override;
    BOOL GetCursorPos(POINT* point) override;

    // What GetWindowLongA(GWL_EXSTYLE) answers; SetWindowLongA stores into it.
    LONG exStyle = 0;
    POINT cursor{0, 0};
    bool cursorFails = false;
    int cursorCount = 0;  // the pointer's display count

private:
    CallLog& log_;
};

class MemoryApplication : public IApplication {
public:
    explicit MemoryApplication(CallLog& log) : log_(log) {}
    bool PrevInstance() override;
    std::string Command() override;
    std::int16_t Major() override { return 1; }
    std::int16_t Minor() override { return 6; }
    std::int16_t Revision() override { return 13; }

    bool prevInstance = false;
    std::string command;

private:
    CallLog& log_;
};

class MemoryScreen : public IScreen {
public:
    explicit MemoryScreen(CallLog& log) : log_(log) {}
    float Width() override;
    float Height() override;
    float TwipsPerPixelX() override;
    float TwipsPerPixelY() override;

    float width = 15360.0f;
    float height = 11520.0f;
    float twipsPerPixelX = 15.0f;
    float twipsPerPixelY = 15.0f;

private:
    CallLog& log_;
};

}  // namespace platform
