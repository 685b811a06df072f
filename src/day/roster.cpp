#include "day/roster.h"

#include <algorithm>
#include <array>

#include "day/csv_table.h"
#include "day/readers.h"
#include "day/palette.h"
#include "ui/error.h"
#include "ui/numtext.h"
#include "ui/text.h"

namespace quorvel::day {

Roster::Roster(std::vector<RosterPlayer> players) {
    reserve(players.size());
    for (auto& player : players) add(std::move(player));
}

std::size_t Roster::slotOf(std::string_view folded) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = std::hash<std::string_view>{}(folded) & mask;
    while (slots_[slot] != 0 && folded_[slots_[slot] - 1] != folded) slot = (slot + 1) & mask;
    return slot;
}

void Roster::rehash(std::size_t slots) {
    slots_.assign(slots, 0);
    for (std::size_t i = 0; i < folded_.size(); ++i) slots_[slotOf(folded_[i])] = static_cast<std::uint32_t>(i + 1);
}

void Roster::reserve(std::size_t players) {
    players_.reserve(players);
    folded_.reserve(players);
    std::size_t slots = 16;
    while (slots < 2 * players) slots *= 2;
    if (slots > slots_.size()) rehash(slots);
}

std::optional<std::size_t> Roster::add(RosterPlayer player) {
    if (2 * (players_.size() + 1) > slots_.size()) reserve(2 * players_.size() + 8);
    std::string folded = ui::foldCase(player.name);
    const std::size_t slot = slotOf(folded);
    if (slots_[slot] != 0) return slots_[slot] - 1;
    if (!player.tag.empty()) tags_.emplace(ui::foldCase(player.tag), players_.size());
    players_.push_back(std::move(player));
    folded_.push_back(std::move(folded));
    slots_[slot] = static_cast<std::uint32_t>(players_.size());
    return std::nullopt;
}

const RosterPlayer* Roster::findOnSite(std::string_view tag) const {
    const auto tagged = tags_.find(ui::foldCase(tag));
    return tagged != tags_.end() ? &players_[tagged->second] : find(tag);
}

const RosterPlayer* Roster::find(std::string_view name) const {
    if (slots_.empty()) return nullptr;
    const std::size_t slot = slotOf(ui::foldCase(name));
    return slots_[slot] == 0 ? nullptr : &players_[slots_[slot] - 1];
}

const char* rosterColourName(int colour) { return day::kPalette.at(static_cast<std::size_t>(colour)).name; }

namespace {

enum Column { kName, kCountry, kColour, kPortrait, kTag, kColumns };
constexpr std::array<std::string_view, kColumns> kColumnNames = {"name", "country", "colour", "portrait", "tag"};
// "color" is read as "colour".
constexpr std::array<CsvAlias, 1> kAliases = {{{"color", kColour}}};
constexpr std::array<const char*, 3> kPortraitSets = {"Origin\\", "P1\\", "P2\\"};
constexpr int kLastPortrait = 12;

class RosterReader {
public:
    RosterReader(ui::Platform& platform, const std::string& path, const RosterCountries& countries)
        : table_(platform, path, kColumnNames, 1, kAliases), countries_(countries) {}

    Roster read() {
        Roster roster;
        roster.setFile(table_.path());
        roster.reserve(std::min<std::size_t>(table_.lineCount(), kMaxRosterPlayers));
        std::vector<std::size_t> lineOf;  // of each player
        lineOf.reserve(table_.lineCount());
        while (table_.next()) {
            if (roster.players().size() == kMaxRosterPlayers)
                fail("the roster holds at most " + std::to_string(kMaxRosterPlayers) + " players", field(kName));
            RosterPlayer player = readPlayer();
            const std::string name = player.name;
            if (const auto other = roster.add(std::move(player)))
                fail("the name is already on line " + std::to_string(lineOf[*other]), name);
            lineOf.push_back(table_.line());
        }
        return roster;
    }

private:
    [[noreturn]] void fail(const std::string& why, std::string_view value) const { table_.fail(why, value); }
    const std::string& field(Column column) const { return table_.field(column); }

