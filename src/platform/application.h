// The application object (instance test, argument text, version), the screen object
// (primary screen in twips) and ending the program.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class IApplication {
public:
    virtual ~IApplication() = default;
    // True when another process of this program is running.
    virtual bool PrevInstance() = 0;
    // The command line after the program's own name.
    virtual std::string Command() = 0;
    virtual std::int16_t Major() = 0;
    virtual std::int16_t Minor() = 0;
    virtual std::int16_t Revision() = 0;
};

class IScreen {
public:
    virtual ~IScreen() = default;
    // The primary screen's size in twips, and twips per pixel.
    virtual float Width() = 0;
    virtual float Height() = 0;
    virtual float TwipsPerPixelX() = 0;
    virtual float TwipsPerPixelY() = 0;
};

IApplication& App();
void SetApp(IApplication* app);
IScreen& Screen();
void SetScreen(IScreen* screen);

// Ends the process at once; nothing after the call runs. Host tests install a handler that
// throws ProgramEnded instead, so "nothing after it" can be observed.
struct ProgramEnded {};
using EndHandler = void (*)();
void SetEndHandler(EndHandler handler);
[[noreturn]] void EndProgram();

}  // namespace platform
