#pragma once
// Colour values as the windows store them: &H00BBGGRR, red in the low byte. Values with
// the high bit set name a system colour by its index in the low byte.
#include <cstdint>

namespace quorvel::ui {

using Color = std::uint32_t;

constexpr Color rgb(unsigned red, unsigned green, unsigned blue) {
    return (red & 0xFFu) | ((green & 0xFFu) << 8) | ((blue & 0xFFu) << 16);
}
constexpr unsigned redOf(Color c) { return c & 0xFFu; }
constexpr unsigned greenOf(Color c) { return (c >> 8) & 0xFFu; }
constexpr unsigned blueOf(Color c) { return (c >> 16) & 0xFFu; }
// The colour as a pixel of a window's picture: 0x00RRGGBB, blue in the low byte.
constexpr std::uint32_t rgbValue(Color c) { return (redOf(c) << 16) | (greenOf(c) << 8) | blueOf(c); }

constexpr Color kSystemColorFlag = 0x80000000u;
constexpr bool isSystemColor(Color c) { return (c & kSystemColorFlag) != 0; }
constexpr unsigned systemColorIndex(Color c) { return c & 0xFFu; }

// The system colours the windows use.
namespace system_color {
constexpr Color kWindowBackground = kSystemColorFlag | 5;
constexpr Color kWindowText = kSystemColorFlag | 8;
constexpr Color kButtonFace = kSystemColorFlag | 15;  // 3-D face
constexpr Color kGrayText = kSystemColorFlag | 17;
constexpr Color kButtonText = kSystemColorFlag | 18;
}  // namespace system_color

// The see-through key colour of the score table: pixels of exactly this colour let the
// desktop show through when the table is frameless.
constexpr Color kSeeThroughKey = rgb(1, 1, 1);

}  // namespace quorvel::ui
