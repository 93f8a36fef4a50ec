// The Win32 window services, application object and screen object.
#pragma once

#include <string>

#include "platform/application.h"
#include "platform/window_services.h"

namespace platform {

class Win32WindowServices : public IWindowServices {
public:
    BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) override;
    int ShowCursor(BOOL show) override;
    LONG GetWindowLongA(HWND hwnd, int index) override;
    LONG SetWindowLongA(HWND hwnd, int index, LONG value) override;
    BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) override;
    BOOL GetCursorPos(POINT* point) override;
};

class Win32Application : public IApplication {
public:
    // Takes the instance mutex at once and holds it for the life of the process.
    explicit Win32Application(std::string command);
    bool PrevInstance() override { return prevInstance_; }
    std::string Command() override { return command_; }
    std::int16_t Major() override { return major_; }
    std::int16_t Minor() override { return minor_; }
    std::int16_t Revision() override { return revision_; }

private:
    bool prevInstance_ = false;
    std::string command_;
    std::int16_t major_ = 0, minor_ = 0, revision_ = 0;
};

class Win32Screen : public IScreen {
public:
    float Width() override;
    float Height() override;
    float TwipsPerPixelX() override;
    float TwipsPerPixelY() override;
};

// The program's version from its own version resource: major, minor, build, revision.
bool ReadModuleVersion(WORD (&parts)[4]);

// The user's decimal and thousands separators, handed to the number rules.
void LoadLocaleSeparators();

}  // namespace platform
