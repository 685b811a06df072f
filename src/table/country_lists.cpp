// The table's two country lists: filled from the country file of the language in force,
// and at "GO!!!" set to each player's saved country, which loads its flag.
#include "day/readers.h"
#include "program/program.h"
#include "table/score_table.h"

namespace quorvel::table {

ScoreTable::CountryFile ScoreTable::fillCountryLists() {
    const std::string& language = program_.settings().Language.text;
    const std::string path = program_.path("\\C_" + language + ".dat");
    const auto names = day::readWordList(platform(), path, day::kMaxCountries);
    auto& countries = program_.countries();
    if (countries.size() < names.size()) countries.resize(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        countries[i] = names[i];
        Combo1.addItem(names[i]);
        Combo2.addItem(names[i]);
    }
    countryLanguage = language;
    return {path, static_cast<int>(names.size())};
}

void ScoreTable::loadCountryList(const std::string& language, ui::Color colour1, ui::Color colour2) {
    day::Settings& settings = program_.settings();
    settings.Language.text = language;
    Language1.setCaption(settings.Language.text);
    Combo1.clear();
    Combo2.clear();

    const int last = fillCountryLists().count - 1;
    const auto& countries = program_.countries();
    const int country1 = day::settingInteger(settings.Player1Country, "player 1 country", 0, last);
    Combo1.setListIndex(country1);
    const int country2 = day::settingInteger(settings.Player2Country, "player 2 country", 0, last);
    Combo2.setListIndex(country2);
    LiveP1.setCaption(countries[static_cast<std::size_t>(Combo1.listIndex())]);
    LiveP2.setCaption(countries[static_cast<std::size_t>(Combo2.listIndex())]);

    SC1.setFillColor(colour1);
    SC2.setFillColor(colour2);
}

}  // namespace quorvel::table
