// The control menu's colours: the palette's swatches pick each player's main or second
// colour bar, the colour name labels toggle the second bars, Picture4 switches the bars
// between their two layouts, and the background swatch opens the system colour dialog.
#include <string>

#include "program/program.h"
#include "day/settings.h"
#include "control/control_menu.h"
#include "table/score_table.h"
#include "ui/numtext.h"

namespace quorvel::control {
namespace {

// Picture4's second layout: the main bars move down, the second bars widen to the left.
constexpr int kBarDrop = 500;
constexpr int kSecondBarStretch = 1760;

void toggle(ui::Control* control) {
    if (control) control->setVisible(!control->visible());
}

}  // namespace

void ControlMenu::connectColours() {
    const bool secondBars = program_.features().hasSecondColourBars();
    for (int i = 0; i < day::kPaletteSize; ++i) {
        if (secondBars)
            C1(i).onMouseDown = [this, i](const ui::MouseEvent& e) { swatchMouseDown(i, e); };
        else
            C1(i).onClick = [this, i] { pickColour(i); };
    }
    if (secondBars) {
        SC1.onClick = [this] { toggle(program_.table().SC12); };
        SC2.onClick = [this] { toggle(program_.table().SC22); };
    }
    Picture4.onClick = [this] { switchBarLayout(); };
    if (program_.features().barLayoutDoubleClickTogglesBars()) {
        Picture4.onDblClick = [this] {
            toggle(&program_.table().SC1);
            toggle(&program_.table().SC2);
        };
    }
    Label5.onClick = [this] { chooseBackgroundColour(); };
}

void ControlMenu::chooseColour(int index, int player, ui::Shape& bar) {
    const ui::Label& swatch = C1(index);
    ui::Label& name = colourName(player);
    name.setBackColor(swatch.backColor());
    name.setCaption(swatch.tag());
    bar.setFillColor(swatch.backColor());
    const std::string text = ui::formatNumber(static_cast<long long>(index));
    program_.table().setColourSwatch(player, text);
    program_.settings().playerColour(player) = {text, ""};
}

void ControlMenu::swatchMouseDown(int index, const ui::MouseEvent& e) {
    auto& table = program_.table();
    const int player = index < day::kFirstOfPlayer2 ? 1 : 2;
    // Each step tests the press as received; every step that holds applies.
    if (e.button == ui::mouse::kLeft && e.shift == 0) pickColour(index);
    if (e.button == ui::mouse::kRight || e.shift == ui::modifier::kShift)
        chooseColour(index, player, player == 1 ? *table.SC12 : *table.SC22);
    if (e.button == ui::mouse::kRight) {
        table.SC12->setVisible(true);
        table.SC22->setVisible(true);
    }
    if (e.button == ui::mouse::kMiddle) {
        toggle(table.SC12);
        toggle(table.SC22);
    }
}

void ControlMenu::pickColour(int index) {
    const int player = index < day::kFirstOfPlayer2 ? 1 : 2;
    chooseColour(index, player, program_.table().colourBar(player));
}

void ControlMenu::switchBarLayout() {
    auto& table = program_.table();
    const bool old = table.barLayoutFlag;
    table.barLayoutFlag = !old;
    // Each value is read from the bar and written back, so presses alternate.
    const int sign = old ? -1 : 1;
    for (ui::Shape* bar : {&table.SC1, &table.SC2}) bar->setTop(bar->rect().top + sign * kBarDrop);
    for (ui::Shape* bar : {table.SC12, table.SC22}) {
        if (!bar) continue;  // releases before 0.99 have no second bars
        const ui::Rect r = bar->rect();
        bar->setRect({r.left - sign * kSecondBarStretch, r.top, r.width + sign * kSecondBarStretch, r.height});
    }
}

void ControlMenu::chooseBackgroundColour() {
    std::optional<ui::Color> chosen;
    {
        const auto open = runtime().modal();
        chosen = platform().chooseColor(*this, customColors_);
    }
    if (chosen)
        Label5.setBackColor(*chosen);
    else
        program_.tell(kCancelMessage);
    auto& table = program_.table();
    table.setBackgroundColour(Label5.backColor());
    const ui::Color c = Label5.backColor();
    const auto decimal = [](ui::Color value) { return ui::formatNumber(static_cast<long long>(value)); };
    Label5.setCaption(decimal(c % 256) + "  " + decimal(c % 65536 / 256) + "  " + decimal(c / 65536));
    setCaption("RGB - " + decimal(chosen.value_or(0)) + " - " + Label5.caption());
    table.setCaptureIntervalText(Text6.text());
}

}  // namespace quorvel::control
