#pragma once
// The headless popup of a suggestion list: what the operator would see of it (shown or
// not, its rows, the highlighted row, its place on the screen) for the tests to read, and
// a click on a row for them to send.
#include <string>
#include <vector>

#include "ui/geometry.h"
#include "ui/suggestion_list.h"

namespace quorvel::sim {

class SimPlatform;

struct SimSuggestionPopup final : ui::SuggestionPeer {
    // Rows are this many pixels high, as a list in the default font is on Windows.
    static constexpr int kRowHeight = 16;

    SimSuggestionPopup(SimPlatform& platform, ui::SuggestionList& list);
    ~SimSuggestionPopup() override;

    void update() override;
    void hide() override;
    // The operator clicks row `row`.
    void click(int row) { list.inputRowClicked(row); }

    SimPlatform& platform;
    ui::SuggestionList& list;
    bool visible = false;
    std::vector<std::string> rows;  // as last shown
    int highlighted = -1;
    ui::Rect place;                 // screen pixels
    int updates = 0;
};

}  // namespace quorvel::sim
