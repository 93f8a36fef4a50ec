// Form frmMain: the dimming screen. One borderless, topmost, layered window over the primary
// screen, tinted with the chosen colour, optionally with a centred picture and a fade to
// opaque; a key, a click or a run of real pointer movement ends it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/forms.h"

// The picture control's geometry in twips. A stretched picture that fills the screen's
// height is sized height first, otherwise width first.
struct PictureFit {
    float width, height, left, top;
    bool fullHeight;
};
// Picture of pw x ph on a screen of sw x sh (twips): own size, or scaled to fit the screen
// with its aspect ratio kept; centred either way.
PictureFit FitPicture(float pw, float ph, float sw, float sh, bool stretch);
// The centring offset: the leftover rounded halves to even, then halved toward zero.
float CentreOffset(float screen, float size);

// The fade timer's set-up: ticks at least 100 ms apart, each adding the step held in the tag.
struct FadeSetup {
    std::int32_t interval;
    std::string tag;
};
FadeSetup SetUpFade(std::int32_t opaquetime, std::int32_t transvalue);

// Counts pointer moves to new positions; a repeated position starts the count again.
// Positions are 32-bit, so every screen's coordinates in twips fit.
struct PointerFilter {
    std::int32_t moveCount = 0;
    std::int32_t lastX = 0;
    std::int32_t lastY = 0;
    // True once five moves in a row reached new positions.
    bool Moved(float x, float y);
};

class frmMain : public forms::Form {
public:
    frmMain();
    void doSS();

    forms::Timer tmrOpaque;
    forms::Image img;

    std::uint8_t curAlpha = 0;
    PointerFilter pointer;

private:
    void Form_KeyDown(std::int16_t keyCode, std::int16_t shift);
    void Form_MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void Form_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void Form_Unload(std::int16_t& cancel);
    void img_MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void img_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void tmrOpaque_Timer();
};
