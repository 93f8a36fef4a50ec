// What a picture file's own headers tell before any decoder reads it: the image to show, what
// decoding it costs, whether the file can hold what it claims, and how a photo was turned.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

enum class PictureFormat { Other, Bmp, Jpeg, Gif, Png, Icon };

struct PictureHeaders {
    PictureFormat format = PictureFormat::Other;
    std::uint32_t width = 0, height = 0;  // the image to show, as stored; 0 x 0 for Other
    int orientation = 1;                  // EXIF orientation 1..8 of a JPEG; 1 for everything else
    std::uint64_t decodeBytes = 0;        // 4 bytes a pixel of the image the decoder is given; 0 for Other
    bool ignoreAlpha = false;             // a 32-bit bitmap whose alpha is 0 in every pixel: show it opaque
    // When not empty, the file to give the decoder instead of the original: a GIF cut to its
    // first frame, an icon with only its largest image. Empty: the original file as it is.
    std::vector<std::uint8_t> decoderFile;
};

// Nothing for a file of a recognised format whose headers are broken, whose image has no
// pixels, or that claims more than it can hold. A file of no recognised format gives
// format Other (the decoder then measures it).
std::optional<PictureHeaders> ReadPictureHeaders(std::span<const std::uint8_t> file);
