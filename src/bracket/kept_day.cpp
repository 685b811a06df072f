#include "bracket/kept_day.h"

#include <nlohmann/json.hpp>

#include "day/match_day.h"
#include "ui/error.h"

namespace quorvel::bracket {
namespace {

using nlohmann::json;

json entrantJson(const std::optional<Entrant>& player) {
    if (!player) return nullptr;
    return json{{"id", player->id}, {"name", player->name}, {"country", player->country}};
}

[[noreturn]] void damaged(const std::string& path, const std::string& why) {
    throw Error(path + ": " + why + "; the day kept there is not used", path);
}

std::string textField(const json& object, const char* key, const std::string& path, bool required = true) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        if (required) damaged(path, std::string("a set or a player lacks its ") + key);
        return {};
    }
    if (!found->is_string()) damaged(path, std::string("the ") + key + " of a set or a player is not text");
    return found->get<std::string>();
}

std::optional<Entrant> entrantOf(const json& set, const char* key, const std::string& path) {
    const auto found = set.find(key);
    if (found == set.end() || found->is_null()) return std::nullopt;
    if (!found->is_object()) damaged(path, std::string("the ") + key + " of a set is not a player");
    Entrant player{textField(*found, "id", path), textField(*found, "name", path),
                   textField(*found, "country", path, false)};
    if (player.id.empty() || player.name.empty()) damaged(path, "a player has no id or no name");
    return player;
}

}  // namespace

std::string keptDayText(const KeptDay& day) {
    json sets = json::array();
    for (const BracketSet& set : day.sets) {
        json entry{{"id", set.id},
                   {"round", set.round},
                   {"totalGames", set.totalGames},
                   {"player1", entrantJson(set.player1)},
                   {"player2", entrantJson(set.player2)}};
        entry["startAt"] = set.startAt ? json(*set.startAt) : json(nullptr);
        sets.push_back(std::move(entry));
    }
    const json text{{"event", day.event},
                    {"stream", day.stream ? json(*day.stream) : json(nullptr)},
                    {"fetched", day.fetched},
                    {"sets", std::move(sets)}};
    return text.dump(1, '\t', false, json::error_handler_t::replace) + "\n";
}

KeptDay parseKeptDay(std::string_view text, const std::string& path) {
    const json kept = json::parse(text, nullptr, false);
    if (kept.is_discarded() || !kept.is_object()) damaged(path, "the file is not the program's JSON");
    KeptDay day;
    day.event = textField(kept, "event", path);
    if (const auto stream = kept.find("stream"); stream != kept.end() && !stream->is_null())
        day.stream = textField(kept, "stream", path);
    const auto fetched = kept.find("fetched");
    if (fetched == kept.end() || !fetched->is_number_integer()) damaged(path, "the time of the fetch is not a number");
    day.fetched = fetched->get<long long>();
    const auto sets = kept.find("sets");
    if (sets == kept.end() || !sets->is_array()) damaged(path, "the file holds no list of sets");
    if (sets->size() > static_cast<std::size_t>(day::kMaxMatches))
        damaged(path, "the file holds more than " + std::to_string(day::kMaxMatches) + " sets");
    for (const json& entry : *sets) {
        if (!entry.is_object()) damaged(path, "a set is not an object");
        BracketSet set;
        set.id = textField(entry, "id", path);
        if (set.id.empty()) damaged(path, "a set has no id");
        set.round = textField(entry, "round", path, false);
        const auto games = entry.find("totalGames");
        if (games != entry.end() && games->is_number_integer()) {
            const long long count = games->get<long long>();
            set.totalGames = count > 0 && count < 1000 ? static_cast<int>(count) : 0;
        }
        if (const auto start = entry.find("startAt"); start != entry.end() && start->is_number_integer())
            set.startAt = start->get<long long>();
        set.player1 = entrantOf(entry, "player1", path);
        set.player2 = entrantOf(entry, "player2", path);
        day.sets.push_back(std::move(set));
    }
    return day;
}

std::optional<KeptDay> readKeptDay(ui::Platform& platform, const std::string& path) {
    if (!platform.fileExists(path)) return std::nullopt;
    return parseKeptDay(platform.readFile(path), path);
}

bool keptFor(const KeptDay& day, const BracketFile& file) {
    return day.event == file.event && day.stream == file.stream;
}

}  // namespace quorvel::bracket
