// Swapping the two sides of the table between matches: everything of player 1 goes to
// player 2's place and back, the middle of the table stays.
#include <utility>

#include "app/app.h"
#include "control/control_menu.h"
#include "table/score_table.h"
#include "ui/numtext.h"

namespace quorvel::table {
namespace {

// The swatch of the same name on the other side. A name the other half lacks (player 1's
// White) keeps its swatch, so swapping back finds it again.
std::string otherSideSwatch(const std::string& text) {
    const auto index = ui::parseNumber(text);
    if (!index || *index < 0 || *index >= control::kPaletteSize || *index != static_cast<int>(*index)) return text;
    const int from = static_cast<int>(*index);
    const int to = control::swatchOnSide(from, from < control::kFirstOfPlayer2 ? 2 : 1);
    return to < 0 ? text : ui::formatNumber(static_cast<long long>(to));
}

template <class Get, class Set>
void exchange(Get get, Set set) {
    auto first = get(1);
    auto second = get(2);
    set(1, std::move(second));
    set(2, std::move(first));
}

void exchangeVisibility(ui::Control& a, ui::Control& b) {
    const bool shown = a.visible();
    a.setVisible(b.visible());
    b.setVisible(shown);
}

}  // namespace

void ScoreTable::swapSides() {
    control::ControlMenu& menu = app_.controlMenu();
    app::Settings& settings = app_.settings();
    const auto pick = [](int player, auto& one, auto& two) -> auto& { return player == 1 ? one : two; };

    // Names with their fonts, scores, and the menu's boxes of both, so that its "OK" keeps
    // the swap.
    exchange([&](int p) { return pick(p, P1, P2).caption(); }, [&](int p, std::string v) { pick(p, P1, P2).setCaption(v); });
    exchange([&](int p) { return pick(p, P1, P2).font(); }, [&](int p, const ui::Font& v) { pick(p, P1, P2).setFont(v); });
    exchange([&](int p) { return pick(p, T1, T2).caption(); }, [&](int p, std::string v) { pick(p, T1, T2).setCaption(v); });
    exchange([&](int p) { return pick(p, menu.Text1, menu.Text2).text(); },
             [&](int p, std::string v) { pick(p, menu.Text1, menu.Text2).setText(v); });
    exchange([&](int p) { return pick(p, menu.Text3, menu.Text4).text(); },
             [&](int p, std::string v) { pick(p, menu.Text3, menu.Text4).setText(v); });

    // Colours: the bars keep their colours, which the two halves of the palette share by
    // name; the indexes move to the other half.
    exchange([&](int p) { return pick(p, SC1, SC2).fillColor(); }, [&](int p, ui::Color v) { pick(p, SC1, SC2).setFillColor(v); });
    if (SC12 && SC22) {
        exchange([&](int p) { return pick(p, *SC12, *SC22).fillColor(); },
                 [&](int p, ui::Color v) { pick(p, *SC12, *SC22).setFillColor(v); });
        exchangeVisibility(*SC12, *SC22);
    }
    exchange([&](int p) { return otherSideSwatch(pick(p, Label5, Label6).tag()); },
             [&](int p, std::string v) { pick(p, Label5, Label6).setTag(v); });
    exchange([&](int p) { return app::Setting{otherSideSwatch(pick(p, settings.Player1Color, settings.Player2Color).text), ""}; },
             [&](int p, app::Setting v) { pick(p, settings.Player1Color, settings.Player2Color) = std::move(v); });
    exchange([&](int p) { return std::pair(pick(p, menu.SC1, menu.SC2).backColor(), pick(p, menu.SC1, menu.SC2).caption()); },
             [&](int p, const std::pair<ui::Color, std::string>& v) {
                 pick(p, menu.SC1, menu.SC2).setBackColor(v.first);
                 pick(p, menu.SC1, menu.SC2).setCaption(v.second);
             });

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
    const auto portrait1 = I1.picture();
    I1.setPicture(I2.picture());
    I2.setPicture(portrait1);
    exchangeVisibility(I1, I2);
    std::swap(gennum1, gennum2);
    const std::string set1 = Label4.caption();
    if (set1 != Label5.caption()) {
        Label4.setCaption(Label5.caption());
        Label5.setCaption(set1);
        menu.fillThumbnails();
    }
}

}  // namespace quorvel::table
