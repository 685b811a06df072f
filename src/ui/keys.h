#pragma once
// Virtual-key codes of the keys the program reads through Platform::asyncKeyState.
// Letters and digits are their upper-case ASCII codes ('A' = 65, '0' = 48).

namespace quorvel::ui::key {

constexpr int kTab = 9;
constexpr int kShift = 16;
constexpr int kControl = 17;
constexpr int kAlt = 18;  // VK_MENU

}  // namespace quorvel::ui::key
