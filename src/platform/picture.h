// Picture files read with the Windows Imaging Component: looked at before the saver shows,
// decoded beside it straight to the size they are drawn at.
#pragma once

#include <optional>
#include <string>

#include "platform/win.h"

// A picture file as the saver knows it before it shows: the image to show and its size in pixels.
struct PictureFile {
    std::wstring path;
    UINT image = 0;
    int width = 0, height = 0;
};

// A BMP, JPEG, GIF or ICO file (the largest image of an icon), or whatever else the system's
// codecs read. A JPEG's size comes from its own header, no decoder involved. Nothing for a file
// that cannot be read as a picture, is empty, claims more pixels than the file can hold, or
// would need more than half of the memory available now to decode.
std::optional<PictureFile> OpenPicture(const std::string& path);

// The picture decoded and drawn over `place` (client pixels; scaled when the sizes differ),
// laid over the back colour (0x00BBGGRR): the part that lies on a client area of `client`
// pixels, and where it goes. Nothing when the picture does not decode. For any thread with COM.
struct DrawnPicture {
    Gdi<HBITMAP> bitmap;
    RECT at{};
};
std::optional<DrawnPicture> DrawPicture(const PictureFile& file, RECT place, SIZE client, COLORREF back);
