// The common dialog control: the system's colour and file-open choosers.
#pragma once

#include <windows.h>

#include <string>

struct CommonDialog {
    DWORD Flags = 0;
    COLORREF Color = 0;
    std::string FileName;
    const char* Filter = "";  // pairs of a description and its patterns, all separated by "|"

    // Each returns true when the user confirms, with the choice in Color or FileName; false,
    // and nothing changed, when the chooser is cancelled or fails.
    bool ShowColor(HWND owner);
    bool ShowOpen(HWND owner);
};
