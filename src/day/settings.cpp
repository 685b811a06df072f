#include "day/settings.h"

#include <cmath>

#include "ui/error.h"
#include "ui/numtext.h"

namespace quorvel::day {

Setting& Settings::line(int line) {
    static constexpr Setting Settings::*kFields[kLineCount] = {
        &Settings::Language,       &Settings::Player1Name,     &Settings::Player2Name,    &Settings::Player1Color,
        &Settings::Player2Color,   &Settings::Player1Country,  &Settings::Player2Country, &Settings::BestOf,
        &Settings::Reserved,       &Settings::Player1NameFile, &Settings::Player2NameFile, &Settings::TableBackColor,
        &Settings::TableBorderStyle};
    if (line < 1 || line > kLineCount) throw Error("There is no settings line " + std::to_string(line));
    return this->*kFields[line - 1];
}

namespace {

std::string describe(const Setting& setting, const std::string& what) {
    std::string where = setting.origin.empty() ? what : setting.origin + " (" + what + ")";
    return where;
}

}  // namespace

double settingNumber(const Setting& setting, const std::string& what) {
    const auto value = ui::parseNumber(setting.text);
    if (!value) throw Error(describe(setting, what) + ": \"" + setting.text + "\" is not a number");
    return *value;
}

int settingInteger(const Setting& setting, const std::string& what, int low, int high) {
    const double value = settingNumber(setting, what);
    if (value != std::floor(value))
        throw Error(describe(setting, what) + ": " + setting.text + " is not a whole number");
    const auto whole = ui::toInt(value);
    if (!whole || *whole < low || *whole > high)
        throw Error(describe(setting, what) + ": " + setting.text + " is outside " + std::to_string(low) + " to " +
                    std::to_string(high));
    return *whole;
}

}  // namespace quorvel::day
