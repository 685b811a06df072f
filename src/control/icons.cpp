#include "control/icons.h"

#include <array>
#include <string_view>

namespace quorvel::control {
namespace {

constexpr std::uint32_t kClear = 0x00000000;
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;

struct Canvas {
    Icon icon;
    Canvas(int width, int height, std::uint32_t fill)
        : icon{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), fill)} {}
    void set(int x, int y, std::uint32_t colour) {
        if (x < 0 || y < 0 || x >= icon.width || y >= icon.height) return;
        const int at = y * icon.width + x;
        icon.pixels[static_cast<std::size_t>(at)] = colour;
    }
    void fill(int left, int top, int width, int height, std::uint32_t colour) {
        for (int y = top; y < top + height; ++y)
            for (int x = left; x < left + width; ++x) set(x, y, colour);
    }
};

// 5 x 7 letters of the product's name, a row per string, '#' for a set pixel.
struct Glyph {
    char letter;
    std::array<std::string_view, 7> rows;
};
constexpr std::array<Glyph, 7> kGlyphs = {{
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
}};

void drawText(Canvas& canvas, std::string_view text, int left, int top, int scale, std::uint32_t colour) {
    int x = left;
    for (char letter : text) {
        for (const Glyph& glyph : kGlyphs) {
            if (glyph.letter != letter) continue;
            for (int row = 0; row < 7; ++row)
                for (int column = 0; column < 5; ++column)
                    if (glyph.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] == '#')
                        canvas.fill(x + column * scale, top + row * scale, scale, scale, colour);
        }
        x += 6 * scale;
    }
}

}  // namespace

Icon barIcon() {
    Canvas c(22, 20, kClear);
    c.fill(3, 8, 16, 4, kBlack);
    return c.icon;
}

Icon diagonalIcon() {
    Canvas c(20, 20, kClear);
    for (int y = 2; y < 18; ++y)
        for (int x = 2; x < 18; ++x) c.set(x, y, x - 2 <= y - 2 ? kBlack : kWhite);
    return c.icon;
}

Icon arrowIcon() {
    Canvas c(20, 20, kClear);
    for (int x = 3; x < 10; ++x) c.fill(x, 10 - (x - 2), 1, 2 * (x - 2), kBlack);  // the head
    c.fill(10, 7, 7, 6, kBlack);                                                   // the shaft
    return c.icon;
}

Icon twoBarsIcon() {
    Canvas c(20, 25, kClear);
    c.fill(3, 7, 14, 3, kBlack);
    c.fill(3, 15, 14, 3, kBlack);
    return c.icon;
}

Icon swapIcon() {
    Canvas c(17, 12, kClear);
    for (int i = 0; i < 3; ++i) {
        c.fill(12 + i, 1 + i, 1, 5 - 2 * i, kBlack);  // the right-pointing head
        c.fill(4 - i, 6 + i, 1, 5 - 2 * i, kBlack);   // the left-pointing head
    }
    c.fill(2, 3, 10, 1, kBlack);
    c.fill(5, 8, 10, 1, kBlack);
    return c.icon;
}

Icon nextIcon() {
    Canvas c(16, 12, kClear);
    for (int i = 0; i < 6; ++i) c.fill(3 + i, 1 + i, 1, 10 - 2 * i, kBlack);  // the head, pointing right
    c.fill(10, 1, 2, 10, kBlack);                                               // the bar after it
    return c.icon;
}

Icon logo() {
    constexpr std::uint32_t kNavy = 0xFF16306B;
    constexpr std::uint32_t kGold = 0xFFF2C230;
    Canvas c(88, 31, kNavy);
    c.fill(0, 0, 88, 1, kGold);
    c.fill(0, 30, 88, 1, kGold);
    c.fill(0, 0, 1, 31, kGold);
    c.fill(87, 0, 1, 31, kGold);
    // "QUORVEL" at twice the glyph size: 7 letters of 12 pixels, centred.
    drawText(c, "QUORVEL", (88 - (7 * 12 - 2)) / 2, (31 - 14) / 2, 2, kWhite);
    return c.icon;
}

}  // namespace quorvel::control
