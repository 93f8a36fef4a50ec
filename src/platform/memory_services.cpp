#include "platform/memory_services.h"

#include <cstdint>

namespace platform {
namespace {

std::string HandleText(HWND hwnd) {
    return std::to_string(static_cast<long long>(reinterpret_cast<std::intptr_t>(hwnd)));
}

}  // namespace

BOOL MemoryWindowServices::SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    log_.Add("SetWindowPos(" + HandleText(hwnd) + "," + HandleText(insertAfter) + "," + std::to_string(x) + "," +
             std::to_string(y) + "," + std::to_string(cx) + "," + std::to_string(cy) + "," +
             std::to_string(flags) + ")");
    return 1;
}

int MemoryWindowServices::ShowCursor(BOOL show) {
    log_.Add("ShowCursor(" + std::to_string(show) + ")");
    cursorCount += show ? 1 : -1;
    return cursorCount;
}

LONG MemoryWindowServices::GetWindowLongA(HWND hwnd, int index) {
    log_.Add("GetWindowLongA(" + HandleText(hwnd) + "," + std::to_string(index) + ")");
    return index == GWL_EXSTYLE ? exStyle : 0;
}

LONG MemoryWindowServices::SetWindowLongA(HWND hwnd, int index, LONG value) {
    log_.Add("SetWindowLongA(" + HandleText(hwnd) + "," + std::to_string(index) + "," + std::to_string(value) + ")");
    const LONG previous = exStyle;
    if (index == GWL_EXSTYLE) exStyle = value;
    return previous;
}

BOOL MemoryWindowServices::SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) {
    log_.Add("SetLayeredWindowAttributes(" + HandleText(hwnd) + "," + std::to_string(key) + "," +
             std::to_string(alpha) + "," + std::to_string(flags) + ")");
    return 1;
}

BOOL MemoryWindowServices::GetCursorPos(POINT* point) {
    log_.Add("GetCursorPos");
    if (cursorFails) return 0;
    *point = cursor;
    return 1;
}

bool MemoryApplication::PrevInstance() {
    log_.Add("App.PrevInstance");
    return prevInstance;
}

std::string MemoryApplication::Command() {
    log_.Add("App.Command");
    return command;
}

float MemoryScreen::Width() {
    log_.Add("Screen.Width");
    return width;
}

float MemoryScreen::Height() {
    log_.Add("Screen.Height");
    return height;
}

float MemoryScreen::TwipsPerPixelX() {
    log_.Add("Screen.TwipsPerPixelX");
    return twipsPerPixelX;
}

float MemoryScreen::TwipsPerPixelY() {
    log_.Add("Screen.TwipsPerPixelY");
    return twipsPerPixelY;
}

}  // namespace platform
