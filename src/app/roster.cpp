#include "app/roster.h"

#include <algorithm>
#include <array>

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
constexpr std::string_view kAmericanColour = "color";  // read as "colour"
constexpr std::array<const char*, 3> kPortraitSets = {"Origin\\", "P1\\", "P2\\"};
constexpr int kLastPortrait = 12;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// "<file>, line <n>: <why> (the value "<value>")", as every refusal of the roster reads.
std::string lineMessage(const std::string& file, std::size_t line, const std::string& why, std::string_view value) {
    return file + ", line " + std::to_string(line) + ": " + why + " (the value \"" + std::string(value) + "\")";
}

class RosterReader {
public:
    RosterReader(ui::Platform& platform, const std::string& path, const RosterCountries& countries)
        : platform_(platform), path_(path), countries_(countries) {}

    Roster read() {
        const std::string text = readText(platform_, path_);
        const auto lines = ui::lineViews(text);
        if (lines.empty()) throw Error(path_ + ", line 1: the file has no header line naming its columns");
        readHeader(lines[0]);
        Roster roster;
        roster.setFile(path_);
        roster.reserve(std::min<std::size_t>(lines.size(), kMaxRosterPlayers));
        std::vector<std::size_t> lineOf;  // of each player
        lineOf.reserve(lines.size());
        for (std::size_t i = 1; i < lines.size(); ++i) {
            line_ = i + 1;
            split(lines[i]);
            bool blank = true;
            for (std::size_t f = 0; f < count_; ++f) blank = blank && fields_[f].empty();
            if (blank) continue;  // an empty row of a spreadsheet
            if (roster.players().size() == kMaxRosterPlayers)
                fail("the roster holds at most " + std::to_string(kMaxRosterPlayers) + " players", field(kName));
            RosterPlayer player = readPlayer();
            const std::string name = player.name;
            if (const auto other = roster.add(std::move(player)))
                fail("the name is already on line " + std::to_string(lineOf[*other]), name);
            lineOf.push_back(line_);
        }
        return roster;
    }

private:
    [[noreturn]] void fail(const std::string& why, std::string_view value) const {
        throw Error(lineMessage(path_, line_, why, value));
    }

