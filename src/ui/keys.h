#pragma once
// Virtual-key codes of the keys the program reads through Platform::asyncKeyState or
// receives in a text box. Letters and digits are their upper-case ASCII codes ('A' = 65,
// '0' = 48).

namespace quorvel::ui::key {

constexpr int kTab = 9;
constexpr int kReturn = 13;
constexpr int kShift = 16;
constexpr int kControl = 17;
constexpr int kAlt = 18;  // VK_MENU
constexpr int kEscape = 27;
constexpr int kUp = 38;
constexpr int kDown = 40;

}  // namespace quorvel::ui::key
