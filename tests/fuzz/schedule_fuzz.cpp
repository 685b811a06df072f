// The schedule file: at most 1000 matches, each with both names; or a failure naming the file.
#include "day/match_day.h"
#include "fuzz_support.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = std::string(fuzz::kProgramFolder) + "\\Matches.csv";
    fuzz::FuzzPlatform platform(path, data, size);
    std::vector<day::ScheduledMatch> matches;
    if (!fuzz::readsOrFailsNaming(path, [&] { matches = day::readSchedule(platform, path); })) return 0;
    fuzz::require(matches.size() <= day::kMaxMatches, "more matches than the bound");
    for (const auto& match : matches) {
        for (const std::string* name : {&match.player1, &match.player2}) {
            fuzz::require(!name->empty(), "a match without a player's name");
            fuzz::require(name->find_first_of("\r\n") == std::string::npos, "a name across lines");
        }
    }
    return 0;
}