    RosterPlayer readPlayer() {
        RosterPlayer player;
        player.name = field(kName);
        if (player.name.empty()) fail("the name is empty", player.name);
        player.countryText = field(kCountry);
        player.colourText = field(kColour);
        player.portraitText = field(kPortrait);
        player.tag = field(kTag);
        player.line = table_.line();
        if (!player.countryText.empty()) player.country = country(player.countryText);
        if (!player.colourText.empty()) player.colour = colour(player.colourText);
        if (!player.portraitText.empty()) player.portrait = portrait(player.portraitText);
        return player;
    }

    RosterCountry country(const std::string& text) const {
        const auto found = countries_.find(ui::foldCase(text));
        if (found == countries_.end()) fail("no country file names this country", text);
        return found->second;
    }

    int colour(const std::string& text) const {
        const std::string folded = ui::foldCase(text);
        for (int i = 0; i < kRosterColours; ++i)
            if (folded == foldedColours_[static_cast<std::size_t>(i)]) return i;
        fail("no palette colour has this name (Gold, Red, Blue, Green, Orange, SkyBlue, Purple, Pink, Dark, White)",
             text);
    }

    RosterPortrait portrait(const std::string& text) const {
        const auto slash = text.find_first_of("/\\");
        const std::string folded = ui::foldCase(text.substr(0, slash == std::string::npos ? 0 : slash));
        const std::string_view number = slash == std::string::npos ? "" : std::string_view(text).substr(slash + 1);
        for (const char* set : kPortraitSets) {
            const std::string_view name(set, std::string_view(set).size() - 1);
            if (folded != ui::foldCase(name)) continue;
            const int value = ui::parseDigits(number, 2).value_or(kLastPortrait + 1);
            if (value > kLastPortrait) fail("the portrait's number is not one from 0 to 12", text);
            return {set, value};
        }
        fail("the portrait is not a set and a number such as P1/7, P2/12 or Origin/0", text);
    }

    CsvTable table_;
    const RosterCountries& countries_;
    std::array<std::string, kRosterColours> foldedColours_ = [] {
        std::array<std::string, kRosterColours> names;
        for (int i = 0; i < kRosterColours; ++i) names[static_cast<std::size_t>(i)] = ui::foldCase(rosterColourName(i));
        return names;
    }();
};

std::string countryFile(const std::string& folder, const std::string& language, const char* extension) {
    return folder + "\\C_" + language + extension;
}

std::string flagPath(const std::string& folder, const std::string& language, const std::string& country) {
    return folder + "\\pic\\flags\\" + language + "\\" + country + ".gif";
}

// The country code of each line of the country file of `language` (which has `count`
// lines), or none when the folder has no code file for it or one whose lines do not pair
// with the country file's: a folder of an earlier release, or a list the operator edited.
std::vector<std::string> countryCodes(ui::Platform& platform, const std::string& folder, const std::string& language,
                                      std::size_t count) {
    const std::string path = countryFile(folder, language, ".codes");
    if (!platform.fileExists(path)) return {};
    auto codes = readWordList(platform, path, kMaxCountries);
    if (codes.size() != count) codes.clear();
    return codes;
}

// The places in `list` of the entries that `matches`.
template <class Matches>
std::vector<std::size_t> placesWhere(const std::vector<std::string>& list, Matches matches) {
    std::vector<std::size_t> places;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (matches(i)) places.push_back(i);
    return places;
}

}  // namespace

RosterCountries readRosterCountries(ui::Platform& platform, const std::vector<std::string>& languages,
                                    const std::string& programFolder) {
    RosterCountries countries;
    for (const auto& language : languages) {
        const std::string path = countryFile(programFolder, language, ".dat");
        if (!platform.fileExists(path)) continue;
        const auto names = readWordList(platform, path, kMaxCountries);
        for (std::size_t i = 0; i < names.size(); ++i)
            countries.emplace(ui::foldCase(names[i]), RosterCountry{language, static_cast<int>(i), names[i]});
    }
    return countries;
}

