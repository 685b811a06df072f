#pragma once
// The roster: the players the operator keeps in Players.csv in the program folder, each
// with the country, colour and portrait to show with the name. The file is optional and
// read by the start dialog's load with the other files (release 0.99). A name is found
// whatever its case; the roster's own spelling is the one shown.
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <string_view>
#include <cstdint>
#include <vector>

#include "ui/error.h"
#include "ui/platform.h"

namespace quorvel::day {

constexpr int kMaxRosterPlayers = 10000;
constexpr int kRosterColours = 10;  // Gold to White: player 1's half of the palette, in order

// A country as one of the country files writes it (the player's countryText, apart from
// case): the language of the first file that holds the name (in the order of the language
// list), its place in that file and its name as the file spells it (its flag's name).
struct RosterCountry {
    std::string language;
    int place = 0;
    std::string name;
};

struct RosterPortrait {
    std::string set;  // "Origin\", "P1\" or "P2\", as the portrait holders name sets
    int number = 0;   // 0 to 12
};

struct RosterPlayer {
    std::string name;  // as the table shows it
    // Resolved values; empty when the file leaves the field empty.
    std::optional<RosterCountry> country;
    std::optional<int> colour;  // 0 (Gold) to 9 (White), the palette's order of names
    std::optional<RosterPortrait> portrait;
    // The fields as the file gives them (empty when empty).
    std::string countryText;
    std::string colourText;
    std::string portraitText;
    // The player's name on a bracket site, when it differs from `name` (empty when not).
    std::string tag;
    std::size_t line = 0;  // of the file, from 1
};

class Roster {
public:
    Roster() = default;
    // The players in order; a name that comes again (apart from case) is left out.
    explicit Roster(std::vector<RosterPlayer> players);
    // Adds the player at the end, unless a player of the same name apart from case is
    // there already: then nothing changes and that player's position comes back.
    std::optional<std::size_t> add(RosterPlayer player);
    void reserve(std::size_t players);

    // In the file's order.
    const std::vector<RosterPlayer>& players() const { return players_; }
    // ui::foldCase of each name, in the same order.
    const std::vector<std::string>& foldedNames() const { return folded_; }
    bool empty() const { return players_.empty(); }
    // The player whose name is exactly `name` apart from case, or nullptr.
    const RosterPlayer* find(std::string_view name) const;
    // The player a bracket site names `tag`: the one of that tag apart from case (the
    // first), else the one of that name; nullptr when the roster does not know them.
    const RosterPlayer* findOnSite(std::string_view tag) const;
    // The file the roster was read from, for messages about its lines.
    const std::string& file() const { return file_; }
    void setFile(std::string file) { file_ = std::move(file); }
    // What rosterCountryPlace found for each player's country in another language's list
    // (its place, or the refusal), kept for the roster's life: the country and code files it
    // reads are read once a load of the files, not once a player is set up.
    std::unordered_map<std::string, std::variant<int, Error>>& foundCountries() const { return foundCountries_; }

private:
    // The slot of `folded` in the open hash table: the one holding it, or the empty one
    // where it would go.
    std::size_t slotOf(std::string_view folded) const;
    void rehash(std::size_t slots);

    std::vector<RosterPlayer> players_;
    std::vector<std::string> folded_;
    // Position + 1 of the player whose folded name hashes there; 0 for none. A power of two
    // in size, at most half full.
    std::vector<std::uint32_t> slots_;
    std::unordered_map<std::string, std::size_t> tags_;  // folded tag: the first player of it
    std::string file_;
    mutable std::unordered_map<std::string, std::variant<int, Error>> foundCountries_;
};

// The colour name of palette index `colour` (0 to 9).
const char* rosterColourName(int colour);

// Every country of the country files (C_<language>.dat in the program folder) of
// `languages` that are present, by its name apart from case; a name that several files
// hold is taken from the first language that has it. These are the program's own files:
// one that breaks their rules throws quorvel::Error naming it.
using RosterCountries = std::unordered_map<std::string, RosterCountry>;
RosterCountries readRosterCountries(ui::Platform& platform, const std::vector<std::string>& languages,
                                    const std::string& programFolder);

// Reads the roster at `path`: an empty roster when there is no such file. The country
// column is looked up in `countries`. Throws quorvel::Error naming the file, the line and
// the value of the first field that breaks the file's rules.
Roster readRoster(ui::Platform& platform, const std::string& path, const RosterCountries& countries);

// The place of the player's country in the country list of `language`, whose entries are
// `list`: the entry of the same name apart from case; else the one entry of the same country
// code, where both languages have a code file (C_<language>.codes: the ISO 3166-1 code of
// each line of the country file, which the shipped folder has); else the one entry whose
// flag is the same picture as the country's own flag. Where none tells the country,
// throws quorvel::Error naming the roster file, the player's line and the value and saying
// how that list spells it: the program never shows another country in its place.
int rosterCountryPlace(ui::Platform& platform, const std::string& programFolder, const Roster& roster,
                       const RosterPlayer& player, const std::string& language, const std::vector<std::string>& list);

}  // namespace quorvel::day
