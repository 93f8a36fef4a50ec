#include "pure/resample.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace picture {
namespace {

// The weighted sum of n pixels, `at(k)` giving the k-th, channel by channel.
template <class At>
std::uint32_t Mix(const float* w, int n, At at) {
    float acc[4] = {0, 0, 0, 0};
    for (int k = 0; k < n; ++k) {
        const std::uint32_t p = at(k);
        for (int c = 0; c < 4; ++c) acc[c] += static_cast<float>((p >> (8 * c)) & 0xFF) * w[k];
    }
    std::uint32_t v = 0;
    for (int c = 0; c < 4; ++c) v |= static_cast<std::uint32_t>(std::clamp(acc[c], 0.0f, 255.0f) + 0.5f) << (8 * c);
    return v;
}

}  // namespace

Taps::Taps(int in, int out) : first(out), count(out) {
    const double scale = static_cast<double>(out) / in;
    const bool reduce = scale < 1.0;
    // Reduced, each output pixel averages the source pixels it covers, each by the part it
    // covers; enlarged, it interpolates linearly between the two nearest.
    span = reduce ? static_cast<int>(std::ceil(1.0 / scale)) + 2 : 3;
    weights.assign(static_cast<std::size_t>(out) * span, 0.0f);
    for (int o = 0; o < out; ++o) {
        const double from = o / scale, to = (o + 1) / scale, centre = (o + 0.5) / scale;
        const int lo = std::max(0, static_cast<int>(std::floor(reduce ? from : centre - 1.0)));
        const int hi = std::min(in, static_cast<int>(std::ceil(reduce ? to : centre + 1.0)));
        double total = 0;
        int n = 0;
        float* w = &weights[static_cast<std::size_t>(o) * span];
        for (int i = lo; i < hi && n < span; ++i, ++n) {
            const double covered = std::min(to, i + 1.0) - std::max(from, double(i));
            w[n] = static_cast<float>(reduce ? covered : std::max(0.0, 1.0 - std::abs(i + 0.5 - centre)));
            total += w[n];
        }
        first[o] = total > 0 ? lo : std::clamp(static_cast<int>(centre), 0, in - 1);
        if (total <= 0) {  // nothing within reach: take the nearest pixel
            n = 1;
            w[0] = 1.0f;
            total = 1.0;
        }
        for (int k = 0; k < n; ++k) w[k] = static_cast<float>(w[k] / total);
        count[o] = n;
    }
}

RowResampler::RowResampler(int sourceWidth, int sourceHeight, int width, int height, std::uint32_t* out)
    : across_(sourceWidth, width), down_(sourceHeight, height), width_(width), out_(out) {
    ring_.resize(static_cast<std::size_t>(width) * down_.span);
}

void RowResampler::AddRow(const std::uint32_t* row) {
    std::uint32_t* scaled = &ring_[static_cast<std::size_t>(received_ % down_.span) * width_];
    for (int x = 0; x < width_; ++x) {
        const int first = across_.first[x];
        scaled[x] = Mix(&across_.weights[static_cast<std::size_t>(x) * across_.span], across_.count[x],
                        [&](int k) { return row[first + k]; });
    }
    ++received_;
    // Every output row whose source rows have all come; the ring still holds them, as no
    // output row needs more than `span` rows.
    const int height = static_cast<int>(down_.first.size());
    for (; made_ < height && down_.first[made_] + down_.count[made_] <= received_; ++made_) {
        const int first = down_.first[made_];
        const float* w = &down_.weights[static_cast<std::size_t>(made_) * down_.span];
        std::uint32_t* line = out_ + static_cast<std::size_t>(made_) * width_;
        for (int x = 0; x < width_; ++x)
            line[x] = Mix(w, down_.count[made_], [&](int k) {
                return ring_[static_cast<std::size_t>((first + k) % down_.span) * width_ + x];
            });
    }
}

void Flatten(std::uint32_t* pixels, std::size_t count, std::uint32_t colorref) {
    const std::uint32_t r = colorref & 0xFF, g = (colorref >> 8) & 0xFF, b = (colorref >> 16) & 0xFF;
    for (std::uint32_t& p : std::span(pixels, count)) {
        const std::uint32_t a = p >> 24;
        if (a == 255) {
            p &= 0x00FFFFFF;
            continue;
        }
        const auto over = [&](std::uint32_t channel, std::uint32_t back) {
            return std::min<std::uint32_t>(255, channel + (back * (255 - a) + 127) / 255);
        };
        p = over((p >> 16) & 0xFF, r) << 16 | over((p >> 8) & 0xFF, g) << 8 | over(p & 0xFF, b);
    }
}

}  // namespace picture
