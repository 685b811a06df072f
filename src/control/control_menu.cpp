#include "control/control_menu.h"

#include "app/app.h"
#include "table/score_table.h"
#include "ui/error.h"
#include "ui/numtext.h"

namespace quorvel::control {

ControlMenu::ControlMenu(app::App& app)
    : ui::Form(app.runtime(), "Form3"),
      app_(app),
      SC1(add<ui::Label>("SC1", ui::Rect{2040, 345, 705, 345})),
      SC2(add<ui::Label>("SC2", ui::Rect{3030, 345, 705, 345})),
      Text1(add<ui::TextBox>("Text1", ui::Rect{30, 30, 1770, 285})),
      Text3(add<ui::TextBox>("Text3", ui::Rect{1800, 30, 320, 285})),
      BO(add<ui::TextBox>("BO", ui::Rect{2130, 30, 1455, 285})),
      Text4(add<ui::TextBox>("Text4", ui::Rect{3600, 30, 320, 285})),
      Text2(add<ui::TextBox>("Text2", ui::Rect{3900, 30, 1755, 300})),
      Command1(add<ui::Button>("Command1", ui::Rect{2280, 780, 1185, 420})),
      Text5(add<ui::TextBox>("Text5", ui::Rect{1200, 2640, 4410, 285})) {
    setCaption(std::string(37, ' ') + "-=Control menu=-");
    setBorderStyle(ui::BorderStyle::FixedSingle);
    setBackColor(0x00D9D9D9);
    setClientSize(5715, 3330);
    setTag("0");

    for (int i = 0; i < kPaletteSize; ++i) {
        const Swatch& swatch = kPalette[static_cast<std::size_t>(i)];
        auto& label = add<ui::Label>("C1", swatch.rect, i);
        label.setBackColor(swatch.color);
        label.setTag(swatch.name);
        swatches_.push_back(&label);
    }
    const ui::Font colourNameFont{"Arial Narrow", 11.25, false, true};
    for (ui::Label* label : {&SC1, &SC2}) {
        label->setAlignment(ui::Alignment::Center);
        label->setFont(colourNameFont);
        label->setForeColor(0x001D1F16);
    }
    SC1.setCaption("Green");
    SC1.setBackColor(0x002DD23E);
    SC2.setCaption("Red");
    SC2.setBackColor(0x000000FF);
    Text1.setText("Text1");
    Text3.setText("0");
    BO.setText("BO 5");
    Text4.setText("0");
    Text2.setText("Text2");
    Command1.setCaption("OK");
    Command1.setFont({"MS Sans Serif", 9.75});
    Text5.setText("Text5");
}

void ControlMenu::onLoad() {
    Text5.setText(app_.path("\\screenshot.bmp"));
    customColors_.fill(0);
    setHeight(kCollapsedHeight);
    // Reading the holder labels creates the score table, hidden, if it does not exist.
    table::ScoreTable& table = app_.table();
    showSwatch(SC1, static_cast<int>(ui::wholePart(ui::parseNumber(table.Label5.tag()).value_or(0))));
    showSwatch(SC2, static_cast<int>(ui::wholePart(ui::parseNumber(table.Label6.tag()).value_or(0))));
}

void ControlMenu::showSwatch(ui::Label& label, int index) {
    if (index < 0 || index >= kPaletteSize)
        throw Error("The colour index " + std::to_string(index) + " names no swatch of the palette (0 to 18)");
    label.setBackColor(C1(index).backColor());
    label.setCaption(C1(index).tag());
}

}  // namespace quorvel::control
