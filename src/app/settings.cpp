#include "app/settings.h"

#include <cmath>

#include "ui/error.h"
#include "ui/numtext.h"

namespace quorvel::app {

Setting& Settings::line(int line) {
    Setting* fields[kLineCount] = {&Language,       &Player1Name,     &Player2Name,     &Player1Color, &Player2Color,
                                   &Player1Country, &Player2Country,  &BestOf,          &Reserved,     &Player1NameFile,
                                   &Player2NameFile, &TableBackColor, &TableBorderStyle};
    if (line < 1 || line > kLineCount) throw Error("There is no settings line " + std::to_string(line));
    return *fields[line - 1];
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

}  // namespace quorvel::app
