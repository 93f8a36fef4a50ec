// Picture files decoded with the Windows Imaging Component, on the thread that asks, straight to
// the size they are drawn at. The file's own headers are read first, so what a picture costs is
// known before any decoder sees it.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "platform/win.h"
#include "pure/pixel_rect.h"

// The picture over the back colour: the part of it that lies on the client area, and where.
struct DrawnPicture {
    Gdi<HBITMAP> bitmap;
    PixelRect at{};
};

// Where a picture shown `width` x `height` pixels (turned upright) goes on the client area;
// nothing to leave it out.
using PlaceFor = std::function<std::optional<PixelRect>(int width, int height)>;

// Reads, checks and decodes the picture file at `path` (BMP, JPEG, GIF, PNG, icon, or whatever
// else the system's codecs read) and draws it at the place `placeFor` gives, scaled when the sizes
// differ, over `back` (0x00BBGGRR), on a client area of `client` pixels. Nothing for a file that
// cannot be read as a picture, claims more than it can hold, would need more than half of the
// memory available now, or was `cancelled` meanwhile. COM is entered and left on this thread.
std::optional<DrawnPicture> LoadPicture(const std::wstring& path, const PlaceFor& placeFor, SIZE client, COLORREF back,
                                        const std::atomic<bool>& cancelled);
