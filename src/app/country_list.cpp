#include "app/country_list.h"

#include "app/app.h"
#include "app/readers.h"
#include "start/start_dialog.h"
#include "table/score_table.h"

namespace quorvel::app {

CountryFile fillCountryLists(App& app) {
    table::ScoreTable& table = app.table();
    ui::ComboBox& list1 = table.Combo1;
    ui::ComboBox& list2 = table.Combo2;
    const std::string& language = app.settings().Language.text;
    const std::string path = app.path("\\C_" + language + ".dat");
    const auto names = readWordList(app.platform(), path, kMaxCountries);
    auto& countries = app.countries();
    if (countries.size() < names.size()) countries.resize(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        countries[i] = names[i];
        list1.addItem(names[i]);
        list2.addItem(names[i]);
    }
    table.countryLanguage = language;
    return {path, static_cast<int>(names.size())};
}

void loadCountryList(App& app) {
    Settings& settings = app.settings();
    start::StartDialog& dialog = app.startDialog();
    table::ScoreTable& table = app.table();

    settings.Language.text = dialog.Combo1.text();
    table.Language1.setCaption(settings.Language.text);
    table.Combo1.clear();
    table.Combo2.clear();

    const int last = fillCountryLists(app).count - 1;
    const auto& countries = app.countries();
    const int country1 = settingInteger(settings.Player1Country, "player 1 country", 0, last);
    table.Combo1.setListIndex(country1);
    const int country2 = settingInteger(settings.Player2Country, "player 2 country", 0, last);
    table.Combo2.setListIndex(country2);
    table.LiveP1.setCaption(countries[static_cast<std::size_t>(table.Combo1.listIndex())]);
    table.LiveP2.setCaption(countries[static_cast<std::size_t>(table.Combo2.listIndex())]);

    table.SC1.setFillColor(dialog.Color1.backColor());
    table.SC2.setFillColor(dialog.Color2.backColor());
}

}  // namespace quorvel::app
