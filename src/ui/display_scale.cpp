#include "ui/display_scale.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace quorvel::ui {

namespace {

// Division rounding toward negative infinity (positions may lie left of or above the
// primary screen).
long long floorDiv(long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

int DisplayScale::toPhysical(int pixels) const {
    // The first physical pixel whose centre is at or past pixels * dpi / 96.
    return static_cast<int>(-floorDiv(kBaseDpi / 2 - static_cast<long long>(pixels) * dpi_, kBaseDpi));
}

int DisplayScale::toLogical(int physical) const {
    // Where the physical pixel's centre, physical + 1/2, lies in 96-DPI pixels.
    return static_cast<int>(floorDiv((2LL * physical + 1) * (kBaseDpi / 2), dpi_));
}

int DisplayScale::fontHeight(double points) const {
    return static_cast<int>(std::lround(points * dpi_ / 72.0));
}

namespace {

// The source pixels that one target pixel's footprint covers along one axis, with the
// share of each: the footprint is centred on the target pixel's centre and at least one
// source pixel wide, so that enlarging blends the two nearest source pixels.
struct Footprints {
    std::vector<int> first;           // per target pixel: its first source pixel
    std::vector<std::size_t> start;   // per target pixel: its first share in `shares`
    std::vector<float> shares;        // per target pixel, summing to 1

    Footprints(int from, int to) {
        const double ratio = static_cast<double>(from) / to;
        const double half = std::max(ratio, 1.0) / 2;
        for (int i = 0; i < to; ++i) {
            const double centre = (i + 0.5) * ratio;
            const double low = std::max(0.0, centre - half);
            const double high = std::min(static_cast<double>(from), centre + half);
            const int begin = static_cast<int>(std::floor(low));
            first.push_back(begin);
            start.push_back(shares.size());
            const auto overlap = [&](int j) { return std::min(high, j + 1.0) - std::max(low, 1.0 * j); };
            double total = 0;
            for (int j = begin; j < from && j < high; ++j) total += overlap(j);
            for (int j = begin; j < from && j < high; ++j) shares.push_back(static_cast<float>(overlap(j) / total));
        }
        start.push_back(shares.size());
    }
};

using Channels = std::array<float, 4>;  // alpha, red, green, blue; premultiplied

Channels channels(std::uint32_t pixel) {
    return {static_cast<float>(pixel >> 24), static_cast<float>((pixel >> 16) & 0xFF),
            static_cast<float>((pixel >> 8) & 0xFF), static_cast<float>(pixel & 0xFF)};
}

// Rounded to the nearest whole number from 0 to 255 (the values here are never negative).
std::uint32_t byte(float value) { return static_cast<std::uint32_t>(std::min(value + 0.5f, 255.0f)); }

std::uint32_t pack(const Channels& c, bool crispEdges) {
    if (crispEdges) {
        // Opaque where the picture covers at least half the pixel, in its own colour
        // (premultiplied colour over alpha); transparent elsewhere.
        if (c[0] < 127.5f) return 0;
        const float unpremultiply = 255.0f / c[0];
        return 0xFF000000u | byte(c[1] * unpremultiply) << 16 | byte(c[2] * unpremultiply) << 8 |
               byte(c[3] * unpremultiply);
    }
    const std::uint32_t alpha = byte(c[0]);
    return alpha << 24 | std::min(byte(c[1]), alpha) << 16 | std::min(byte(c[2]), alpha) << 8 |
           std::min(byte(c[3]), alpha);
}

}  // namespace

void resamplePicture(const std::uint32_t* source, int sourceWidth, int sourceHeight, std::uint32_t* target,
                     int targetWidth, int targetHeight, bool crispEdges) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0) return;
    const Footprints across(sourceWidth, targetWidth);
    const Footprints down(sourceHeight, targetHeight);
    // Each target row: the source rows under it blended into one row, which is then
    // shrunk or stretched to the target's width. A row of scratch, not a whole picture:
    // under Wine a large block costs far more to allocate than to fill.
    const auto sourceRow = static_cast<std::size_t>(sourceWidth);
    const auto width = static_cast<std::size_t>(targetWidth);
    std::vector<Channels> row(sourceRow);
    for (std::size_t y = 0; y < static_cast<std::size_t>(targetHeight); ++y) {
        std::fill(row.begin(), row.end(), Channels{});
        for (std::size_t k = down.start[y]; k < down.start[y + 1]; ++k) {
            const std::uint32_t* line =
                source + static_cast<std::size_t>(down.first[y]) * sourceRow + (k - down.start[y]) * sourceRow;
            for (std::size_t x = 0; x < sourceRow; ++x) {
                const Channels c = channels(line[x]);
                for (std::size_t n = 0; n < 4; ++n) row[x][n] += c[n] * down.shares[k];
            }
        }
        for (std::size_t x = 0; x < width; ++x) {
            Channels sum{};
            const Channels* from = row.data() + across.first[x];
            for (std::size_t k = across.start[x]; k < across.start[x + 1]; ++k) {
                const Channels& c = from[k - across.start[x]];
                for (std::size_t n = 0; n < 4; ++n) sum[n] += c[n] * across.shares[k];
            }
            target[y * width + x] = pack(sum, crispEdges);
        }
    }
}

}  // namespace quorvel::ui
