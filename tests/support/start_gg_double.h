#pragma once
// The bracket site's GraphQL endpoint as the headless backend's posts meet it, without
// sockets; start_gg_double_server.cpp serves the same double on 127.0.0.1 for the
// programs under Wine (tests/e2e/start_gg_double.py drives it).
// It answers the stream queue (`tournament` + `streamQueue`), the event's sets (`event` +
// `sets`) and the report (`reportBracketSet`) in the shapes of the site's developer
// portal, reading the arguments from the variables object (or literals in the query); it
// parses no GraphQL. A report completes its set, which then leaves its stream's queue.
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ui/platform.h"

namespace quorvel::testing {

class StartGgDouble {
public:
    struct Request {
        std::string kind;  // "streamQueue", "eventSets", "report" or "unknown"
        nlohmann::json variables;
        bool tokenOk = false;
        int status = 0;  // 0: no answer (offline, silent)
        long long atMs = 0;
    };
    struct Report {
        std::string setId;
        std::string winnerId;
        nlohmann::json gameData;  // as posted: [{winnerId, gameNum, ...}]
        nlohmann::json isDQ;      // null unless posted
        // "completed", "already" (the same winner again), "other winner", "not allowed",
        // "invalid", "unknown set"
        std::string outcome;
    };

    static constexpr int kRateLimit = 80;  // requests in any 60 s
    static constexpr long long kRateWindowMs = 60'000;
    static constexpr int kMaxObjects = 1000;  // objects a request may return

    // The shared test scenario (tests/support/start_gg_scenario.json), or another.
    StartGgDouble();
    explicit StartGgDouble(const nlohmann::json& scenario);
    static nlohmann::json defaultScenario();

    // The site's answer to `body` posted to `url` with `token` as the bearer.
    ui::SiteReply answer(const std::string& url, const std::string& token, const std::string& body);

    // Switches. Offline: refused at once; silent: no answer within the time-out; a
    // failure status (5xx) with an HTML page; every answer "Rate limit exceeded"; the
    // token's user may not report.
    bool offline = false;
    bool silent = false;
    int failureStatus = 0;
    bool rateLimited = false;
    bool mayReport = true;
    // Milliseconds for the 60 s window; the steady clock unless a test gives its own.
    std::function<long long()> clock;

    const std::string& token() const { return token_; }
    const std::vector<Request>& requests() const { return requests_; }
    const std::vector<Report>& reports() const { return reports_; }
    int count(const std::string& kind) const;
    // Requests with the right token in the 60 s before now.
    int requestsInWindow() const;
    // A set's state as the site holds it (ActivityState: 1 created ... 3 completed).
    int setState(const std::string& setId) const;

private:
    std::pair<int, nlohmann::json> streamQueue(const std::string& query, const nlohmann::json& variables) const;
    std::pair<int, nlohmann::json> eventSets(const std::string& query, const nlohmann::json& variables) const;
    std::pair<int, nlohmann::json> report(const std::string& query, const nlohmann::json& variables);
    nlohmann::json setNode(const nlohmann::json& set) const;
    nlohmann::json entrantNode(const nlohmann::json& id) const;
    long long now() const;

    nlohmann::json scenario_;
    std::string token_;
    std::map<std::string, nlohmann::json> entrants_;
    std::vector<nlohmann::json> sets_;  // in call order
    std::vector<Request> requests_;
    std::vector<Report> reports_;
};

}  // namespace quorvel::testing
