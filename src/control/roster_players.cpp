// A roster player on the table: the name in the roster's spelling, then the country, the
// colour and the portrait, each through the way the operator would set it by hand.
#include <string_view>

#include "app/app.h"
#include "app/readers.h"
#include "app/roster.h"
#include "control/control_menu.h"
#include "table/score_table.h"
#include "ui/text.h"

namespace quorvel::control {
namespace {

std::string flagPath(app::App& app, const std::string& language, const std::string& country) {
    return app.path("\\pic\\flags\\" + language + "\\" + country + ".gif");
}

// The place of the roster's country in the list the table shows, whose language may not be
// the one of the file that names the country: the entry of the same name; else the entry
// whose flag is the same picture as the country's own (each language's list names the
// same countries, sorted its own way, and every flag is the country's picture); else the
// place the country has in the file that names it.
int countryPlace(app::App& app, const app::RosterPlayer& entry, const ui::ComboBox& list,
                 const std::string& listLanguage) {
    const app::RosterCountry& country = *entry.country;
    if (country.language == listLanguage) return country.place;
    const std::string folded = ui::foldCase(entry.countryText);
    const auto& items = list.items();
    for (std::size_t i = 0; i < items.size(); ++i)
        if (ui::foldCase(items[i]) == folded) return static_cast<int>(i);
    ui::Platform& platform = app.platform();
    const auto names = app::readWordList(platform, app.path("\\C_" + country.language + ".dat"), app::kMaxCountries);
    const std::string own = static_cast<std::size_t>(country.place) < names.size()
                                ? flagPath(app, country.language, names[static_cast<std::size_t>(country.place)])
                                : std::string();
    if (!own.empty() && platform.fileExists(own)) {
        const std::string picture = platform.readFile(own);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::string path = flagPath(app, listLanguage, items[i]);
            if (platform.fileExists(path) && platform.readFile(path) == picture) return static_cast<int>(i);
        }
    }
    return country.place;
}

}  // namespace

void ControlMenu::applyRosterPlayer(int player, const app::RosterPlayer& entry) {
    auto& table = app_.table();
    const bool first = player == 1;
    (first ? Text1 : Text2).setText(entry.name);
    (first ? table.P1 : table.P2).setCaption(entry.name);
    if (entry.country) {
        ui::ComboBox& list = first ? table.Combo1 : table.Combo2;
        const int place = countryPlace(app_, entry, list, table.countryLanguage);
        if (place < list.listCount()) list.setListIndex(place);
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
