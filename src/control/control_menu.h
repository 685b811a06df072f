#pragma once
// The control menu: the operator's tool window beside the score table. It holds no match
// data of its own: it reads the table's controls when activated and writes them back on
// "OK". The colour palette sits on it.
#include <array>
#include <vector>

#include "control/palette.h"
#include "ui/form.h"

namespace quorvel::app {
class App;
}

namespace quorvel::control {

class ControlMenu : public ui::Form {
    app::App& app_;

public:
    explicit ControlMenu(app::App& app);

    static constexpr int kCollapsedHeight = 2450;
    static constexpr int kExpandedHeight = 3800;

    ui::Label& SC1;  // player 1's colour name on its colour
    ui::Label& SC2;
    ui::TextBox& Text1;  // player 1 name
    ui::TextBox& Text3;  // player 1 score
    ui::TextBox& BO;     // series caption
    ui::TextBox& Text4;  // player 2 score
    ui::TextBox& Text2;  // player 2 name
    ui::Button& Command1;  // "OK"
    ui::TextBox& Text5;    // screenshot file path

    // Swatch `index` of the colour palette.
    ui::Label& C1(int index) { return *swatches_.at(static_cast<std::size_t>(index)); }

private:
    void onLoad() override;
    // Sets a colour name label from the palette entry that a holder tag names.
    void showSwatch(ui::Label& label, int index);

    std::vector<ui::Label*> swatches_;
    std::array<ui::Color, 16> customColors_{};
};

}  // namespace quorvel::control
