#include "support/start_gg_double.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <regex>

namespace quorvel::testing {

using nlohmann::json;

namespace {

constexpr int kCompleted = 3;  // ActivityState COMPLETED
// A set node: the set, its 2 slots, their entrants, participants, users and locations.
constexpr int kObjectsPerSet = 11;

const json kInvalidToken = {{"success", false}, {"message", "Invalid authentication token"}};
const json kRateLimited = {{"success", false}, {"message", "Rate limit exceeded - api-token"}};
const json kTooComplex = {
    {"success", false},
    {"fields", nullptr},
    {"message", "Query complexity too high. A maximum of 1000 objects may be returned by each request."}};
const char* const kNoPermission = "You do not have permission to report sets in this event";
const char* const kAlreadyCompleted = "Set is already completed";
const char* const kErrorPage = "<html><body>Service Unavailable</body></html>";

std::string idText(const json& id) {
    if (id.is_number_integer()) return std::to_string(id.get<long long>());
    return id.is_string() ? id.get<std::string>() : std::string();
}

json idValue(const std::string& text) {
    const bool digits =
        !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digits ? json(std::stoll(text)) : json(text);
}

json graphqlErrors(const std::string& message, const json& data = nullptr) {
    return {{"errors", json::array({{{"message", message}, {"path", json::array({"reportBracketSet"})}}})},
            {"data", data}};
}

int countObjects(const json& value) {
    int n = value.is_object() ? 1 : 0;
    if (value.is_structured())
        for (const auto& item : value) n += countObjects(item);
    return n;
}

// The value of argument `name` in the query: a $variable looked up, or a literal (a list
// of objects with bare keys too). Names other than lists are looked up outside lists.
json argument(const std::string& query, const json& variables, const std::string& name) {
    static const std::regex lists(R"(\[[^\]]*\])");
    static const std::regex bareKeys(R"((\w+)\s*:)");
    const bool list = name == "gameData" || name == "state";
    const std::string text = list ? query : std::regex_replace(query, lists, "[]");
    const std::regex pattern("(^|[^$\\w])" + name +
                             R"(\s*:\s*(\$\w+|"(?:[^"\\]|\\.)*"|-?\d+|\[[^\]]*\]|true|false|null))");
    std::smatch match;
    if (!std::regex_search(text, match, pattern)) return nullptr;
    const std::string value = match[2];
    if (value[0] == '$') {
        const auto found = variables.is_object() ? variables.find(value.substr(1)) : variables.end();
        return variables.is_object() && found != variables.end() ? *found : json(nullptr);
    }
    const json parsed =
        json::parse(value[0] == '[' ? std::regex_replace(value, bareKeys, "\"$1\":") : value, nullptr, false);
    return parsed.is_discarded() ? json(nullptr) : parsed;
}

std::string requestKind(const std::string& query) {
    const auto names = [&](const char* word) {
        return std::regex_search(query, std::regex(std::string("\\b") + word + "\\b"));
    };
    if (names("reportBracketSet")) return "report";
    if (names("tournament") && names("streamQueue")) return "streamQueue";
    if (names("event") && names("sets")) return "eventSets";
    return "unknown";
}

std::string scenarioPath() {
    return QUORVEL_SOURCE_DIR "/tests/support/start_gg_scenario.json";
}

}  // namespace

json StartGgDouble::defaultScenario() {
    std::ifstream in(scenarioPath());
    return json::parse(in);
}

StartGgDouble::StartGgDouble() : StartGgDouble(defaultScenario()) {}

StartGgDouble::StartGgDouble(const json& scenario) : scenario_(scenario), token_(scenario.value("token", "")) {
    const json entrants = scenario_.value("entrants", json::object());
    for (const auto& [id, entrant] : entrants.items()) entrants_[id] = entrant;
    for (const auto& set : scenario_.value("sets", json::array())) sets_.push_back(set);
    mayReport = scenario_.value("mayReport", true);
    // A generated event's set i: two players known, countries in turn, some none.
    const json countries = {"Japan", "Sweden", nullptr, "Brazil"};
    for (const auto& event : scenario_.value("events", json::array()))
        for (int i = 0; i < event.value("generateSets", 0); ++i) {
            for (int n : {2 * i, 2 * i + 1})
                entrants_[std::to_string(950000 + n)] = {
                    {"gamerTag", "Player " + std::to_string(n + 1)}, {"prefix", ""}, {"country", countries[n % 4]}};
            sets_.push_back({{"id", 900000 + i},
                             {"event", event["id"]},
                             {"fullRoundText", "Round " + std::to_string(i / 8 + 1)},
                             {"totalGames", 3},
                             {"startAt", 1765378800LL + 600LL * i},
                             {"state", 1},
                             {"entrants", {950000 + 2 * i, 950001 + 2 * i}}});
        }
}

long long StartGgDouble::now() const {
    if (clock) return clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int StartGgDouble::count(const std::string& kind) const {
    return static_cast<int>(
        std::count_if(requests_.begin(), requests_.end(), [&](const Request& r) { return r.kind == kind; }));
}

int StartGgDouble::requestsInWindow() const {
    const long long at = now();
    return static_cast<int>(std::count_if(requests_.begin(), requests_.end(),
                                          [&](const Request& r) { return r.tokenOk && at - r.atMs < kRateWindowMs; }));
}

int StartGgDouble::setState(const std::string& setId) const {
    for (const auto& set : sets_)
        if (idText(set["id"]) == setId) return set.value("state", 1);
    return 0;
}

json StartGgDouble::entrantNode(const json& id) const {
    if (id.is_null()) return nullptr;
    const json& e = entrants_.at(idText(id));
    const std::string prefix = e.value("prefix", json()).is_string() ? e["prefix"].get<std::string>() : "";
    const std::string tag = e["gamerTag"];
    json participant = {{"id", id.get<long long>() + 100000},
                        {"gamerTag", tag},
                        {"prefix", e.value("prefix", json())},
                        {"user", {{"location", {{"country", e.value("country", json())}}}}}};
    return {{"id", id},
            {"name", prefix.empty() ? tag : prefix + " | " + tag},
            {"participants", json::array({participant})}};
}

json StartGgDouble::setNode(const json& set) const {
    json slots = json::array();
    int k = 0;
    for (const auto& entrant : set.value("entrants", json::array()))
        slots.push_back({{"id", idText(set["id"]) + "-" + std::to_string(k++)}, {"entrant", entrantNode(entrant)}});
    return {{"id", set["id"]},
            {"fullRoundText", set.value("fullRoundText", json())},
            {"totalGames", set.value("totalGames", json())},
            {"startAt", set.value("startAt", json())},
            {"state", set.value("state", 1)},
            {"winnerId", set.value("winnerId", json())},
            {"slots", slots}};
}

std::pair<int, json> StartGgDouble::streamQueue(const std::string& query, const json& variables) const {
    const json slug = argument(query, variables, "slug");
    const json& tournament = scenario_["tournament"];
    const std::string own = tournament["slug"];
    if (!slug.is_string() || (slug != own && slug != "tournament/" + own))
        return {200, {{"data", {{"tournament", nullptr}}}}};
    json queues = json::array();
    for (const auto& stream : scenario_.value("streams", json::array())) {
        json sets = json::array();
        for (const auto& id : stream.value("queue", json::array()))
            for (const auto& set : sets_)
                if (idText(set["id"]) == idText(id) && set.value("state", 1) != kCompleted)
                    sets.push_back(setNode(set));
        if (sets.empty()) continue;  // the site lists the streams that have sets queued
        queues.push_back({{"id", idText(stream["id"])},
                          {"stream",
                           {{"id", stream["id"]},
                            {"streamName", stream["streamName"]},
                            {"streamSource", stream.value("streamSource", "TWITCH")}}},
                          {"sets", sets}});
    }
    json data = {{"data", {{"tournament", {{"id", tournament["id"]}, {"streamQueue", queues}}}}}};
    if (countObjects(data) > kMaxObjects) return {200, kTooComplex};
    return {200, data};
}

std::pair<int, json> StartGgDouble::eventSets(const std::string& query, const json& variables) const {
    const json slug = argument(query, variables, "slug");
    const json events = scenario_.value("events", json::array());
    const auto event = std::find_if(events.begin(), events.end(), [&](const json& e) { return e["slug"] == slug; });
    if (event == events.end()) return {200, {{"data", {{"event", nullptr}}}}};
    json page = argument(query, variables, "page"), perPage = argument(query, variables, "perPage");
    const json filters = argument(query, variables, "filters");
    json states = filters.is_object() ? filters.value("state", json()) : argument(query, variables, "state");
    json hideEmpty = filters.is_object() ? filters.value("hideEmpty", json()) : argument(query, variables, "hideEmpty");
    if (page.is_null()) page = 1;
    if (perPage.is_null()) perPage = 25;
    if (!page.is_number_integer() || !perPage.is_number_integer() || page.get<long long>() < 1 ||
        perPage.get<long long>() < 1)
        return {200,
                {{"errors", json::array({{{"message", "Variable page or perPage is not a positive Int"}}})},
                 {"data", nullptr}}};
    const long long p = page, per = perPage;
    if (per * kObjectsPerSet + 2 > kMaxObjects) return {200, kTooComplex};
    std::vector<const json*> chosen;
    for (const auto& set : sets_) {
        const auto& entrants = set.value("entrants", json::array());
        const bool empty = std::all_of(entrants.begin(), entrants.end(), [](const json& e) { return e.is_null(); });
        const bool stateOk = !states.is_array() || states.empty() ||
                             std::find(states.begin(), states.end(), json(set.value("state", 1))) != states.end();
        if (set["event"] == (*event)["id"] && stateOk && !(hideEmpty == true && empty)) chosen.push_back(&set);
    }
    json nodes = json::array();
    for (long long i = (p - 1) * per; i < std::min<long long>(p * per, static_cast<long long>(chosen.size())); ++i)
        nodes.push_back(setNode(*chosen[i]));
    const long long total = static_cast<long long>(chosen.size());
    const json info = {{"total", total}, {"totalPages", (total + per - 1) / per}, {"page", p}, {"perPage", per}};
    return {200, {{"data", {{"event", {{"id", (*event)["id"]}, {"sets", {{"pageInfo", info}, {"nodes", nodes}}}}}}}}};
}

std::pair<int, json> StartGgDouble::report(const std::string& query, const json& variables) {
    const std::string setId = idText(argument(query, variables, "setId"));
    const std::string winner = idText(argument(query, variables, "winnerId"));
    json games = argument(query, variables, "gameData");
    if (!games.is_array()) games = json::array();
    Report& entry = reports_.emplace_back(Report{setId, winner, games, argument(query, variables, "isDQ"), ""});
    const auto set = std::find_if(sets_.begin(), sets_.end(), [&](const json& s) { return idText(s["id"]) == setId; });
    if (set == sets_.end()) {
        entry.outcome = "unknown set";
        return {200, graphqlErrors("Set " + setId + " not found", {{"reportBracketSet", nullptr}})};
    }
    if (!mayReport) {
        entry.outcome = "not allowed";
        return {200, graphqlErrors(kNoPermission, {{"reportBracketSet", nullptr}})};
    }
    std::vector<std::string> players;
    for (const auto& e : set->value("entrants", json::array()))
        if (!e.is_null()) players.push_back(idText(e));
    const auto plays = [&](const std::string& id) {
        return std::find(players.begin(), players.end(), id) != players.end();
    };
    if (set->value("state", 1) == kCompleted) {
        // The set as it stands beside the refusal: its winner says whether this report
        // was the one already taken.
        entry.outcome = idText(set->value("winnerId", json())) == winner ? "already" : "other winner";
        const json stands =
            json::array({{{"id", (*set)["id"]}, {"state", kCompleted}, {"winnerId", (*set)["winnerId"]}}});
        return {200, graphqlErrors(kAlreadyCompleted, {{"reportBracketSet", stands}})};
    }
    const bool gamesOk = std::all_of(games.begin(), games.end(), [&](const json& g) {
        return g.is_object() && plays(idText(g.value("winnerId", json()))) &&
               g.value("gameNum", json()).is_number_integer();
    });
    if (!plays(winner) || players.size() < 2 || !gamesOk) {
        entry.outcome = "invalid";
        return {200, graphqlErrors("Winner or game data does not match the set's entrants",
                                   {{"reportBracketSet", nullptr}})};
    }
    (*set)["state"] = kCompleted;
    (*set)["winnerId"] = idValue(winner);
    entry.outcome = "completed";
    return {200,
            {{"data",
              {{"reportBracketSet",
                json::array({{{"id", (*set)["id"]}, {"state", kCompleted}, {"winnerId", (*set)["winnerId"]}}})}}}}};
}

ui::SiteReply StartGgDouble::answer(const std::string& url, const std::string& token, const std::string& body) {
    const json request = json::parse(body, nullptr, false);
    const std::string query =
        request.is_object() && request.value("query", json()).is_string() ? request["query"].get<std::string>() : "";
    const json variables =
        request.is_object() && request.value("variables", json()).is_object() ? request["variables"] : json::object();
    // Offline, the post never reaches the site: nothing is recorded.
    if (offline) return {0, "", "no network: the connection to 127.0.0.1 was refused"};
    Request& entry = requests_.emplace_back(Request{requestKind(query), variables, token == token_, 0, now()});
    if (silent) return {0, "", "no answer within 10 s"};
    const long long window = std::count_if(requests_.begin(), requests_.end() - 1, [&](const Request& r) {
        return r.tokenOk && entry.atMs - r.atMs < kRateWindowMs;
    });
    const auto reply = [&](int status, const json& answerBody) {
        entry.status = status;
        return ui::SiteReply{status, answerBody.dump(), ""};
    };
    const std::string path = url.substr(0, url.find('?'));
    if (path.size() < 10 || path.compare(path.size() - 10, 10, "/gql/alpha") != 0) {
        entry.status = 404;
        return {404, "<html><body>Not Found</body></html>", ""};
    }
    if (failureStatus) {
        entry.status = failureStatus;
        return {failureStatus, kErrorPage, ""};
    }
    if (!entry.tokenOk) return reply(401, kInvalidToken);
    if (rateLimited || window >= kRateLimit) return reply(429, kRateLimited);
    if (query.empty()) return reply(400, {{"errors", json::array({{{"message", "Must provide query string."}}})}});
    if (entry.kind == "unknown")
        return reply(400, {{"errors", json::array({{{"message", "Cannot query this field on type \"Query\"."}}})}});
    const auto [status, answerBody] = entry.kind == "report"        ? report(query, variables)
                                      : entry.kind == "streamQueue" ? streamQueue(query, variables)
                                                                    : eventSets(query, variables);
    return reply(status, answerBody);
}

}  // namespace quorvel::testing
