// The control menu's colours: the palette's swatches pick each player's main or second
// colour bar, the colour name labels toggle the second bars, Picture4 switches the bars
// between their two layouts, and the background swatch opens the system colour dialog.
#include <string>

#include "app/app.h"
#include "app/settings.h"
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
    const bool current = app::isCurrent(app_.release());
    for (int i = 0; i < kPaletteSize; ++i) {
        if (current)
            C1(i).onMouseDown = [this, i](const ui::MouseEvent& e) { swatchMouseDown(i, e); };
        else
            C1(i).onClick = [this, i] { swatchClick(i); };
    }
    if (current) {
        SC1.onClick = [this] { toggle(app_.table().SC12); };
        SC2.onClick = [this] { toggle(app_.table().SC22); };
    }
    Picture4.onClick = [this] { switchBarLayout(); };
    if (app::isOldest(app_.release())) {
        Picture4.onDblClick = [this] {
            toggle(&app_.table().SC1);
            toggle(&app_.table().SC2);
        };
    }
    Label5.onClick = [this] { chooseBackgroundColour(); };
}

void ControlMenu::chooseColour(int index, ui::Label& label, ui::Shape& bar, ui::Label& holder, app::Setting& setting) {
    const ui::Label& swatch = C1(index);
    label.setBackColor(swatch.backColor());
    label.setCaption(swatch.tag());
    bar.setFillColor(swatch.backColor());
    const std::string text = ui::formatNumber(static_cast<long long>(index));
    holder.setTag(text);
    setting = {text, ""};
}

void ControlMenu::swatchMouseDown(int index, const ui::MouseEvent& e) {
    auto& table = app_.table();
    auto& settings = app_.settings();
    const bool player1 = index < kFirstOfPlayer2;
    // Each step tests the press as received; every step that holds applies.
    const bool main = e.button == ui::mouse::kLeft && e.shift == 0;
    const bool second = e.button == ui::mouse::kRight || e.shift == ui::modifier::kShift;
    if (main && player1) chooseColour(index, SC1, table.SC1, table.Label5, settings.Player1Color);
    if (main && !player1) chooseColour(index, SC2, table.SC2, table.Label6, settings.Player2Color);
    if (second && player1) chooseColour(index, SC1, *table.SC12, table.Label5, settings.Player1Color);
    if (second && !player1) chooseColour(index, SC2, *table.SC22, table.Label6, settings.Player2Color);
    if (e.button == ui::mouse::kRight) {
        table.SC12->setVisible(true);
        table.SC22->setVisible(true);
    }
    if (e.button == ui::mouse::kMiddle) {
        toggle(table.SC12);
        toggle(table.SC22);
    }
}

void ControlMenu::swatchClick(int index) {
    auto& table = app_.table();
    auto& settings = app_.settings();
    if (index < kFirstOfPlayer2)
        chooseColour(index, SC1, table.SC1, table.Label5, settings.Player1Color);
    else
        chooseColour(index, SC2, table.SC2, table.Label6, settings.Player2Color);
}

void ControlMenu::switchBarLayout() {
    auto& table = app_.table();
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
    const auto chosen = platform().chooseColor(*this, customColors_);
    if (chosen)
        Label5.setBackColor(*chosen);
    else
        platform().messageBox(kCancelMessage, app_.title());
    auto& table = app_.table();
    table.Label1.setBackColor(Label5.backColor());
    const ui::Color c = Label5.backColor();
    const auto decimal = [](ui::Color value) { return ui::formatNumber(static_cast<long long>(value)); };
    Label5.setCaption(decimal(c % 256) + "  " + decimal(c % 65536 / 256) + "  " + decimal(c / 65536));
    setCaption("RGB - " + decimal(chosen.value_or(0)) + " - " + Label5.caption());
    table.Label3.setCaption(Text6.text());
}

}  // namespace quorvel::control
