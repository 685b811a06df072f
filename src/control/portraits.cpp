// The control menu's portrait sets: 13 thumbnails per player from the player's current
// set, a click putting that portrait on the score table, and the set buttons Picture5
// (player 1) and Picture6 (player 2).
#include "program/program.h"
#include "control/control_menu.h"
#include "table/score_table.h"

namespace quorvel::control {
namespace {

constexpr const char* kOriginSet = "Origin\\";
constexpr const char* kSet1 = "P1\\";
constexpr const char* kSet2 = "P2\\";

// The set that a press on a set button chooses; nullptr leaves it (the middle button).
const char* setOfButton(int button) {
    switch (button) {
        case ui::mouse::kLeft: return kSet1;
        case ui::mouse::kRight: return kSet2;
        default: return nullptr;
    }
}

}  // namespace

void ControlMenu::connectPortraits() {
    for (int n = 0; n < kThumbnails; ++n) {
        img1(n).onClick = [this, n] { showPortrait(program_.table().portrait(1), program_.table().portraitSet(1), n); };
        img2(n).onClick = [this, n] { showPortrait(program_.table().portrait(2), program_.table().portraitSet(2), n); };
    }
    for (const int player : {1, 2}) {
        ui::PictureBox& set = player == 1 ? Picture5 : Picture6;
        set.onDblClick = [this, player] { choosePortraitSet(program_.table().portraitSet(player), kOriginSet); };
        set.onMouseDown = [this, player](const ui::MouseEvent& e) {
            choosePortraitSet(program_.table().portraitSet(player), setOfButton(e.button));
        };
    }
}

void ControlMenu::showPortrait(ui::Image& portrait, const ui::Label& holder, int number) {
    // Loaded from disk again; the portrait numbers that the chords step from stay.
    portrait.setPicture(platform().loadPicture(program_.table().portraitPath(holder, number)));
}

void ControlMenu::choosePortraitSet(ui::Label& holder, const char* set) {
    if (set) holder.setCaption(set);
    fillThumbnails();
}

}  // namespace quorvel::control
