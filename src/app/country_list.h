#pragma once
// The country-list loader that "GO!!!" runs: fills the score table's two country lists
// with the countries of the chosen language, selects each player's saved country (which
// loads its flag), shows the two country names and colours the two main colour bars from
// the start dialog's colour strips.

#include <string>

namespace quorvel::ui {
class ComboBox;
}

namespace quorvel::app {

class App;

void loadCountryList(App& app);

// Reads the country file of the language in force into the country list, from index 0
// upwards, appending each name to the score table's two lists, and tells the table the
// language its lists are in. Returns the number of countries and the file's path.
struct CountryFile {
    std::string path;
    int count;
};
CountryFile fillCountryLists(App& app);

}  // namespace quorvel::app
