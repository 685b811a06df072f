// A roster player on the table: the name in the roster's spelling, then the country, the
// colour and the portrait, each through the way the operator would set it by hand.
#include "app/app.h"
#include "app/roster.h"
#include "control/control_menu.h"
#include "table/score_table.h"
#include "ui/error.h"

namespace quorvel::control {

void ControlMenu::applyRosterPlayer(int player, const app::RosterPlayer& entry) {
    auto& table = app_.table();
    const bool first = player == 1;
    (first ? Text1 : Text2).setText(entry.name);
    (first ? table.P1 : table.P2).setCaption(entry.name);
    if (entry.country) {
        // A country the list in force cannot tell is told to the operator, and the table
        // keeps the country it shows: never another country in its place.
        try {
            ui::ComboBox& list = first ? table.Combo1 : table.Combo2;
            const int place = app::rosterCountryPlace(platform(), platform().programFolder(), app_.roster(), entry,
                                                      table.countryLanguage, list.items());
            if (place < list.listCount()) list.setListIndex(place);
        } catch (const Error& error) {
            platform().messageBox(error.what(), app_.title());
        }
    }
    if (entry.colour) {
        const int swatch = swatchOnSide(*entry.colour, player);
        if (swatch >= 0) inputControlClicked(C1(swatch));
    }
    if (entry.portrait) {
        ui::Label& holder = first ? table.Label4 : table.Label5;
        if (holder.caption() != entry.portrait->set) choosePortraitSet(holder, entry.portrait->set.c_str());
        showPortrait(first ? table.I1 : table.I2, holder, entry.portrait->number);
    }
}

// No name is a roster name before a new table's first: every roster player is applied.
void ControlMenu::applyRosterNames() { applyRosterChanges({}, {}); }

void ControlMenu::applyRosterChanges(const std::string& before1, const std::string& before2) {
    const app::Roster& roster = app_.roster();
    auto& table = app_.table();
    for (const int player : {1, 2}) {
        ui::Label& name = player == 1 ? table.P1 : table.P2;
        const app::RosterPlayer* entry = roster.find(name.caption());
        if (!entry) continue;
        if (entry != roster.find(player == 1 ? before1 : before2)) {
            applyRosterPlayer(player, *entry);
            continue;
        }
        (player == 1 ? Text1 : Text2).setText(entry->name);
        name.setCaption(entry->name);
    }
}

}  // namespace quorvel::control
