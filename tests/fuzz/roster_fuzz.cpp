// The roster file: a roster whose every player has a name found again whatever its case,
// and only values the table can show; or a failure naming the file.
#include "day/roster.h"
#include "fuzz_support.h"
#include "ui/text.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string folder = fuzz::kProgramFolder;
    const std::string path = folder + "\\Players.csv";
    fuzz::FuzzPlatform platform(path, data, size);
    platform.addFile(folder + "\\C_English.dat", "Sweden\r\nJapan\r\nCanada\r\n");
    platform.addFile(folder + "\\C_Russian.dat", "Швеция\r\nЯпония\r\n");
    const std::vector<std::string> languages = {"Russian", "English", "German"};
    const auto countries = day::readRosterCountries(platform, languages, folder);
    day::Roster roster;
    if (!fuzz::readsOrFailsNaming(path, [&] { roster = day::readRoster(platform, path, countries); }))
        return 0;
    const auto& players = roster.players();
    fuzz::require(players.size() <= day::kMaxRosterPlayers, "more players than the bound");
    for (const auto& player : players) {
        fuzz::require(!player.name.empty(), "a player without a name");
        fuzz::require(roster.find(ui::foldCase(player.name)) == &player, "a name is not found again");
        fuzz::require(!player.colour || (*player.colour >= 0 && *player.colour < day::kRosterColours),
                      "a colour off the palette");
        fuzz::require(!player.portrait || (player.portrait->number >= 0 && player.portrait->number <= 12),
                      "a portrait number outside 0 to 12");
        fuzz::require(player.country.has_value() == !player.countryText.empty(), "a country given but not resolved");
    }
    return 0;
}
