// The day's schedule: Matches.csv read at the start dialog's load, the next match put on the
// table by the chord N, the menu's button and the remote control, and Results.csv written
// row by row and read back after a restart.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "control/control_menu.h"
#include "remote/api.h"
#include "remote/table_feed.h"
#include "scenario/program_folder.h"
#include "support/start_gg_double.h"
#include "start/start_dialog.h"
#include "table/score_table.h"
#include "ui/error.h"
#include "ui/keys.h"

namespace quorvel::testing {
namespace {

using nlohmann::json;

class MatchDay : public ::testing::Test {
protected:
    std::unique_ptr<Program> program = std::make_unique<Program>();
    app::App& app() { return *program->app; }
    table::ScoreTable& table() { return app().table(); }
    control::ControlMenu& menu() { return app().controlMenu(); }

    void SetUp() override {
        program->folder.writeLines("Players.csv", {"name;country;colour;portrait", "Ann;Country 12;Purple;Origin/3",
                                                   "Bob;Country 30;Red;P2/5", "Cid;Country 4;Green;P1/7"});
        program->folder.writeLines("Matches.csv", {"player1,player2,series,round,time", "Ann,Bob,Best of 3,QF 1,12:00",
                                                   "Cid,Nobody,,QF 2,12:45", "Bob,Cid,Best of 5,Final,14:00"});
    }
    void go(int language = -1) {
        ASSERT_TRUE(program->start()) << program->lastMessage();
        auto& dialog = app().startDialog();
        if (language >= 0) dialog.inputListPicked(dialog.Combo1, language);
        dialog.inputButtonClicked(dialog.Command1);
    }
    // A program started again on the same folder, as after a crash.
    void restart() {
        auto next = std::make_unique<Program>();
        std::filesystem::copy(program->folder.path(), next->folder.path(),
                              std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
        program = std::move(next);
        if (bracket) useBracket();
        go();
    }
    // The day from the site's double: Bracket.ini for its first stream, the double as the
    // site, and the language whose country list has the site's countries.
    StartGgDouble site;
    bool bracket = false;
    // Its stream queue unless `event` names one of its events without a stream.
    void useBracket(const std::string& event = "") {
        bracket = true;
        program->folder.writeLines(
            "Bracket.ini",
            {"; the day from the stream queue", "site=start.gg",
             event.empty() ? "event=https://www.start.gg/tournament/quorvel-open/event/main-singles" : "event=" + event,
             event.empty() ? "stream=quorvel_main" : "", "token=" + site.token(), "endpoint=http://127.0.0.1:9/gql/alpha"});
        std::vector<std::string> english;
        for (int i = 0; i < 200; ++i) english.push_back(i == 40 ? "Japan" : "Country " + std::to_string(i));
        program->folder.writeLines("C_English.dat", english);
        program->folder.write("pic/flags/English/Japan.gif", ProgramFolder::gifBytes());
        program->platform.setSite([this](const std::string& url, const std::string& token, const std::string& body) {
            return site.answer(url, token, body);
        });
    }
    void chord(int key, long long held = 10) {
        for (int k : {ui::key::kControl, ui::key::kShift, key}) program->platform.pressKey(k);
        program->platform.advance(held);
        for (int k : {ui::key::kControl, ui::key::kShift, key}) program->platform.releaseKey(k);
        program->platform.advance(700);
    }
    std::string results() {
        std::ifstream in(program->folder.path() + "/Results.csv", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    remote::Response request(const std::string& method, const std::string& path, const std::string& body = "") {
        const remote::Api api({"127.0.0.1", 8421, ""});
        auto admitted = api.admit({method, path, "127.0.0.1:8421", "application/json", "", body});
        if (auto* refused = std::get_if<remote::Response>(&admitted)) return *refused;
        return remote::Api::run(app(), std::get<remote::Command>(admitted));
    }
};

TEST_F(MatchDay, ABrokenScheduleIsToldWithFileLineAndValueAndTheDayGoesOn) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"player1;round", "Ann;QF"}, "line 1: the header line names no column \"player2\""},
        {{"player1;player2", "Ann;Bob", "Cid;"}, "line 3: the name of player2 is empty (the value \"Cid;\")"},
        {{"player1,player2", "\"Ann,Bob"}, "line 2: a field's quote is not closed"},
    };
    for (const auto& [lines, message] : cases) {
        Program p;
        p.folder.writeLines("Matches.csv", lines);
        EXPECT_TRUE(p.start());
        EXPECT_NE(p.lastMessage().find("Matches.csv, " + message), std::string::npos) << p.lastMessage();
        EXPECT_TRUE(p.app->day().empty());
    }
    // Broken at the second load: the schedule as first read stays, the program runs.
    go();
    program->folder.writeLines("Matches.csv", {"player1", "Ann"});
    menu().inputControlDoubleClick(menu().Picture2);  // back to the start dialog
    EXPECT_FALSE(program->platform.quitCalled());
    EXPECT_NE(program->lastMessage().find("schedule as it was last read (3 matches)"), std::string::npos) << program->lastMessage();
    EXPECT_EQ(app().day().matches().size(), 3u);
}

TEST_F(MatchDay, NextMatchSetsUpEveryPartOfTheTableAndTheMenuAndKeepsTheResult) {
    go();
    remote::TableFeed feed(app());  // the scenes' schedule, each match described again as it changes
    remote::FeedStore::Reader scenes(feed.store(), remote::FeedStore::Kind::Table);
    EXPECT_EQ(table().P1.caption(), "Ann");
    EXPECT_EQ(table().BO.caption(), "Best of 3");
    chord('1');
    chord('1');
    chord('2');
    menu().inputTextEdited(menu().BO, "typed");
    program->platform.setLocalTimeOffset(90);
    chord('N');
    EXPECT_EQ(app().day().current(), 1u);
    // Cid from the roster, Nobody the name alone; the series caption stays.
    EXPECT_EQ(table().P1.caption(), "Cid");
    EXPECT_EQ(table().P2.caption(), "Nobody");
    EXPECT_EQ(table().LiveP1.caption(), "Country 4");
    // Nobody is in no roster: no country, not Bob's.
    EXPECT_EQ(table().LiveP2.caption() + std::to_string(table().Combo2.listIndex()), "-1");
    EXPECT_EQ(table().F2.picture(), nullptr);
    EXPECT_EQ(table().Label5.tag(), "3");
    EXPECT_NE(table().I1.picture()->source().find("P1\\7.gif"), std::string::npos);
    EXPECT_EQ(table().T1.caption() + table().T2.caption() + menu().Text3.text() + menu().Text4.text(), "0000");
    EXPECT_EQ(menu().Text1.text() + "|" + menu().Text2.text(), "Cid|Nobody");
    EXPECT_EQ(table().BO.caption(), "Best of 3");
    EXPECT_TRUE(results().starts_with("\xEF\xBB\xBF" "ended,match,round,series,player1,player2,score1,score2,winner\r\n"
                                      "2023-11-14T23:43:"));
    EXPECT_TRUE(results().ends_with("+01:30,1,QF 1,Best of 3,Ann,Bob,2,1,Ann\r\n")) << results();

    // The menu's button goes on to the final, with its caption and the sides of the file.
    menu().inputControlClicked(*menu().Picture8);
    EXPECT_EQ(table().P1.caption() + "|" + table().P2.caption() + "|" + table().BO.caption(), "Bob|Cid|Best of 5");
    EXPECT_EQ(table().LiveP2.caption(), "Country 4");
    // Match 2 was left without a point: no row, and "next" comes back to it. At the day's
    // end its result is kept, the table stays, the operator is told, and a second press
    // writes nothing again.
    EXPECT_EQ(results().find("QF 2"), std::string::npos);
    EXPECT_EQ(json::parse(*scenes.take())["schedule"], json::parse(request("GET", "/api/schedule").body));
    chord('2');
    chord('N');
    EXPECT_EQ(table().P1.caption() + "|" + table().BO.caption(), "Cid|Best of 5");
    chord('1');
    chord('N');
    chord('N');
    EXPECT_EQ(table().P1.caption(), "Cid");
    EXPECT_NE(program->lastNotice().find("no match is left"), std::string::npos);
    EXPECT_EQ(results().find(",2,QF 2,,Cid,Nobody,1,0,Cid\r\n"), results().rfind(",2,QF 2"));
    EXPECT_NE(results().find(",3,Final,Best of 5,Bob,Cid,0,1,Cid\r\n"), std::string::npos);
}

// No box over a running match: a notice, once, after the whole match is set up; one match a press.
TEST_F(MatchDay, TheShowGoesOnWithNoticesOnePressOneMatchAndAResultOnlyForTheMatchPlayed) {
    go(0);  // Russian: the roster's English countries cannot be told, the flags being alike
    EXPECT_EQ(table().LiveP1.caption() + table().LiveP2.caption(), "") << "no country rather than a guess";
    chord('1');
    chord('N', 1000);  // held past the 0.6 s repeat of a score
    EXPECT_TRUE(results().ends_with(",1,QF 1,Best of 3,Ann,Bob,1,0,Ann\r\n")) << results();
    const json notices = json::parse(request("GET", "/api/state").body)["notices"];
    ASSERT_EQ(notices.size(), 3u) << notices;  // Ann, Bob, Cid: once each
    EXPECT_EQ(notices[0]["file"].get<std::string>() + ":" + notices[0]["line"].dump(), program->folder.path() + "\\Players.csv:2");
    EXPECT_NE(menu().NoticeLine->caption().find("Players.csv, line 4"), std::string::npos);
    // Zed typed over match 2: no match number, and match 2 still to be played.
    menu().inputTextEdited(menu().Text1, "Zed");
    menu().inputButtonClicked(menu().Command1);
    chord('2');
    chord('N');
    EXPECT_TRUE(results().ends_with(",,,,Zed,Nobody,0,1,Nobody\r\n")) << results();
    EXPECT_EQ(table().P1.caption(), "Cid");
    request("POST", "/api/action/match", R"({"index":1})");  // Ann again: not told again
    EXPECT_EQ(app().notices().recent().size(), 3u);
    EXPECT_TRUE(program->platform.messageBoxes().empty());
}

TEST_F(MatchDay, TheDaysFilesChangedMidMatchAreReadAtTheNextMatchOrByReloadABrokenOneIsANotice) {
    go();
    chord('1');
    program->folder.writeLines("Matches.csv", {"player1;player2;round", "Ann;Bob;QF 1", "Dan;Eve;Extra", "Cid;Nobody;QF 2"});
    program->folder.writeLines("Players.csv", {"name;colour", "Dan;Teal"});  // no such colour
    chord('N');
    EXPECT_EQ(table().P1.caption() + "|" + table().P2.caption(), "Dan|Eve");
    EXPECT_NE(results().find(",1,QF 1,Best of 3,Ann,Bob,1,0,Ann\r\n"), std::string::npos) << results();
    EXPECT_NE(program->lastNotice().find("Players.csv, line 2"), std::string::npos) << program->lastNotice();
    EXPECT_EQ(app().roster().players().size(), 3u) << "the roster as last read";
    program->folder.writeLines("Players.csv", {"name;colour", "Dan;Red"});
    EXPECT_EQ(request("POST", "/api/action/reload", "{}").status, 200);
    EXPECT_EQ(app().roster().players().size(), 1u);
    EXPECT_TRUE(program->platform.messageBoxes().empty());
}

TEST_F(MatchDay, ResultsAreKeptThroughARefusalResumedAfterARestartAndDamagedRowsAreLeftAlone) {
    // A row of yesterday for match 2, a hand-damaged row, a row for other names.
    program->folder.write("Results.csv", "ended,match,round,series,player1,player2,score1,score2,winner\r\n"
                                         "2023-11-13T10:00:00Z,2,QF 2,,Cid,Nobody,2,0,Cid\r\n"
                                         "yesterday,1,QF 1,,Ann,Bob,2,0,Ann\r\n"
                                         "2023-11-14T22:00:00Z,3,Final,,Bob,Eve,2,0,Bob");
    go();
    EXPECT_NE(program->lastMessage().find("Results.csv, line 3: the time the match ended"), std::string::npos);
    const std::size_t messages = program->platform.messageBoxes().size();
    program->platform.setWriteRefusal("the file is in use by another program");
    chord('1');
    chord('N');
    chord('2');
    chord('N');  // match 3: the message is not repeated, both rows kept
    EXPECT_EQ(program->platform.messageBoxes().size(), messages);
    ASSERT_EQ(app().notices().recent().size(), 1u);
    EXPECT_NE(program->lastNotice().find("Results.csv: the file is in use by another program"), std::string::npos);
    program->platform.setWriteRefusal("");
    chord('1');
    request("POST", "/api/action/match", R"({"index":1})");
    const std::string text = results();
    EXPECT_NE(text.find("Final,,Bob,Eve,2,0,Bob\r\n"), std::string::npos);  // its line end added
    EXPECT_LT(text.find(",1,QF 1,Best of 3,Ann,Bob,1,0,Ann"), text.find(",2,QF 2,,Cid,Nobody,0,1,Nobody"));
    EXPECT_NE(text.find(",3,Final,Best of 5,Bob,Cid,1,0,Bob"), std::string::npos);
    EXPECT_NE(text.find("yesterday,1"), std::string::npos);

    // After a restart every match has its result.
    restart();
    EXPECT_EQ(app().day().firstUnplayed(), std::nullopt);
    const json schedule = json::parse(request("GET", "/api/schedule").body);
    EXPECT_EQ(schedule["matches"][1]["state"], "played");
    EXPECT_EQ(schedule["matches"][1]["winner"], "Nobody");
    EXPECT_EQ(schedule["matches"][0]["state"], "played");
    EXPECT_EQ(schedule["current"], nullptr);
}

TEST_F(MatchDay, ANewResultsFileTakesTheSchedulesSeparatorAnExistingOneKeepsItsOwn) {
    program->folder.writeLines("Matches.csv", {"player1;player2;series", "Ann;Bob;Best of 3", "Cid;Bob;Best of 5"});
    go();
    chord('1');
    chord('N');
    EXPECT_TRUE(results().starts_with("\xEF\xBB\xBF" "ended;match;round;series;player1;player2;score1;score2;winner\r\n"));
    EXPECT_TRUE(results().ends_with(";1;;Best of 3;Ann;Bob;1;0;Ann\r\n")) << results();
    // The schedule in commas now: the file keeps its semicolons.
    program->folder.writeLines("Matches.csv", {"player1,player2,series", "Ann,Bob,Best of 3", "Cid,Bob,Best of 5"});
    restart();
    chord('2');
    chord('N');
    EXPECT_TRUE(results().ends_with(";2;;Best of 5;Cid;Bob;0;1;Bob\r\n")) << results();
}

TEST_F(MatchDay, RemoteNextAndMatchLoadAMatchTheDaysEndIsAConflictAndEarlierReleasesHaveNone) {
    // Before GO!!! the table waits hidden behind the start dialog: only the reads answer.
    ASSERT_TRUE(program->start());
    ASSERT_TRUE(app().tableLoaded());
    const auto early = request("POST", "/api/action/next", "{}");
    EXPECT_EQ(early.status, 409);
    EXPECT_NE(early.body.find("start dialog is open"), std::string::npos) << early.body;
    EXPECT_EQ(request("GET", "/api/schedule").status, 200);
    EXPECT_EQ(request("POST", "/api/action/score-up", R"({"player":1})").status, 409);
    EXPECT_EQ(table().T1.caption(), "0");
    app().startDialog().inputButtonClicked(app().startDialog().Command1);
    chord('1');
    EXPECT_EQ(request("POST", "/api/action/next", "{}").status, 200);
    EXPECT_EQ(table().P1.caption(), "Cid");
    chord('2');
    EXPECT_EQ(request("POST", "/api/action/match", R"({"index":4})").status, 400);
    auto answer = request("POST", "/api/action/match", R"({"index":3})");
    ASSERT_EQ(answer.status, 200) << answer.body;
    EXPECT_EQ(json::parse(answer.body)["schedule"]["current"], 3);
    EXPECT_EQ(table().P1.caption(), "Bob");
    chord('2');
    answer = request("POST", "/api/action/next", "{}");
    EXPECT_EQ(answer.status, 409);
    EXPECT_NE(answer.body.find("the day's end"), std::string::npos);
    const json schedule = json::parse(request("GET", "/api/schedule").body);
    EXPECT_EQ(schedule["current"], 3);
    EXPECT_EQ(schedule["matches"][0]["state"], "played");
    EXPECT_EQ(schedule["matches"][1]["score2"], 1);
    EXPECT_EQ(schedule["matches"][2]["winner"], "Cid");

    Program old;
    old.folder.writeLines("Matches.csv", {"player1,player2", "Ann,Bob"});
    auto options = ProgramFolder::defaultOptions();
    options.resize(static_cast<std::size_t>(day::optionsGroupLength(day::Release::R097Window)));
    old.folder.writeLines("Options.ini", options);
    ASSERT_TRUE(old.start(day::Release::R097Window)) << old.lastMessage();
    EXPECT_TRUE(old.app->day().empty());
    const remote::Api api({"127.0.0.1", 8421, ""});
    const auto admitted = api.admit({"GET", "/api/schedule", "127.0.0.1:8421", "", "", ""});
    EXPECT_EQ(remote::Api::run(*old.app, std::get<remote::Command>(admitted)).status, 404);
    EXPECT_EQ(json::parse(remote::Api::stateJson(*old.app)).count("schedule"), 0u);
}

TEST_F(MatchDay, TheGamesAreKeptInTheOrderTheirPointsWereScoredUntilAScoreIsTypedInTheMenu) {
    go();
    using Games = std::optional<std::vector<int>>;
    for (int key : {'1', '2', '1', '8', '2'}) chord(key);  // 8 takes back player 1's last game
    EXPECT_EQ(table().games().games(), Games({1, 2, 2}));
    chord('S');
    EXPECT_EQ(table().games().games(), Games({2, 1, 1}));
    menu().scoreBox(1).setText("3");
    menu().inputButtonClicked(menu().Command1);
    EXPECT_EQ(table().games().games(), std::nullopt);
    chord('0');
    EXPECT_EQ(table().games().games(), Games(std::vector<int>{}));
}

TEST_F(MatchDay, TheStreamQueueIsTheDayAndEachResultReachesTheBracketOnceThroughACutAndACrash) {
    program->folder.writeLines("Players.csv", {"name,tag,country", "Arvid,Arvid Lindqvist,Country 7"});
    useBracket();
    ASSERT_TRUE(program->start()) << program->lastMessage();
    program->platform.advance(200);
    auto& dialog = app().startDialog();
    EXPECT_EQ(dialog.Text1.text(), "Moriyama");  // the site's tag, no sponsor prefix
    EXPECT_EQ(dialog.Text2.text(), "Arvid");     // the roster's name for the site's tag
    dialog.inputListPicked(dialog.Combo1, 1);    // English
    dialog.inputButtonClicked(dialog.Command1);
    EXPECT_EQ(table().LiveP1.caption(), "Japan");
    EXPECT_EQ(table().LiveP2.caption(), "Country 7");
    EXPECT_EQ(json::parse(request("GET", "/api/schedule").body)["source"], "start.gg");

    for (int key : {'1', '2', '1'}) chord(key);
    site.offline = true;  // the network goes: the next match is there at once, the result kept
    chord('N');
    EXPECT_EQ(table().P1.caption(), "Okonkwo");
    EXPECT_EQ(table().LiveP1.caption() + "|" + table().LiveP2.caption(), "|");  // no country: never the last
    EXPECT_EQ(site.reports().size(), 0u);
    EXPECT_NE(program->folder.read("Results.csv").find(",8001\r\n"), std::string::npos);
    EXPECT_NE(program->folder.read("Reports.csv").find("waiting"), std::string::npos);

    site.offline = false;
    restart();  // a hard end, and the network back at the restart
    program->platform.advance(1'000);
    ASSERT_EQ(site.reports().size(), 1u);
    EXPECT_EQ(site.reports()[0].setId, "8001");
    EXPECT_EQ(site.reports()[0].winnerId, "9101");
    EXPECT_EQ(site.reports()[0].gameData.size(), 3u);
    EXPECT_EQ(site.reports()[0].gameData[1]["winnerId"], 9102);
    program->platform.advance(300'000);
    EXPECT_EQ(site.reports().size(), 1u);  // confirmed: never again
    // The set with a player not known yet is listed, never loaded.
    const json day = json::parse(request("GET", "/api/schedule").body);
    EXPECT_EQ(day["matches"].back()["player2"], "");
    const std::string last = std::to_string(day["matches"].size());
    EXPECT_EQ(request("POST", "/api/action/match", R"({"index": )" + last + "}").status, 409);

    // An empty queue changes nothing; a rate limit holds the program to a post every 15 s.
    auto scenario = StartGgDouble::defaultScenario();
    scenario["streams"][0]["queue"] = json::array();
    site = StartGgDouble(scenario);
    EXPECT_EQ(request("POST", "/api/action/bracket-refresh", "{}").status, 200);
    program->platform.advance(1'000);
    EXPECT_EQ(json::parse(request("GET", "/api/schedule").body)["matches"], day["matches"]);
    EXPECT_EQ(table().P1.caption(), "Okonkwo");
    site.rateLimited = true;
    const std::size_t before = program->platform.sitePosts().size();
    for (int i = 0; i < 30; ++i) {
        request("POST", "/api/action/bracket-refresh", "{}");
        program->platform.advance(1'000);
    }
    EXPECT_LE(program->platform.sitePosts().size() - before, 3u);
}

TEST_F(MatchDay, AnEventOfManyPagesFillsTheStartDialogAtItsFirstAnswerAndIsTakenWholeAtItsLast) {
    useBracket("tournament/quorvel-open/event/bench-singles");  // 500 sets, ten pages
    program->platform.setSiteLatency(40);
    ASSERT_TRUE(program->start()) << program->lastMessage();
    program->platform.advance(60);
    EXPECT_EQ(app().startDialog().Text1.text(), "Player 1");
    EXPECT_EQ(json::parse(request("GET", "/api/schedule").body)["matches"].size(), 50u);
    program->platform.advance(1'000);
    EXPECT_EQ(json::parse(request("GET", "/api/schedule").body)["matches"].size(), 500u);
    EXPECT_EQ(app().startDialog().Text1.text(), "Player 1");
}

TEST(MatchDayTimes, LeapDaysLeapSecondsAndDaysPastTheMonthsEndCountOnAsTheCalendarDoes) {
    EXPECT_EQ(day::parseIsoTime("2024-02-29T23:59:60+01:00"), 1709247600);
    EXPECT_EQ(day::parseIsoTime("2026-02-30 00:00:00Z"), day::parseIsoTime("2026-03-02T00:00:00Z"));
    EXPECT_EQ(day::parseIsoTime("2100-02-29T00:00:00Z"), day::parseIsoTime("2100-03-01T00:00:00Z"));
    EXPECT_EQ(day::isoLocalTime(1709247600, 60), "2024-03-01T00:00:00+01:00");
    EXPECT_EQ(day::isoLocalTime(-1, -90), "1969-12-31T22:29:59-01:30");
    EXPECT_FALSE(day::parseIsoTime("1970-01-01T00:30:00+01:00"));  // 1969 in universal time
}

TEST_F(MatchDay, SitePostsAreAnsweredOnTheClockInArrivalOrderWhileTheTableTicksAndFilesAreReplacedWhole) {
    go();
    auto& sim = program->platform;
    const long long start = sim.now();
    std::vector<std::string> answers;
    const auto keep = [&](const ui::SiteReply& reply) {
        answers.push_back(std::to_string(reply.status) + " " + reply.body + reply.failure + " @" +
                          std::to_string(sim.now() - start));
    };
    sim.setSite([](const std::string& url, const std::string& token, const std::string& body) {
        return ui::SiteReply{token == "t0ken" ? 200 : 401, url + " " + body, ""};
    });
    sim.postJson("https://site/a", "t0ken", "1", keep);
    sim.setSiteLatency(20);
    sim.postJson("https://site/b", "", "2", keep);  // overtakes the first
    sim.setSiteLatency(60'000);
    sim.postJson("https://site/c", "t0ken", "3", keep);  // a site that never answers
    EXPECT_TRUE(answers.empty());
    const long long polls = sim.keyQueries();
    sim.advance(19);
    EXPECT_TRUE(answers.empty());
    sim.advance(30);
    EXPECT_EQ(answers, (std::vector<std::string>{"401 https://site/b 2 @20"}));
    sim.advance(2);
    EXPECT_EQ(answers, (std::vector<std::string>{"401 https://site/b 2 @20", "200 https://site/a 1 @50"}));
    EXPECT_GT(sim.keyQueries(), polls);  // the key poll went on meanwhile
    sim.setSite(nullptr);
    sim.setSiteLatency(50);
    sim.postJson("https://site/d", "t0ken", "4", keep);
    sim.advance(10'000);
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_EQ(answers[2], "0 no network @101");
    EXPECT_EQ(answers[3], "0 no answer within 10 s @10000");
    ASSERT_EQ(sim.sitePosts().size(), 4u);
    EXPECT_FALSE(sim.sitePosts()[1].withToken);
    EXPECT_EQ(sim.sitePosts()[3].body, "4");

    program->folder.write("Bracket day.json", "old");
    sim.replaceFile("Bracket day.json", "new, whole");
    EXPECT_EQ(program->folder.read("Bracket day.json"), "new, whole");
    sim.setReplaceRefusal("the disk is full");
    EXPECT_THROW(sim.replaceFile("Bracket day.json", "newer"), Error);
    sim.setReplaceRefusal("");
    EXPECT_THROW(sim.replaceFile("No folder\\Bracket day.json", "newer"), Error);
    EXPECT_EQ(program->folder.read("Bracket day.json"), "new, whole");
}

}  // namespace
}  // namespace quorvel::testing
