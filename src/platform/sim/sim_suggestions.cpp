#include "platform/sim/sim_suggestions.h"

#include <algorithm>

#include "platform/sim/sim_platform.h"

namespace quorvel::sim {

SimSuggestionPopup::SimSuggestionPopup(SimPlatform& owner, ui::SuggestionList& l) : platform(owner), list(l) {
    platform.popups_.push_back(this);
}

SimSuggestionPopup::~SimSuggestionPopup() {
    auto& all = platform.popups_;
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void SimSuggestionPopup::update() {
    ++updates;
    visible = true;
    rows = list.rows();
    highlighted = list.highlighted();
    // The box on the screen: the form's client area starts inside its frame.
    const ui::Form& form = list.box().form();
    const ui::FrameSize frame = platform.frameSize(form.borderStyle());
    const ui::Rect box = list.box().formRect();
    const int left = ui::twipsToPixels(form.left()) + frame.width / 2 + ui::twipsToPixels(box.left);
    const int top = ui::twipsToPixels(form.top()) + frame.height - frame.width / 2 + ui::twipsToPixels(box.top);
    const ui::Rect boxPixels{left, top, ui::twipsToPixels(box.width), ui::twipsToPixels(box.height)};
    place = ui::placeSuggestions(boxPixels, boxPixels.width, static_cast<int>(rows.size()) * kRowHeight + 2,
                                 platform.desktopRect());
}

void SimSuggestionPopup::hide() { visible = false; }

}  // namespace quorvel::sim
