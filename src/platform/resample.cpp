#include "platform/resample.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace picture {
namespace {

// For each output position along one axis: the first source index and the weights.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<float> weights;  // `span` weights per output position
    int span = 0;
};

Taps ComputeTaps(int in, int out) {
    Taps t;
    const double scale = static_cast<double>(out) / in;
    const double support = scale < 1.0 ? 1.0 / scale : 1.0;
    t.span = static_cast<int>(std::ceil(support)) * 2 + 1;
    t.first.resize(out);
    t.count.resize(out);
    t.weights.assign(static_cast<std::size_t>(out) * t.span, 0.0f);
    for (int o = 0; o < out; ++o) {
        const double centre = (o + 0.5) / scale;
        const int lo = std::max(0, static_cast<int>(std::floor(centre - support)));
        const int hi = std::min(in, static_cast<int>(std::ceil(centre + support)));
        double total = 0;
        int n = 0;
        float* w = &t.weights[static_cast<std::size_t>(o) * t.span];
        for (int i = lo; i < hi && n < t.span; ++i, ++n) {
            const double d = std::abs((i + 0.5 - centre) / support);
            w[n] = static_cast<float>(d < 1.0 ? 1.0 - d : 0.0);
            total += w[n];
        }
        if (total <= 0) {  // nothing within reach: take the nearest pixel
            n = 1;
            w[0] = 1.0f;
            total = 1.0;
            t.first[o] = std::clamp(static_cast<int>(centre), 0, in - 1);
        } else {
            t.first[o] = lo;
        }
        for (int k = 0; k < n; ++k) w[k] = static_cast<float>(w[k] / total);
        t.count[o] = n;
    }
    return t;
}

// One pass along rows (step 1) or columns (step = row length), four 8-bit channels; the
// intermediate image keeps 8 bits per channel, so no full-size float copy is ever held.
void Pass(const std::uint32_t* src, std::uint32_t* dst, int lines, int out, std::size_t srcStep, std::size_t dstStep,
          std::size_t srcLine, std::size_t dstLine, const Taps& t) {
    for (int line = 0; line < lines; ++line) {
        const std::uint32_t* s = src + line * srcLine;
        std::uint32_t* d = dst + line * dstLine;
        for (int o = 0; o < out; ++o) {
            const float* w = &t.weights[static_cast<std::size_t>(o) * t.span];
            float acc[4] = {0, 0, 0, 0};
            for (int k = 0; k < t.count[o]; ++k) {
                const std::uint32_t p = s[(t.first[o] + k) * srcStep];
                for (int c = 0; c < 4; ++c) acc[c] += static_cast<float>((p >> (8 * c)) & 0xFF) * w[k];
            }
            std::uint32_t v = 0;
            for (int c = 0; c < 4; ++c)
                v |= static_cast<std::uint32_t>(std::lround(std::clamp(acc[c], 0.0f, 255.0f))) << (8 * c);
            d[o * dstStep] = v;
        }
    }
}

}  // namespace

std::vector<std::uint32_t> Resample(const std::vector<std::uint32_t>& source, int sourceWidth, int sourceHeight,
                                    int width, int height) {
    const Taps across = ComputeTaps(sourceWidth, width);
    const Taps down = ComputeTaps(sourceHeight, height);
    std::vector<std::uint32_t> mid(static_cast<std::size_t>(width) * sourceHeight);
    Pass(source.data(), mid.data(), sourceHeight, width, 1, 1, sourceWidth, width, across);
    std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * height);
    Pass(mid.data(), out.data(), width, height, width, width, 1, 1, down);
    return out;
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
