#pragma once
// The requests start.gg's GraphQL endpoint is sent, and the readers of its answers. A
// request is a JSON body {"query": ..., "variables": {...}}; an answer is read from the
// HTTP status and body the platform hands over (status 0 with the system's reason when no
// answer came). The readers take any bytes: they give an outcome, never throw, and do work
// bounded by the size of the body.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bracket/bracket_file.h"

namespace quorvel::bracket {

// The sets asked for in one request of the event's sets: with their slots, entrants,
// participants, users and locations, a page stays under the site's 1000 objects a request.
constexpr int kSetsPerPage = 50;
// Pages of the event's sets read at most: the day holds at most day::kMaxMatches sets.
constexpr int kMaxPages = 20;
// The set states that are not completed: created, in progress, ready, called, queued.
constexpr int kOpenSetStates[] = {1, 2, 4, 6, 7};
constexpr int kCompletedSetState = 3;

struct Entrant {
    std::string id;
    std::string name;     // the participants' gamerTags, without the sponsor prefix
    std::string country;  // the English name from the profile; empty when not given
};

struct BracketSet {
    std::string id;
    std::string round;   // fullRoundText
    int totalGames = 0;  // 0 when not given
    std::optional<long long> startAt;           // seconds since 1970
    std::optional<Entrant> player1, player2;    // none while the player is not yet known
};

// One game of a set, in the order played.
struct Game {
    std::string winnerId;
};

enum class Outcome {
    Answer,        // the site answered what was asked
    RateLimited,   // "Rate limit exceeded": back off
    TokenRefused,  // the token is not valid
    NotFound,      // the tournament or event is not there
    Unavailable,   // no network, no answer in time, 5xx, an answer that is not the site's: try again
    Refused,       // the site refuses for good
};

struct SiteAnswer {
    Outcome outcome = Outcome::Answer;
    std::string reason;  // the site's or the system's words, for anything but an Answer
};

struct DayAnswer {
    SiteAnswer answer;
    std::vector<BracketSet> sets;
    int totalPages = 1;
};

std::string streamQueueRequest(const BracketFile& file);
// Page `page` (from 1) of the event's sets not completed, in the site's call order.
std::string eventSetsRequest(const BracketFile& file, int page);
// The set's report: its winner's entrant and the games' winners in order (none: the winner
// alone).
std::string reportRequest(const std::string& setId, const std::string& winnerId, const std::vector<Game>& games);

// The named stream's sets in queue order (completed ones left out). A queue that is empty
// or absent, or one without the stream (it lists only the streams with sets queued), is
// an Answer without sets.
DayAnswer readStreamQueue(int status, std::string_view body, const std::string& failure, const BracketFile& file);
// One page of the event's sets (completed ones left out) and the number of pages.
DayAnswer readEventSets(int status, std::string_view body, const std::string& failure, const BracketFile& file);
// The site's answer to a report of `winnerId`: an Answer when the set is completed with that
// winner (also when the site says so together with an error, as for a set completed
// already); Refused with the site's words when it names another winner or refuses the
// report; RateLimited, TokenRefused or Unavailable as for every request.
SiteAnswer readReportAnswer(int status, std::string_view body, const std::string& failure,
                            const std::string& winnerId);

}  // namespace quorvel::bracket
