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
    std::vector<double> shares;       // per target pixel, summing to 1

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
            double total = 0;
            for (int j = begin; j < from && j < high; ++j) {
                const double share = std::min(high, j + 1.0) - std::max(low, static_cast<double>(j));
                shares.push_back(share);
                total += share;
            }
            for (std::size_t k = start.back(); k < shares.size(); ++k) shares[k] /= total;
        }
        start.push_back(shares.size());
    }
};

using Channels = std::array<double, 4>;  // alpha, red, green, blue; premultiplied

Channels channels(std::uint32_t pixel) {
    return {static_cast<double>(pixel >> 24), static_cast<double>((pixel >> 16) & 0xFF),
            static_cast<double>((pixel >> 8) & 0xFF), static_cast<double>(pixel & 0xFF)};
}

std::uint32_t byte(double value) { return static_cast<std::uint32_t>(std::clamp(std::lround(value), 0L, 255L)); }

std::uint32_t pack(const Channels& c, bool crispEdges) {
    if (crispEdges) {
        // Opaque where the picture covers at least half the pixel, in its own colour
        // (premultiplied colour over alpha); transparent elsewhere.
        if (c[0] < 127.5) return 0;
        const double unpremultiply = 255.0 / c[0];
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
    // Rows first: each source row shrunk or stretched to the target's width.
    const auto width = static_cast<std::size_t>(targetWidth);
    std::vector<Channels> rows(width * static_cast<std::size_t>(sourceHeight));
    for (int y = 0; y < sourceHeight; ++y) {
        const std::uint32_t* row = source + static_cast<std::size_t>(y) * static_cast<std::size_t>(sourceWidth);
        for (std::size_t x = 0; x < width; ++x) {
            Channels sum{};
            const int first = across.first[x];
            for (std::size_t k = across.start[x]; k < across.start[x + 1]; ++k) {
                const Channels c = channels(row[first + static_cast<int>(k - across.start[x])]);
                for (std::size_t n = 0; n < 4; ++n) sum[n] += c[n] * across.shares[k];
            }
            rows[static_cast<std::size_t>(y) * width + x] = sum;
        }
    }
    // Then columns.
    for (std::size_t y = 0; y < static_cast<std::size_t>(targetHeight); ++y) {
        const int first = down.first[y];
        for (std::size_t x = 0; x < width; ++x) {
            Channels sum{};
            for (std::size_t k = down.start[y]; k < down.start[y + 1]; ++k) {
                const Channels& c = rows[static_cast<std::size_t>(first + static_cast<int>(k - down.start[y])) * width + x];
                for (std::size_t n = 0; n < 4; ++n) sum[n] += c[n] * down.shares[k];
            }
            target[y * width + x] = pack(sum, crispEdges);
        }
    }
}

}  // namespace quorvel::ui
