// Resampling of 32-bit premultiplied BGRA pixels, done once when a picture is shown:
// a triangle filter widened by the reduction factor, so reductions average every source
// pixel (no nearest-neighbour aliasing) and enlargements interpolate bilinearly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace picture {

// The source scaled to width x height; both sizes positive.
std::vector<std::uint32_t> Resample(const std::vector<std::uint32_t>& source, int sourceWidth, int sourceHeight,
                                    int width, int height);

// The pixels drawn over a solid colour (0x00BBGGRR), as opaque 0x00RRGGBB words, in place.
void Flatten(std::uint32_t* pixels, std::size_t count, std::uint32_t colorref);

}  // namespace picture
