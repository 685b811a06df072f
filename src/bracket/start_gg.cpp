#include "bracket/start_gg.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "day/match_day.h"
#include "ui/text.h"

namespace quorvel::bracket {
namespace {

using nlohmann::json;

// An answer larger than this is not one the program asked for.
constexpr std::size_t kMaxAnswerBytes = 16u << 20;
// The site's words kept for a message: a few errors, each cut to a line's worth.
constexpr std::size_t kMaxWords = 5;
constexpr std::size_t kMaxWordBytes = 300;
// Participants of one entrant read at most (a team's members).
constexpr std::size_t kMaxParticipants = 8;

constexpr const char* kSetFields =
    "id fullRoundText totalGames startAt state winnerId "
    "slots { entrant { id participants { gamerTag user { location { country } } } } }";

std::string dumped(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

// An id as GraphQL's ID takes it: a number when it is one, else the text.
json idValue(const std::string& id) {
    if (!id.empty() && id.size() <= 18 && id.find_first_not_of("0123456789") == std::string::npos)
        return std::stoll(id);
    return id;
}

const json* member(const json* object, const char* key) {
    if (!object || !object->is_object()) return nullptr;
    const auto found = object->find(key);
    return found == object->end() || found->is_null() ? nullptr : &*found;
}

std::string textOf(const json* value) { return value && value->is_string() ? value->get<std::string>() : std::string(); }

std::optional<long long> integerOf(const json* value) {
    if (!value) return std::nullopt;
    if (value->is_number_integer()) return value->get<long long>();
    if (value->is_number_float()) {
        const double number = value->get<double>();
        if (std::isfinite(number) && std::abs(number) < 9e15) return static_cast<long long>(number);
    }
    return std::nullopt;
}

// An id, which the site writes as a number or as text.
std::string idOf(const json* value) {
    if (value && value->is_string()) return value->get<std::string>();
    if (value && (value->is_number_integer() || value->is_number_unsigned())) return dumped(*value);
    return {};
}

// `text` cut to at most `bytes`, not inside a character.
std::string cut(std::string text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text + "...";
}

// The site's words in an answer: its message and the messages of its errors.
std::string siteWords(const json& answer) {
    std::vector<std::string> words;
    if (const std::string message = textOf(member(&answer, "message")); !message.empty()) words.push_back(message);
    if (const json* errors = member(&answer, "errors"); errors && errors->is_array())
        for (const json& error : *errors) {
            if (words.size() == kMaxWords) break;
            const std::string message = textOf(member(&error, "message"));
            if (!message.empty()) words.push_back(message);
        }
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : "; ") + cut(word, kMaxWordBytes);
    return text;
}

bool holds(const std::string& text, std::string_view words) {
    return ui::foldCase(text).find(words) != std::string::npos;
}

// What every answer is read for first. Sets `failed` when the answer is not one to read
// further; `answer` is the body read as JSON and `words` the site's words in it.
SiteAnswer classify(int status, std::string_view body, const std::string& failure, json& answer, std::string& words,
                    bool& failed) {
    failed = true;
    if (status == 0) return {Outcome::Unavailable, failure.empty() ? "no answer from the site" : failure};
    if (body.size() > kMaxAnswerBytes)
        return {Outcome::Unavailable, "the site's answer is too large (" + std::to_string(body.size()) + " bytes)"};
    answer = json::parse(body, nullptr, false);
    if (answer.is_discarded()) answer = json();
    words = siteWords(answer);
    const std::string said = words.empty() ? "" : ": " + words;
    if (status == 429 || holds(words, "rate limit exceeded"))
        return {Outcome::RateLimited, words.empty() ? "Rate limit exceeded" : words};
    if (status == 401 || holds(words, "invalid authentication token"))
        return {Outcome::TokenRefused, "start.gg refused the token" + said};
    if (status >= 500) return {Outcome::Unavailable, "start.gg answered HTTP " + std::to_string(status) + said};
    if (status != 200) return {Outcome::Refused, "start.gg answered HTTP " + std::to_string(status) + said};
    if (!answer.is_object()) return {Outcome::Unavailable, "the answer is not start.gg's: it is not a JSON object"};
    failed = false;
    return {};
}

std::optional<Entrant> entrantOf(const json* slot) {
    const json* entrant = member(slot, "entrant");
    Entrant player{idOf(member(entrant, "id")), {}, {}};
    const json* participants = member(entrant, "participants");
    if (player.id.empty() || !participants || !participants->is_array()) return std::nullopt;
    bool oneCountry = true;
    std::size_t count = 0;
    for (const json& participant : *participants) {
        if (count == kMaxParticipants) break;
        const std::string tag = textOf(member(&participant, "gamerTag"));
        if (tag.empty()) continue;
        const std::string country = textOf(member(member(member(&participant, "user"), "location"), "country"));
        if (count == 0) player.country = country;
        else if (country != player.country) oneCountry = false;
        player.name += (count++ ? " / " : "") + tag;
    }
    if (count == 0) return std::nullopt;
    if (!oneCountry) player.country.clear();
    return player;
}

// The sets of `nodes` not completed, in order, up to the day's bound.
void readSets(const json* nodes, std::vector<BracketSet>& sets) {
    if (!nodes || !nodes->is_array()) return;
    for (const json& node : *nodes) {
        if (sets.size() >= static_cast<std::size_t>(day::kMaxMatches)) break;
        BracketSet set;
        set.id = idOf(member(&node, "id"));
        if (set.id.empty() || integerOf(member(&node, "state")) == kCompletedSetState) continue;
        set.round = textOf(member(&node, "fullRoundText"));
        const auto games = integerOf(member(&node, "totalGames"));
        set.totalGames = games && *games > 0 && *games < 1000 ? static_cast<int>(*games) : 0;
        if (const auto start = integerOf(member(&node, "startAt")); start && *start >= 0) set.startAt = start;
        if (const json* slots = member(&node, "slots"); slots && slots->is_array()) {
            if (slots->size() > 0) set.player1 = entrantOf(&(*slots)[0]);
            if (slots->size() > 1) set.player2 = entrantOf(&(*slots)[1]);
        }
        sets.push_back(std::move(set));
    }
}

// The member `key` of the answer's data (the tournament, the event), or nullptr with the
// outcome in `day`: the site's words when it gives some, else `what` not found.
const json* dayOf(int status, std::string_view body, const std::string& failure, json& answer, DayAnswer& day,
                  const char* key, const std::string& what) {
    std::string words;
    bool failed = false;
    day.answer = classify(status, body, failure, answer, words, failed);
    if (failed) return nullptr;
    const json* found = member(member(&answer, "data"), key);
    if (!found)
        day.answer = words.empty() ? SiteAnswer{Outcome::NotFound, what + " is not on start.gg"}
                                   : SiteAnswer{Outcome::Refused, words};
    return found;
}

std::string requestText(const std::string& query, json variables) {
    return dumped(json{{"query", query}, {"variables", std::move(variables)}});
}

}  // namespace

std::string streamQueueRequest(const BracketFile& file) {
    return requestText(std::string("query StreamQueue($slug: String!) { tournament(slug: $slug) { streamQueue { "
                                   "stream { streamName } sets { ") +
                           kSetFields + " } } } }",
                       json{{"slug", file.tournament}});
}

std::string eventSetsRequest(const BracketFile& file, int page) {
    std::string states;
    for (int state : kOpenSetStates) states += (states.empty() ? "" : ", ") + std::to_string(state);
    return requestText(std::string("query EventSets($slug: String!, $page: Int!, $perPage: Int!) { event(slug: "
                                   "$slug) { sets(page: $page, perPage: $perPage, sortType: CALL_ORDER, filters: "
                                   "{ state: [") +
                           states + "], hideEmpty: true }) { pageInfo { totalPages } nodes { " + kSetFields +
                           " } } } }",
                       json{{"slug", file.event}, {"page", page}, {"perPage", kSetsPerPage}});
}

std::string reportRequest(const std::string& setId, const std::string& winnerId, const std::vector<Game>& games) {
    json variables{{"setId", idValue(setId)}, {"winnerId", idValue(winnerId)}};
    if (games.empty())
        return requestText("mutation ReportSet($setId: ID!, $winnerId: ID!) { reportBracketSet(setId: $setId, "
                           "winnerId: $winnerId) { id state winnerId } }",
                           std::move(variables));
    json gameData = json::array();
    for (std::size_t i = 0; i < games.size(); ++i)
        gameData.push_back({{"winnerId", idValue(games[i].winnerId)}, {"gameNum", i + 1}});
    variables["gameData"] = std::move(gameData);
    return requestText("mutation ReportSet($setId: ID!, $winnerId: ID!, $gameData: [BracketSetGameDataInput]) { "
                       "reportBracketSet(setId: $setId, winnerId: $winnerId, gameData: $gameData) { id state "
                       "winnerId } }",
                       std::move(variables));
}

DayAnswer readStreamQueue(int status, std::string_view body, const std::string& failure, const BracketFile& file) {
    DayAnswer day;
    json answer;
    const json* tournament =
        dayOf(status, body, failure, answer, day, "tournament", "the tournament " + file.tournament);
    if (!tournament) return day;
    const json* queue = member(tournament, "streamQueue");
    if (!queue || (queue->is_array() && queue->empty())) return day;  // nothing queued on any stream
    if (queue->is_array())
        for (const json& entry : *queue)
            if (file.stream &&
                ui::equalNoCase(textOf(member(member(&entry, "stream"), "streamName")), *file.stream)) {
                readSets(member(&entry, "sets"), day.sets);
                return day;
            }
    // The queue lists the streams that have sets queued: a stream missing from it has none
    // now (its last set was just played), which changes nothing of the day.
    return day;
}

DayAnswer readEventSets(int status, std::string_view body, const std::string& failure, const BracketFile& file) {
    DayAnswer day;
    json answer;
    const json* event = dayOf(status, body, failure, answer, day, "event", "the event " + file.event);
    if (!event) return day;
    const json* sets = member(event, "sets");
    const auto pages = integerOf(member(member(sets, "pageInfo"), "totalPages"));
    day.totalPages = pages && *pages > 1 ? static_cast<int>(std::min<long long>(*pages, kMaxPages)) : 1;
    readSets(member(sets, "nodes"), day.sets);
    return day;
}

SiteAnswer readReportAnswer(int status, std::string_view body, const std::string& failure,
                            const std::string& winnerId) {
    json answer;
    std::string words;
    bool failed = false;
    const SiteAnswer first = classify(status, body, failure, answer, words, failed);
    if (failed) return first;
    const json* reported = member(member(&answer, "data"), "reportBracketSet");
    std::vector<const json*> sets;
    if (reported && reported->is_array())
        for (const json& set : *reported) sets.push_back(&set);
    else if (reported && reported->is_object())
        sets.push_back(reported);
    std::string other;
    for (const json* set : sets) {
        const std::string winner = idOf(member(set, "winnerId"));
        if (!winner.empty() && winner == winnerId) return {};  // completed with that winner
        if (!winner.empty() && other.empty()) other = winner;
    }
    if (!other.empty())
        return {Outcome::Refused, "start.gg has another winner for the set (entrant " + cut(other, 40) + ")" +
                                      (words.empty() ? "" : ": " + words)};
    if (!words.empty()) return {Outcome::Refused, words};
    if (!sets.empty()) return {};  // the set taken, its winner not given back
    return {Outcome::Unavailable, "the answer is not start.gg's: it holds no set"};
}

}  // namespace quorvel::bracket
