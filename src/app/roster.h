#pragma once
// The roster: the players the operator keeps in Players.csv in the program folder, each
// with the country, colour and portrait to show with the name. The file is optional and
// read by the start dialog's load with the other files (release 0.99). A name is found
// whatever its case; the roster's own spelling is the one shown.
#include <optional>
#include <string>
#include <string_view>
#include <cstdint>
#include <vector>

#include "ui/platform.h"

namespace quorvel::app {

constexpr int kMaxRosterPlayers = 10000;
constexpr int kRosterColours = 10;  // Gold to White: player 1's half of the palette, in order

// A country as one of the country files writes it (the player's countryText, apart from
// case): the language of the first file that holds the name (in the order of the language
// list) and its place in that file.
struct RosterCountry {
    std::string language;
    int place = 0;
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
};

class Roster {
public:
    Roster() = default;
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
};

// The colour name of palette index `colour` (0 to 9).
const char* rosterColourName(int colour);

// Reads the roster at `path`: an empty roster when there is no such file. `languages` are
// the language list's names; each one's country file (C_<language>.dat in the program
// folder) is consulted for the country column. Throws quorvel::Error naming the file, the
// line and the value of the first field that breaks the file's rules.
Roster readRoster(ui::Platform& platform, const std::string& path, const std::vector<std::string>& languages,
                  const std::string& programFolder);

}  // namespace quorvel::app
