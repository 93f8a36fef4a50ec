// The saver's background picture, read, checked, placed and decoded on a thread of its own beside
// the window, which gets the outcome as a message: the screen never waits for a picture.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "platform/picture.h"
#include "pure/saver_rules.h"

// Posted to the window when a job ends; lParam owns a PictureOutcome.
constexpr UINT kPictureDone = WM_APP + 1;

struct PictureJob {
    std::string path;  // the picture setting, in the ANSI code page
    bool stretch = false;
    SIZE screen{};  // the primary screen in pixels
    float twipsPerPixel = 15;
    COLORREF back = 0;
    HWND window = nullptr;  // told the outcome
    unsigned generation = 0;
    std::shared_ptr<const std::atomic<bool>> cancelled;
};

// The picture drawn, with its geometry in twips; nothing when there is no picture to show.
struct PictureOutcome {
    unsigned generation = 0;
    std::optional<PictureFit> fit;
    std::optional<DrawnPicture> drawn;
};

// Starts the job on a thread of its own, below normal priority so the window's input comes
// first. False when no thread could start: the job then never reports.
bool StartPictureJob(PictureJob job);
