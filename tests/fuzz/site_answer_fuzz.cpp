// The bracket site's answers: the first byte picks the HTTP status, the rest is the body, and
// every reader takes them. Each gives an outcome (a reason with any that is not an answer),
// sets with ids, a page count in its bounds; the day read survives being kept and read back.
#include "bracket/kept_day.h"
#include "bracket/start_gg.h"
#include "day/match_day.h"
#include "fuzz_support.h"

#include <iterator>

using namespace quorvel;
using bracket::Outcome;

namespace {

void checkDay(const bracket::DayAnswer& day) {
    fuzz::require(day.answer.outcome == Outcome::Answer || !day.answer.reason.empty(), "a failure without a reason");
    fuzz::require(day.answer.outcome == Outcome::Answer || day.sets.empty(), "a failure with sets");
    fuzz::require(day.totalPages >= 1 && day.totalPages <= bracket::kMaxPages, "a page count out of its bounds");
    fuzz::require(day.sets.size() <= static_cast<std::size_t>(day::kMaxMatches), "more sets than a day holds");
    for (const bracket::BracketSet& set : day.sets) {
        fuzz::require(!set.id.empty(), "a set without an id");
        for (const auto& player : {set.player1, set.player2})
            fuzz::require(!player || (!player->id.empty() && !player->name.empty()), "a known player without an id or a name");
    }
    const bracket::KeptDay kept{"tournament/t/event/e", std::string("Main"), 1, day.sets};
    const std::string path = "C:\\Quorvel\\Bracket day.json";
    try {
        const bracket::KeptDay back = bracket::parseKeptDay(bracket::keptDayText(kept), path);
        fuzz::require(back.sets.size() == kept.sets.size(), "the kept day lost sets");
        for (std::size_t i = 0; i < back.sets.size(); ++i) {
            const bracket::BracketSet& a = kept.sets[i];
            const bracket::BracketSet& b = back.sets[i];
            fuzz::require(a.id == b.id && a.round == b.round && a.totalGames == b.totalGames && a.startAt == b.startAt &&
                              a.player1.has_value() == b.player1.has_value() &&
                              a.player2.has_value() == b.player2.has_value(),
                          "a kept set reads back otherwise");
            if (a.player1) fuzz::require(a.player1->name == b.player1->name && a.player1->country == b.player1->country, "a kept player reads back otherwise");
        }
    } catch (const Error& error) {
        fuzz::fail(std::string("the kept day does not read back: ") + error.what());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static constexpr int kStatuses[] = {200, 0, 401, 429, 500, 503, 404, 403, 400, 302};
    const int status = size ? kStatuses[data[0] % std::size(kStatuses)] : 200;
    const std::string_view body = size ? std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1) : "";
    const std::string failure = status == 0 ? "no network: the name api.start.gg is not known" : "";
    bracket::BracketFile file;
    file.tournament = "t";
    file.event = "tournament/t/event/e";
    file.stream = "Main";
    file.token = "secret";
    checkDay(bracket::readStreamQueue(status, body, failure, file));
    checkDay(bracket::readEventSets(status, body, failure, file));
    for (const char* winner : {"100", "200"}) {
        const bracket::SiteAnswer report = bracket::readReportAnswer(status, body, failure, winner);
        fuzz::require(report.outcome == Outcome::Answer || !report.reason.empty(), "a report's failure without a reason");
        fuzz::require(status == 200 || report.outcome != Outcome::Answer, "a report confirmed by an HTTP failure");
    }
    return 0;
}
