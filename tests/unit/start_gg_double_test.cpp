// The bracket site's test double for the headless backend, as the Python one behaves.
#include "support/start_gg_double.h"

#include <gtest/gtest.h>

namespace quorvel::testing {
namespace {

using nlohmann::json;

const char* const kUrl = "http://127.0.0.1:8088/gql/alpha";
const char* const kQueue =
    "query Q($slug: String!) { tournament(slug: $slug) { streamQueue { stream { streamName } sets { id } } } }";
const char* const kReport =
    "mutation R($setId: ID!, $winnerId: ID!) { reportBracketSet(setId: $setId, winnerId: $winnerId, "
    "gameData: [{winnerId: 9101, gameNum: 1}, {winnerId: 9101, gameNum: 2}]) { id state winnerId } }";

json post(StartGgDouble& site, const std::string& query, const json& variables, int status = 200,
          const std::string& token = "") {
    const ui::SiteReply reply = site.answer(kUrl, token.empty() ? site.token() : token,
                                            json{{"query", query}, {"variables", variables}}.dump());
    EXPECT_EQ(reply.status, status) << reply.body;
    return json::parse(reply.body, nullptr, false);
}

std::string sets(int perPage) {
    return "query { event(slug: \"tournament/quorvel-open/event/main-singles\") { sets(page: 3, perPage: " +
           std::to_string(perPage) + ", filters: {state: [1, 2, 4]}) { pageInfo { totalPages } nodes { id } } } }";
}

TEST(StartGgDouble, AnswersTheQueueTheEventsSetsAndReportsInTheDocumentedShapes) {
    StartGgDouble site;
    const json queues = post(site, kQueue, {{"slug", "quorvel-open"}})["data"]["tournament"]["streamQueue"];
    ASSERT_EQ(queues.size(), 2u);
    EXPECT_EQ(queues[1]["stream"]["streamName"], "quorvel_side");
    const json& first = queues[0]["sets"][0];
    EXPECT_EQ(first["slots"][0]["entrant"]["participants"][0]["user"]["location"]["country"], "Japan");
    EXPECT_EQ(first["slots"][0]["entrant"]["name"], "RVN | Moriyama");
    EXPECT_TRUE(queues[0]["sets"][2]["slots"][1]["entrant"].is_null());
    const json page = post(site, sets(2), json::object())["data"]["event"]["sets"];
    EXPECT_EQ(page["pageInfo"]["totalPages"], 3);
    ASSERT_EQ(page["nodes"].size(), 1u);
    EXPECT_EQ(page["nodes"][0]["id"], 8006);
    EXPECT_NE(post(site, sets(91), json::object())["message"].get<std::string>().find("complexity"), std::string::npos);

    EXPECT_EQ(post(site, kReport, {{"setId", 8001}, {"winnerId", 9101}}),
              json::parse(R"({"data": {"reportBracketSet": [{"id": 8001, "state": 3, "winnerId": 9101}]}})"));
    EXPECT_EQ(post(site, kQueue, {{"slug", "quorvel-open"}})["data"]["tournament"]["streamQueue"][0]["sets"][0]["id"],
              8002);
    const json again = post(site, kReport, {{"setId", "8001"}, {"winnerId", "9101"}});
    EXPECT_EQ(again, post(site, kReport, {{"setId", "8001"}, {"winnerId", "9102"}}));
    EXPECT_EQ(again["data"]["reportBracketSet"][0]["winnerId"], 9101);
    ASSERT_EQ(site.reports().size(), 3u);
    EXPECT_EQ(site.reports()[0].gameData.size(), 2u);
    EXPECT_EQ(site.reports()[1].outcome + "," + site.reports()[2].outcome, "already,other winner");
    EXPECT_EQ(site.count("streamQueue"), 2);
}

TEST(StartGgDouble, RefusesATokenFailsOnDemandAndKeepsTheRateLimit) {
    StartGgDouble site;
    long long now = 0;
    site.clock = [&] { return now; };
    EXPECT_EQ(post(site, kQueue, json::object(), 401, "wrong")["message"], "Invalid authentication token");
    site.failureStatus = 503;
    EXPECT_TRUE(post(site, kQueue, json::object(), 503).is_discarded());
    site.failureStatus = 0;
    site.offline = true;
    EXPECT_EQ(site.answer(kUrl, site.token(), "{}").failure.substr(0, 10), "no network");
    site.offline = false;
    now = 1000;
    for (int i = 0; i < 79; ++i) post(site, kQueue, {{"slug", "quorvel-open"}});
    EXPECT_EQ(post(site, kQueue, json::object(), 429)["message"], "Rate limit exceeded - api-token");
    now = 60'000;  // the 5xx leaves the window, the refused one stays in it
    EXPECT_EQ(site.requestsInWindow(), 80);
    post(site, kQueue, json::object(), 429);
    now = 61'000;
    post(site, kQueue, {{"slug", "quorvel-open"}});
    EXPECT_EQ(site.requests().size(), 84u);
}

}  // namespace
}  // namespace quorvel::testing