    // The fields of `line`, separated by the header's separator; a field in double quotes
    // may hold separators, and a doubled quote inside it stands for one quote.
    // Fields lose the blanks around them, inside the quotes too. The fields' storage is kept
    // from line to line.
    void split(std::string_view line) {
        count_ = 0;
        std::size_t i = 0;
        for (;;) {
            if (count_ == fields_.size()) fields_.emplace_back();
            std::string& field = fields_[count_++];
            field.clear();
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
            if (i < line.size() && line[i] == '"') {
                // Quoted: up to the closing quote, a doubled quote standing for one; then
                // whatever stands before the next separator is kept after it.
                bool closed = false;
                for (++i; i < line.size(); ++i) {
                    if (line[i] != '"') {
                        field += line[i];
                    } else if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        ++i;
                    } else {
                        closed = true;
                        ++i;
                        break;
                    }
                }
                if (!closed) fail("a field's quote is not closed", line);
                const std::size_t end = std::min(line.find(separator_, i), line.size());
                field += line.substr(i, end - i);
                const std::string_view kept = trimmed(field);
                field.erase(static_cast<std::size_t>(kept.data() + kept.size() - field.data()));
                field.erase(0, static_cast<std::size_t>(kept.data() - field.data()));
                i = end;
            } else {
                const std::size_t end = std::min(line.find(separator_, i), line.size());
                field.assign(trimmed(line.substr(i, end - i)));
                i = end;
            }
            if (i >= line.size()) return;
            ++i;  // the separator
        }
    }

    void readHeader(std::string_view header) {
        line_ = 1;
        // The separator is the first comma or semicolon outside quotes.
        bool quoted = false;
        for (char c : header) {
            if (c == '"') quoted = !quoted;
            if (!quoted && (c == ',' || c == ';')) {
                separator_ = c;
                break;
            }
        }
        split(header);
        columns_.fill(-1);
        for (std::size_t i = 0; i < count_; ++i) {
            std::string name = ui::foldCase(trimmed(fields_[i]));
            if (name == kAmericanColour) name = kColumnNames[kColour];
            for (int c = 0; c < kColumns; ++c) {
                if (name != kColumnNames[static_cast<std::size_t>(c)]) continue;
                if (columns_[static_cast<std::size_t>(c)] >= 0) fail("the column is named twice", fields_[i]);
                columns_[static_cast<std::size_t>(c)] = static_cast<int>(i);
            }
        }
        if (columns_[kName] < 0)
            fail("the header line names no column \"name\" (the columns are name, country, colour and portrait)",
                 header);
    }

    std::string field(Column column) const {
        const int at = columns_[static_cast<std::size_t>(column)];
        return at >= 0 && static_cast<std::size_t>(at) < count_ ? fields_[static_cast<std::size_t>(at)] : "";
    }

    RosterPlayer readPlayer() {
        RosterPlayer player;
        player.name = field(kName);
        if (trimmed(player.name).empty()) fail("the name is empty", player.name);
        player.countryText = field(kCountry);
        player.colourText = field(kColour);
        player.portraitText = field(kPortrait);
        player.line = line_;
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
            const bool digits = !number.empty() && number.size() <= 2 &&
                                std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
            const int value = digits ? std::stoi(std::string(number)) : kLastPortrait + 1;
            if (value > kLastPortrait) fail("the portrait's number is not one from 0 to 12", text);
            return {set, value};
        }
        fail("the portrait is not a set and a number such as P1/7, P2/12 or Origin/0", text);
    }

    ui::Platform& platform_;
    const std::string& path_;
    const RosterCountries& countries_;
    char separator_ = ',';
    std::array<int, kColumns> columns_{};
    std::size_t line_ = 1;
    std::vector<std::string> fields_;  // the first count_ are the line's
    std::size_t count_ = 0;
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
            countries.emplace(ui::foldCase(names[i]), RosterCountry{language, static_cast<int>(i)});
    }
    return countries;
}

Roster readRoster(ui::Platform& platform, const std::string& path, const RosterCountries& countries) {
    if (!platform.fileExists(path)) return {};
    return RosterReader(platform, path, countries).read();
}

int rosterCountryPlace(ui::Platform& platform, const std::string& programFolder, const Roster& roster,
                       const RosterPlayer& player, const std::string& language, const std::vector<std::string>& list) {
    const RosterCountry& country = *player.country;
    const std::string folded = ui::foldCase(player.countryText);
    const auto named = placesWhere(list, [&](std::size_t i) { return ui::foldCase(list[i]) == folded; });
    if (!named.empty()) return static_cast<int>(named.front());

    // The country as the file that names it has it: its flag and its code.
    const auto names = readWordList(platform, countryFile(programFolder, country.language, ".dat"), kMaxCountries);
    const auto place = static_cast<std::size_t>(country.place);
    std::vector<std::size_t> sameFlag;
    if (place < names.size()) {
        const std::string own = flagPath(programFolder, country.language, names[place]);
        if (platform.fileExists(own)) {
            const std::string picture = platform.readFile(own);
            sameFlag = placesWhere(list, [&](std::size_t i) {
                const std::string path = flagPath(programFolder, language, list[i]);
                return platform.fileExists(path) && platform.readFile(path) == picture;
            });
            if (sameFlag.size() == 1) return static_cast<int>(sameFlag.front());
        }
        const auto ownCodes = countryCodes(platform, programFolder, country.language, names.size());
        const auto codes = countryCodes(platform, programFolder, language, list.size());
        if (!ownCodes.empty() && !codes.empty()) {
            const std::string& code = ownCodes[place];
            const auto sameCode = placesWhere(codes, [&](std::size_t i) { return !code.empty() && codes[i] == code; });
            if (sameCode.size() == 1) return static_cast<int>(sameCode.front());
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
    throw Error(lineMessage(roster.file(), player.line, why, player.countryText));
}

}  // namespace quorvel::app
