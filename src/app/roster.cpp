#include "app/roster.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "app/csv_table.h"
#include "app/readers.h"
#include "control/palette.h"
#include "ui/error.h"
#include "ui/text.h"

namespace quorvel::app {

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
    players_.push_back(std::move(player));
    folded_.push_back(std::move(folded));
    slots_[slot] = static_cast<std::uint32_t>(players_.size());
    return std::nullopt;
}

const RosterPlayer* Roster::find(std::string_view name) const {
    if (slots_.empty()) return nullptr;
    const std::size_t slot = slotOf(ui::foldCase(name));
    return slots_[slot] == 0 ? nullptr : &players_[slots_[slot] - 1];
}

const char* rosterColourName(int colour) { return control::kPalette.at(static_cast<std::size_t>(colour)).name; }

namespace {

enum Column { kName, kCountry, kColour, kPortrait, kColumns };
constexpr std::array<std::string_view, kColumns> kColumnNames = {"name", "country", "colour", "portrait"};
constexpr std::array<const char*, 3> kPortraitSets = {"Origin\\", "P1\\", "P2\\"};
constexpr int kLastPortrait = 12;

class RosterReader {
public:
    RosterReader(ui::Platform& platform, const std::string& path, const std::vector<std::string>& languages,
                 const std::string& programFolder)
        : platform_(platform), table_(platform, path, kColumnNames, 1), languages_(languages), folder_(programFolder) {}

    Roster read() {
        Roster roster;
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
        if (player.name.find_first_not_of(" \t") == std::string::npos) fail("the name is empty", player.name);
        player.countryText = field(kCountry);
        player.colourText = field(kColour);
        player.portraitText = field(kPortrait);
        if (!player.countryText.empty()) player.country = country(player.countryText);
        if (!player.colourText.empty()) player.colour = colour(player.colourText);
        if (!player.portraitText.empty()) player.portrait = portrait(player.portraitText);
        return player;
    }

    RosterCountry country(const std::string& text) {
        if (!countriesRead_) readCountries();
        const auto found = countries_.find(ui::foldCase(text));
        if (found == countries_.end()) fail("no country file names this country", text);
        return found->second;
    }

    // Every country of every language whose country file is present; a name that several
    // files hold is taken from the first language that has it.
    void readCountries() {
        countriesRead_ = true;
        for (const auto& language : languages_) {
            const std::string path = folder_ + "\\C_" + language + ".dat";
            if (!platform_.fileExists(path)) continue;
            const auto names = readWordList(platform_, path, kMaxCountries);
            for (std::size_t i = 0; i < names.size(); ++i)
                countries_.emplace(ui::foldCase(names[i]), RosterCountry{language, static_cast<int>(i)});
        }
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
            const bool digits = !number.empty() && number.size() <= 2 &&
                                std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
            const int value = digits ? std::stoi(std::string(number)) : kLastPortrait + 1;
            if (value > kLastPortrait) fail("the portrait's number is not one from 0 to 12", text);
            return {set, value};
        }
        fail("the portrait is not a set and a number such as P1/7, P2/12 or Origin/0", text);
    }

    ui::Platform& platform_;
    CsvTable table_;
    const std::vector<std::string>& languages_;
    const std::string& folder_;
    std::array<std::string, kRosterColours> foldedColours_ = [] {
        std::array<std::string, kRosterColours> names;
        for (int i = 0; i < kRosterColours; ++i) names[static_cast<std::size_t>(i)] = ui::foldCase(rosterColourName(i));
        return names;
    }();
    bool countriesRead_ = false;
    std::unordered_map<std::string, RosterCountry> countries_;
};

}  // namespace

Roster readRoster(ui::Platform& platform, const std::string& path, const std::vector<std::string>& languages,
                  const std::string& programFolder) {
    if (!platform.fileExists(path)) return {};
    return RosterReader(platform, path, languages, programFolder).read();
}

}  // namespace quorvel::app
