// The results file: never a failure, only rows that keep the rules (a match from 1, or 0 for
// a match of no schedule, whose field is empty; scores from 0, both names, a time that reads
// back as written), each written again by the program's own writing of a field read back the
// same; damaged rows named in the message.
#include "day/csv_table.h"
#include "day/match_day.h"
#include "fuzz_support.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = std::string(fuzz::kProgramFolder) + "\\Results.csv";
    fuzz::FuzzPlatform platform(path, data, size);
    day::ResultsLog log(platform, path);
    std::string message;
    const auto rows = log.read(message);
    fuzz::require(message.empty() || message.find(path) != std::string::npos, "a message not naming the file");
    for (const auto& row : rows) {
        fuzz::require(row.number >= 0 && row.number <= day::kMaxMatches, "a match number out of bounds");
        fuzz::require(row.score1 >= 0 && row.score2 >= 0, "a negative score");
        fuzz::require(!row.player1.empty() && !row.player2.empty(), "a row without a name");
        fuzz::require(day::parseIsoTime(day::isoLocalTime(row.ended, 0)) == row.ended, "a time not read back");
        // The writer's fields, read back by the reader, are the fields.
        constexpr std::string_view kColumns[] = {"a", "b"};
        day::CsvTable table("t", "a,b\n" + day::csvField(row.player1) + "," + day::csvField(row.round) + "\n",
                            kColumns, 2);
        fuzz::require(table.next(), "a written row not read back");
        fuzz::require(table.field(0) == row.player1 && table.field(1) == row.round, "a field written differently");
    }
    return 0;
}
