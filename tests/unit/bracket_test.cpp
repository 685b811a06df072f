// The day from the bracket site: Bracket.ini's refusals, the site's answers read, the
// request budget and the reports kept in Reports.csv.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bracket/reports_file.h"
#include "bracket/request_budget.h"
#include "platform/sim/sim_platform.h"
#include "scenario/program_folder.h"
#include "ui/error.h"

namespace quorvel::bracket {
namespace {

const std::string kIni = "C:\\Quorvel\\Bracket.ini";
const std::string kToken = "tok3n-s3cret-value";
const std::string kBase = "site=start.gg\nevent=tournament/cup/event/singles\ntoken=" + kToken + "\n";

TEST(BracketFile, ReadsTheAddressOrTheSlugAndEndpointsOfThisMachine) {
    BracketFile file = parseBracketFile("; day\r\nSite = start.gg\r\nevent=https://www.start.gg/tournament/cup-26/event/"
                                        "singles/overview?x=1\r\nstream=Main TV\r\ntoken=" + kToken + "\r\n", kIni);
    EXPECT_EQ(file.tournament, "cup-26");
    EXPECT_EQ(file.event, "tournament/cup-26/event/singles");
    EXPECT_EQ(file.stream, "Main TV");
    EXPECT_EQ(file.endpoint, "https://api.start.gg/gql/alpha");
    for (const char* endpoint : {"http://127.0.0.1:8765/gql", "http://localhost/gql", "http://[::1]:80/", "http://127.9.8.7"})
        EXPECT_EQ(parseBracketFile(kBase + "endpoint=" + endpoint, kIni).endpoint, endpoint);
}

TEST(BracketFile, RefusesNamingTheLineAndTheKeyNeverTheToken) {
    const struct { std::string text; std::size_t line; const char* says; } cases[] = {
        {kBase + "colour=red", 4, "the key \"colour\" is not one of"},
        {kBase + "just words", 4, "key=value"},
        {kBase + "token=other", 4, "token is given twice"},
        {"site=challonge\n" + kBase.substr(14), 1, "site: the one site known is start.gg"},
        {"site=start.gg\nevent=https://www.start.gg/tournament/cup/overview\ntoken=" + kToken, 2, "event: give"},
        {"site=start.gg\nevent=https://evil.example/tournament/cup/event/x\ntoken=" + kToken, 2, "event: give"},
        {kBase + "endpoint=http://api.start.gg/gql/alpha", 4, "clear text"},
        {kBase + "endpoint=http://127.0.0.1.example.org/", 4, "clear text"},
        {kBase + "endpoint=http://127.0.0.1@example.org/", 4, "clear text"},
        {kBase + "endpoint=ftp://api.start.gg/", 4, "not an https:// address"},
        {"site=start.gg\nevent=tournament/cup/event/singles\ntoken=" + kToken + " x", 3, "token: the token holds"},
        {"site=start.gg\nevent=tournament/cup/event/singles\n", 0, "the key token is missing"},
        {"site=start.gg\ntoken=" + kToken, 0, "the key event is missing"},
    };
    for (const auto& c : cases) {
        try {
            parseBracketFile(c.text, kIni);
            ADD_FAILURE() << "read: " << c.text;
        } catch (const Error& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(c.says), std::string::npos) << message;
            EXPECT_EQ(message.find(kToken), std::string::npos) << message;
            EXPECT_EQ(error.file(), kIni);
            EXPECT_EQ(error.line(), c.line) << message;
        }
    }
}

std::string player(int id, const char* tag, const char* country) {
    return std::string("{\"entrant\":{\"id\":") + std::to_string(id) + ",\"name\":\"C9 | " + tag +
           "\",\"participants\":[{\"prefix\":\"C9\",\"gamerTag\":\"" + tag + "\",\"user\":" +
           (country ? std::string("{\"location\":{\"country\":\"") + country + "\"}}" : "null") + "}]}}";
}

TEST(StartGg, QueueOfTheNamedStreamIsReadIntoSets) {
    BracketFile file = parseBracketFile(kBase + "stream=main", kIni);
    const std::string body = "{\"data\":{\"tournament\":{\"streamQueue\":[{\"stream\":{\"streamName\":\"Side\"},"
                             "\"sets\":[{\"id\":9}]},{\"stream\":{\"streamName\":\"Main\"},\"sets\":["
                             "{\"id\":71,\"fullRoundText\":\"Winners Final\",\"totalGames\":3,\"startAt\":1765360800,"
                             "\"state\":2,\"slots\":[" + player(100, "Ann", "Japan") + "," + player(200, "Bob", nullptr) +
                             "]},{\"id\":70,\"state\":3},{\"id\":\"72\",\"slots\":[{\"entrant\":null}," +
                             player(300, "Cid", "") + "]}]}]}}}";
    const DayAnswer day = readStreamQueue(200, body, "", file);
    ASSERT_EQ(day.answer.outcome, Outcome::Answer) << day.answer.reason;
    ASSERT_EQ(day.sets.size(), 2u);  // the completed set 70 left out
    const BracketSet& first = day.sets[0];
    EXPECT_EQ(first.id, "71");
    EXPECT_EQ(first.round, "Winners Final");
    EXPECT_EQ(first.totalGames, 3);
    EXPECT_EQ(first.startAt, 1765360800);
    EXPECT_EQ(first.player1->id, "100");
    EXPECT_EQ(first.player1->name, "Ann");  // the gamerTag, without the sponsor prefix
    EXPECT_EQ(first.player1->country, "Japan");
    EXPECT_EQ(first.player2->country, "");
    EXPECT_FALSE(day.sets[1].player1);  // not yet known
    EXPECT_EQ(day.sets[1].player2->name, "Cid");

    file.stream = "Gone";
    EXPECT_EQ(readStreamQueue(200, body, "", file).answer.outcome, Outcome::Answer);  // nothing queued on it
    EXPECT_TRUE(readStreamQueue(200, body, "", file).sets.empty());
    const DayAnswer empty = readStreamQueue(200, R"({"data":{"tournament":{"streamQueue":null}}})", "", file);
    EXPECT_EQ(empty.answer.outcome, Outcome::Answer);
    EXPECT_TRUE(empty.sets.empty());
}

TEST(StartGg, ReportIsSentWithItsGamesInOrderAndItsAnswerClassified) {
    const auto request = nlohmann::json::parse(reportRequest("71", "100", {{"100"}, {"200"}, {"100"}}));
    EXPECT_EQ(request["variables"]["gameData"][1], nlohmann::json({{"winnerId", 200}, {"gameNum", 2}}));
    EXPECT_FALSE(nlohmann::json::parse(reportRequest("71", "100", {}))["variables"].contains("gameData"));
    const struct { int status; std::string body; Outcome outcome; const char* says; } cases[] = {
        {200, R"({"data":{"reportBracketSet":[{"id":71,"state":3,"winnerId":100}]}})", Outcome::Answer, ""},
        {200, R"({"errors":[{"message":"Set already completed"}],"data":{"reportBracketSet":[{"id":71,"winnerId":"100"}]}})",
         Outcome::Answer, ""},
        {200, R"({"data":{"reportBracketSet":[{"id":71,"state":3,"winnerId":200}]}})", Outcome::Refused, "another winner"},
        {200, R"({"errors":[{"message":"You do not have permission to report this set"}]})", Outcome::Refused,
         "do not have permission"},
        {200, R"({"success":false,"message":"Rate limit exceeded - api-token"})", Outcome::RateLimited, "Rate limit"},
        {429, "", Outcome::RateLimited, "Rate limit"},
        {401, R"({"success":false,"message":"Invalid authentication token"})", Outcome::TokenRefused, "Invalid auth"},
        {503, "<html>down</html>", Outcome::Unavailable, "HTTP 503"},
        {0, "", Outcome::Unavailable, "no network"},
        {200, "<html>a portal</html>", Outcome::Unavailable, "not start.gg's"},
    };
    for (const auto& c : cases) {
        const SiteAnswer answer = readReportAnswer(c.status, c.body, c.status ? "" : "no network", "100");
        EXPECT_EQ(answer.outcome, c.outcome) << c.body;
        EXPECT_NE(answer.reason.find(c.says), std::string::npos) << answer.reason;
    }
}

TEST(RequestBudget, EightyPostsInAnySixtySecondsAndFifteenAfterARateLimit) {
    RequestBudget budget;
    for (long long t = 0; t < 80; ++t) {
        ASSERT_TRUE(budget.mayPost(t * 100));
        budget.posted(t * 100);
    }
    EXPECT_FALSE(budget.mayPost(59'999));
    EXPECT_EQ(budget.nextPostAt(10'000), 60'000);  // the first post leaves the window
    budget.posted(60'000);
    EXPECT_EQ(budget.nextPostAt(60'000), 60'100);
    budget.answered(Outcome::RateLimited);
    EXPECT_EQ(budget.nextPostAt(100'000), 100'000);
    budget.posted(100'000);
    budget.answered(Outcome::Unavailable);  // no answer: still backing off
    EXPECT_EQ(budget.nextPostAt(100'001), 115'000);
    budget.answered(Outcome::Answer);
    EXPECT_TRUE(budget.mayPost(100'001));
}

TEST(ReportsFile, EachSetIsReportedOnceAndTheFoldSurvivesARestartAndADamagedRow) {
    testing::ProgramFolder folder;
    sim::SimPlatform platform(folder.path());
    const std::string path = folder.path() + "\\Reports.csv";
    ReportsFile reports(platform, path);
    std::string message;
    platform.setWriteRefusal("the file is open in another program");
    EXPECT_TRUE(reports.addWaiting("71", "100", {{"100"}, {"200"}, {"100"}}, message));
    EXPECT_NE(message.find("kept"), std::string::npos);
    platform.setWriteRefusal("");
    EXPECT_FALSE(reports.addWaiting("71", "200", {}, message));  // reported once
    EXPECT_TRUE(reports.addWaiting("72", "300", {}, message));  // writes 71's row too
    EXPECT_EQ(reports.refuse("72", "another winner, \"Bob\""), "");
    folder.write("Reports.csv", platform.readFile(path) + "2026-12-10T10:00:00Z,73,sent,1,,\r\n");

    ReportsFile again(platform, path);
    message = again.load();
    EXPECT_NE(message.find("line 5"), std::string::npos) << message;
    ASSERT_EQ(again.waiting().size(), 1u);
    EXPECT_EQ(again.waiting()[0]->games.size(), 3u);
    EXPECT_EQ(again.waiting()[0]->games[1].winnerId, "200");
    EXPECT_EQ(again.confirm("71"), "");
    again.load();
    EXPECT_EQ(again.find("71")->state, ReportState::Confirmed);
    EXPECT_EQ(again.find("72")->reason, "another winner, \"Bob\"");
    EXPECT_EQ(again.find("73"), nullptr);
    EXPECT_FALSE(again.addWaiting("72", "200", {}, message));
}

}  // namespace
}  // namespace quorvel::bracket
