// A roster player on the table: the name in the roster's spelling, then the country, the
// colour and the portrait, each through the way the operator would set it by hand.
#include "program/program.h"
#include "day/roster.h"
#include "control/control_menu.h"
#include "table/score_table.h"
#include "ui/error.h"

namespace quorvel::control {

void ControlMenu::applyRosterPlayer(int player, const day::RosterPlayer& entry) {
    auto& table = program_.table();
    nameBox(player).setText(entry.name);
    table.playerName(player).setCaption(entry.name);
    // A new player never keeps the last player's country: without one of the roster's,
    // or with one the list in force cannot tell (which is told), the player has none.
    bool placed = false;
    if (entry.country) {
        try {
            ui::ComboBox& list = table.countryList(player);
            const int place = day::rosterCountryPlace(platform(), platform().programFolder(), program_.roster(), entry,
                                                      table.countryLanguage, list.items());
            if (place < list.listCount()) {
                list.setListIndex(place);
                placed = true;
            }
        } catch (const Error& error) {
            program_.tell(error);
        }
    }
    if (!placed) table.clearCountry(player);
    if (entry.colour) {
        const int swatch = day::swatchOnSide(*entry.colour, player);
        if (swatch >= 0) pickColour(swatch);
    }
    if (entry.portrait) {
        ui::Label& set = table.portraitSet(player);
        if (set.caption() != entry.portrait->set) choosePortraitSet(set, entry.portrait->set.c_str());
        showPortrait(table.portrait(player), set, entry.portrait->number);
    }
}

// No name is a roster name before a new table's first: every roster player is applied.
void ControlMenu::applyRosterNames() { applyRosterChanges({}, {}); }

void ControlMenu::applyRosterChanges(const std::string& before1, const std::string& before2) {
    const day::Roster& roster = program_.roster();
    auto& table = program_.table();
    for (const int player : {1, 2}) {
        ui::Label& name = table.playerName(player);
        const day::RosterPlayer* entry = roster.find(name.caption());
        if (!entry) continue;
        if (entry != roster.find(player == 1 ? before1 : before2)) {
            applyRosterPlayer(player, *entry);
            continue;
        }
        nameBox(player).setText(entry->name);
        name.setCaption(entry->name);
    }
}

}  // namespace quorvel::control
