// The program state that GET /api/state reports, and every action answers with. It is
// read from the windows' controls, where the state lives, and creates no window.
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

#include "app/app.h"
#include "bracket/bracket_day.h"
#include "day/palette.h"
#include "remote/api.h"
#include "remote/table_feed.h"
#include "ui/error.h"
#include "start/start_dialog.h"
#include "table/score_table.h"
#include "ui/numtext.h"
#include "ui/text.h"

namespace quorvel::remote {
namespace {

using nlohmann::json;

// The number of a numbered portrait file ("...\12.gif"), or nothing for another picture.
std::optional<int> portraitNumber(const ui::PicturePtr& picture) {
    if (!picture) return std::nullopt;
    std::string_view name = picture->source();
    const auto slash = name.find_last_of("\\/");
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    const auto dot = name.find('.');
    const std::string_view digits = name.substr(0, dot);
    return ui::parseDigits(digits, 2);
}

json orNull(const std::optional<int>& value) { return value ? json(*value) : json(nullptr); }

// A palette index kept as text in a holder's tag, when it names a swatch.
std::optional<int> swatchIndex(const std::string& tag) {
    const auto number = ui::parseNumber(tag);
    if (!number || *number != ui::wholePart(*number) || *number < 0 || *number >= day::kPaletteSize)
        return std::nullopt;
    return static_cast<int>(*number);
}

json player(table::ScoreTable& table, int number) {
    const ui::Label& name = table.playerName(number);
    const ui::Label& score = table.score(number);
    const ui::ComboBox& list = table.countryList(number);
    const ui::Label& country = table.countryName(number);
    const ui::Image& flag = table.flag(number);
    const ui::Image& portrait = table.portrait(number);
    const ui::Label& set = table.portraitSet(number);
    const auto colour = swatchIndex(table.colourSwatch(number));

    std::string_view setName = set.caption();
    if (!setName.empty() && setName.back() == '\\') setName.remove_suffix(1);
    const int listIndex = list.listIndex();
    return {
        {"player", number},
        {"name", name.caption()},
        {"score", score.caption()},
        {"country", {{"name", country.caption()}, {"index", listIndex >= 0 ? json(listIndex) : json(nullptr)}}},
        {"colour",
         {{"name", colour ? json(day::kPalette[static_cast<std::size_t>(*colour)].name) : json(nullptr)},
          {"index", orNull(colour)}}},
        {"portrait", {{"set", std::string(setName)}, {"number", orNull(portraitNumber(portrait.picture()))}}},
        {"visible", {{"portrait", portrait.visible()}, {"flag", flag.visible()}, {"country", country.visible()}}},
    };
}

json pulse(const ui::Timer& timer) { return {{"on", timer.enabled()}, {"running", timer.armed()}}; }

}  // namespace

std::string Api::stateJson(app::App& app) {
    const char* window = "none";
    if (app.startDialogLoaded() && app.startDialog().visible())
        window = "start";
    else if (app.tableLoaded() && app.table().visible())
        window = "table";
    json state = {{"window", window}, {"table_open", app.tableLoaded()}};
    if (app.tableLoaded()) {
        table::ScoreTable& table = app.table();
        state["series"] = table.BO.caption();
        state["players"] = json::array({player(table, 1), player(table, 2)});
        state["pulses"] = {{"series", pulse(table.Timer4())}, {"countries", pulse(table.Timer5())}};
    } else {
        state["series"] = nullptr;
        state["players"] = json::array();
        state["pulses"] = nullptr;
    }
    // With a schedule, where the day stands, so a deck is told of each change and reads
    // GET /api/schedule for the whole of it.
    const day::MatchDay& day = app.day();
    if (!day.empty()) {
        std::size_t played = 0;
        for (std::size_t i = 0; i < day.matches().size(); ++i) played += day.result(i) != nullptr;
        state["schedule"] = {{"matches", day.matches().size()},
                             {"played", played},
                             {"current", day.current() ? json(*day.current() + 1) : json(nullptr)},
                             {"revision", day.revision()}};
    }
    // What the program told without a box, the latest last.
    json notices = json::array();
    for (const day::Notice& notice : app.notices().recent()) {
        notices.push_back({{"text", notice.text},
                           {"file", notice.file.empty() ? json(nullptr) : json(notice.file)},
                           {"line", notice.line > 0 ? json(notice.line) : json(nullptr)},
                           {"when", notice.when}});
    }
    state["notices"] = std::move(notices);
    // Captions come from the operator's files, which may be in another encoding than UTF-8
    // after a failed conversion: such bytes are replaced rather than failing the answer.
    return state.dump(-1, ' ', false, json::error_handler_t::replace);
}

namespace {

// A scheduled player as the table shows one: the roster's spelling of the name, and the
// address of the flag of the roster's country (null for none), which the pages for the
// breaks draw beside it.
void addScheduledPlayer(const day::Roster& roster, json& entry, const std::string& name, const char* nameKey,
                        const char* flagKey) {
    const day::RosterPlayer* player = roster.find(name);
    entry[nameKey] = player ? player->name : name;
    entry[flagKey] = nullptr;
    if (player && player->country && !player->country->name.empty())
        entry[flagKey] = pictureAddress("flags\\" + player->country->language + "\\" + player->country->name + ".gif");
}

}  // namespace

std::string Api::scheduleEntryJson(const app::App& app, std::size_t i) {
    const day::MatchDay& day = app.day();
    const day::ScheduledMatch& match = day.matches()[i];
    const day::MatchResult* result = day.result(i);
    json entry = {{"index", i + 1}, {"series", match.series}, {"round", match.round}, {"time", match.time},
                  {"state", day.current() == i ? "current" : result ? "played" : "upcoming"}};
    addScheduledPlayer(app.roster(), entry, match.player1, "player1", "flag1");
    addScheduledPlayer(app.roster(), entry, match.player2, "player2", "flag2");
    if (result) {
        // Each score with the schedule's player: a match ended after a swap has them the
        // other way round.
        const bool swapped = ui::foldCase(result->player1) != ui::foldCase(match.player1);
        entry["score1"] = swapped ? result->score2 : result->score1;
        entry["score2"] = swapped ? result->score1 : result->score2;
        entry["winner"] = result->winner.empty() ? json(nullptr) : json(result->winner);
        entry["ended"] = result->endedText;
    }
    if (const bracket::BracketDay* site = app.bracket(); site && !match.set.empty()) {
        entry["set"] = match.set;
        const bracket::Report* report = site->reports().find(match.set);
        entry["report"] = {{"state", bracket::reportStateName(report ? report->state : bracket::ReportState::None)},
                           {"reason", report && !report->reason.empty() ? json(report->reason) : json(nullptr)}};
    }
    return entry.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string Api::scheduleJson(const app::App& app, const std::vector<std::string>& entries) {
    const day::MatchDay& day = app.day();
    std::string text = "{\"current\":" + (day.current() ? std::to_string(*day.current() + 1) : "null") + ",\"matches\":[";
    for (std::size_t i = 0; i < entries.size(); ++i) text += (i ? "," : "") + entries[i];
    const bracket::BracketDay* site = app.bracket();
    text += "],\"source\":" + std::string(site ? "\"start.gg\"" : "\"file\"");
    if (site) {
        ui::Platform& os = app.platform();
        const auto time = [&](std::optional<long long> at) {
            return at ? json(day::isoLocalTime(*at, os.localTimeOffsetMinutes())) : json(nullptr);
        };
        const json state = {{"event", site->file().event},
                            {"stream", site->file().stream ? json(*site->file().stream) : json(nullptr)},
                            {"fetched", time(site->fetchedAt())},
                            {"offlineSince", time(site->offlineSince())},
                            {"waiting", site->waitingReports()}};
        text += ",\"site\":" + state.dump(-1, ' ', false, json::error_handler_t::replace);
    }
    return text + "}";
}

std::string Api::scheduleJson(const app::App& app) {
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < app.day().matches().size(); ++i) entries.push_back(scheduleEntryJson(app, i));
    return scheduleJson(app, entries);
}

std::string Api::rosterJson(const app::App& app) {
    const auto orNull = [](const std::string& text) { return text.empty() ? json(nullptr) : json(text); };
    json players = json::array();
    for (const day::RosterPlayer& entry : app.roster().players()) {
        players.push_back({{"name", entry.name},
                           {"country", orNull(entry.countryText)},
                           {"colour", orNull(entry.colourText)},
                           {"portrait", orNull(entry.portraitText)}});
    }
    return json{{"players", std::move(players)}}.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace quorvel::remote
