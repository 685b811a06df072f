// Swapping the two sides of the table between matches: everything of player 1 goes to
// player 2's place and back, the middle of the table stays.
#include <utility>

#include "program/program.h"
#include "control/control_menu.h"
#include "table/score_table.h"
#include "ui/numtext.h"

namespace quorvel::table {
namespace {

// The swatch of the same name on the other side. A name the other half lacks (player 1's
// White) keeps its swatch, so swapping back finds it again.
std::string otherSideSwatch(const std::string& text) {
    const auto index = ui::parseNumber(text);
    if (!index || *index < 0 || *index >= day::kPaletteSize || *index != static_cast<int>(*index)) return text;
    const int from = static_cast<int>(*index);
    const int to = day::swatchOnSide(from, from < day::kFirstOfPlayer2 ? 2 : 1);
    return to < 0 ? text : ui::formatNumber(static_cast<long long>(to));
}

// Exchanges one property of two controls through its getter and setter.
template <class Control, class Get, class Set>
void exchange(Control& a, Control& b, Get get, Set set) {
    auto first = (a.*get)();
    (a.*set)((b.*get)());
    (b.*set)(std::move(first));
}

void exchangeVisibility(ui::Control& a, ui::Control& b) {
    exchange(a, b, &ui::Control::visible, &ui::Control::setVisible);
}

}  // namespace

void ScoreTable::swapSides() {
    control::ControlMenu& menu = program_.controlMenu();
    day::Settings& settings = program_.settings();

    // Names with their fonts, scores, and the menu's boxes of both, so that its "OK" keeps
    // the swap.
    exchange(P1, P2, &ui::Label::caption, &ui::Label::setCaption);
    exchange(P1, P2, &ui::Label::font, &ui::Label::setFont);
    day::GameOrder games = games_;
    games.swapPlayers();
    exchange(T1, T2, &ui::Label::caption, &ui::Label::setCaption);
    games_ = games;  // the swap's own score changes are no points
    exchange(menu.Text1, menu.Text2, &ui::TextBox::text, &ui::TextBox::setText);
    exchange(menu.Text3, menu.Text4, &ui::TextBox::text, &ui::TextBox::setText);

    // Colours: the bars keep their colours, which the two halves of the palette share by
    // name; the indexes move to the other half.
    exchange(SC1, SC2, &ui::Shape::fillColor, &ui::Shape::setFillColor);
    if (SC12 && SC22) {
        exchange(*SC12, *SC22, &ui::Shape::fillColor, &ui::Shape::setFillColor);
        exchangeVisibility(*SC12, *SC22);
    }
    const std::string swatch1 = colourSwatch(1);
    setColourSwatch(1, otherSideSwatch(colourSwatch(2)));
    setColourSwatch(2, otherSideSwatch(swatch1));
    std::swap(settings.Player1Color, settings.Player2Color);
    for (day::Setting* colour : {&settings.Player1Color, &settings.Player2Color})
        *colour = {otherSideSwatch(colour->text), ""};
    exchange(menu.SC1, menu.SC2, &ui::Label::backColor, &ui::Label::setBackColor);
    exchange(menu.SC1, menu.SC2, &ui::Label::caption, &ui::Label::setCaption);

    // Countries: the place in the list, then the name and flag as they were shown.
    const auto flag1 = F1.picture();
    const auto flag2 = F2.picture();
    const std::string country1 = LiveP1.caption();
    const std::string country2 = LiveP2.caption();
    const int place1 = Combo1.listIndex();
    Combo1.setListIndex(Combo2.listIndex());
    Combo2.setListIndex(place1);
    F1.setPicture(flag2);
    F2.setPicture(flag1);
    LiveP1.setCaption(country2);
    LiveP2.setCaption(country1);
    exchangeVisibility(F1, F2);
    exchangeVisibility(LiveP1, LiveP2);

    // Portraits: the picture, the set, the number the chords step from, shown or hidden.
    exchange(I1, I2, &ui::Image::picture, &ui::Image::setPicture);
    exchangeVisibility(I1, I2);
    std::swap(gennum1, gennum2);
    if (portraitSet(1).caption() != portraitSet(2).caption()) {
        exchange(portraitSet(1), portraitSet(2), &ui::Label::caption, &ui::Label::setCaption);
        menu.fillThumbnails();
    }
}

}  // namespace quorvel::table