Roster readRoster(ui::Platform& platform, const std::string& path, const RosterCountries& countries) {
    if (!platform.fileExists(path)) return {};
    return RosterReader(platform, path, countries).read();
}

namespace {

// rosterCountryPlace for a country the list does not name: by its code, then by its flag.
int countryPlaceByFiles(ui::Platform& platform, const std::string& programFolder, const Roster& roster,
                        const RosterPlayer& player, const std::string& language, const std::vector<std::string>& list) {
    const RosterCountry& country = *player.country;

    // The country as the file that names it has it: its code, then its flag. The codes are two
    // small files; the flags are a picture for each country of the list, read only where the
    // folder has no codes or they cannot tell.
    const auto names = readWordList(platform, countryFile(programFolder, country.language, ".dat"), kMaxCountries);
    const auto place = static_cast<std::size_t>(country.place);
    std::vector<std::size_t> sameFlag;
    if (place < names.size()) {
        const auto ownCodes = countryCodes(platform, programFolder, country.language, names.size());
        const auto codes = countryCodes(platform, programFolder, language, list.size());
        if (!ownCodes.empty() && !codes.empty()) {
            const std::string& code = ownCodes[place];
            const auto sameCode = placesWhere(codes, [&](std::size_t i) { return !code.empty() && codes[i] == code; });
            if (sameCode.size() == 1) return static_cast<int>(sameCode.front());
        }
        const std::string own = flagPath(programFolder, country.language, names[place]);
        if (platform.fileExists(own)) {
            const std::string picture = platform.readFile(own);
            sameFlag = placesWhere(list, [&](std::size_t i) {
                const std::string path = flagPath(programFolder, language, list[i]);
                return platform.fileExists(path) && platform.readFile(path) == picture;
            });
            if (sameFlag.size() == 1) return static_cast<int>(sameFlag.front());
        }
    }

    std::string why = "the " + language + " country list (" + countryFile(programFolder, language, ".dat") +
                      ") has no country of this name, and ";
    if (sameFlag.size() > 1) {
        why += "its flag is that of " + std::to_string(sameFlag.size()) +
               " countries there: write the country as that list spells it, one of ";
        for (std::size_t i = 0; i < sameFlag.size(); ++i) why += (i == 0 ? "" : ", ") + list[sameFlag[i]];
    } else {
        why += "nothing tells which of its countries it is: write the country as that list spells it";
    }
    throw Error(csvLineMessage(roster.file(), player.line, why, player.countryText), roster.file(), player.line);
}

}  // namespace

int rosterCountryPlace(ui::Platform& platform, const std::string& programFolder, const Roster& roster,
                       const RosterPlayer& player, const std::string& language, const std::vector<std::string>& list) {
    // By the player's line and country: the players a bracket site adds have no line.
    const std::string folded = ui::foldCase(player.countryText);
    const std::string key =
        std::to_string(player.line) + '\n' + folded + '\n' + language + '\n' + std::to_string(list.size());
    auto& found = roster.foundCountries();
    if (const auto it = found.find(key); it != found.end()) {
        if (const int* place = std::get_if<int>(&it->second)) return *place;
        throw std::get<Error>(it->second);
    }
    const auto named = placesWhere(list, [&](std::size_t i) { return ui::foldCase(list[i]) == folded; });
    try {
        return std::get<int>(found[key] = named.empty()
                                              ? countryPlaceByFiles(platform, programFolder, roster, player, language, list)
                                              : static_cast<int>(named.front()));
    } catch (const Error& refusal) {
        found.insert_or_assign(key, refusal);
        throw;
    }
}

}  // namespace quorvel::day
