// Resampling of 32-bit premultiplied BGRA pixels, done once when a picture is shown:
// a triangle filter widened by the reduction factor, so reductions average every source
// pixel (no nearest-neighbour aliasing) and enlargements interpolate bilinearly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace picture {

// For each output position along one axis: the first source index, how many follow, and
// their weights (`span` places per output position).
struct Taps {
    Taps(int in, int out);
    std::vector<int> first, count;
    std::vector<float> weights;
    int span = 0;
};

// Scales a picture as its rows arrive, top to bottom, into width x height pixels at `out`:
// each row is scaled across at once, and each output row is made as soon as the source rows
// it needs have come, so no more than a few scaled rows are ever held.
class RowResampler {
public:
    RowResampler(int sourceWidth, int sourceHeight, int width, int height, std::uint32_t* out);
    // The next source row, sourceWidth pixels.
    void AddRow(const std::uint32_t* row);

private:
    Taps across_, down_;
    int width_;
    std::vector<std::uint32_t> ring_;  // the last rows scaled across, `down_.span` of them
    int received_ = 0, made_ = 0;
    std::uint32_t* out_;
};

// The pixels drawn over a solid colour (0x00BBGGRR), as opaque 0x00RRGGBB words, in place.
void Flatten(std::uint32_t* pixels, std::size_t count, std::uint32_t colorref);

}  // namespace picture
