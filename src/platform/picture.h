// Picture files decoded with the Windows Imaging Component, and a picture made ready to draw.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/win.h"

// A decoded picture: its size in pixels and its pixels, 32-bit premultiplied BGRA, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// A BMP, JPEG, GIF or ICO file (the largest image of an icon), or whatever else the system's
// codecs read; nothing for a file that cannot be read as a picture, is empty, or is larger
// than the saver will hold.
std::optional<Picture> LoadPicture(const std::string& path);

// The picture at the given size in pixels, laid over the back colour (0x00BBGGRR): a bitmap
// ready to copy to the screen.
Gdi<HBITMAP> DrawnPicture(const Picture& picture, int width, int height, COLORREF back);
