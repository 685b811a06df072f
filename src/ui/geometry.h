#pragma once
// Positions and sizes. Windows and controls are measured in twips, counted as 15 to a
// screen pixel everywhere, also where screen pixels are turned into twips.

namespace quorvel::ui {

constexpr int kTwipsPerPixel = 15;

constexpr int pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }
// Twips to pixels, rounding toward negative infinity so that adjacent rectangles meet.
constexpr int twipsToPixels(int twips) {
    return twips >= 0 ? twips / kTwipsPerPixel : -((-twips + kTwipsPerPixel - 1) / kTwipsPerPixel);
}

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool contains(Point p) const { return p.x >= left && p.x < right() && p.y >= top && p.y < bottom(); }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// A rectangle given in pixels, turned into twips.
constexpr Rect pixelRect(int left, int top, int width, int height) {
    return {pixelsToTwips(left), pixelsToTwips(top), pixelsToTwips(width), pixelsToTwips(height)};
}

}  // namespace quorvel::ui
