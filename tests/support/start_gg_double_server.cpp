// The bracket site's double (start_gg_double.h) on 127.0.0.1, for the programs under Wine:
// POST /gql/alpha on the site's port, and beside it a control port with GET /record (the
// requests and reports so far) and POST /control (its switches). Going offline closes
// the site's port, so that the program's connection is refused, and keeps the day and
// the reports for when it comes back on the same port.
//
//   quorvel_site_double [--scenario FILE.json] [--offline]
//
// prints "site PORT control PORT" on its first line once both listen, and runs until
// its standard input closes or it is ended.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "support/start_gg_double.h"

namespace {

using nlohmann::json;
using quorvel::testing::StartGgDouble;

class Served {
public:
    explicit Served(const json& scenario) : double_(scenario) {}

    // Binds the site's port (the one it had before, once it has one) and serves it.
    bool goOnline() {
        if (site_) return true;
        site_ = std::make_unique<httplib::Server>();
        site_->Post(".*", [this](const httplib::Request& request, httplib::Response& response) {
            answer(request, response);
        });
        if (port_ == 0) {
            port_ = site_->bind_to_any_port("127.0.0.1");
        } else if (!site_->bind_to_port("127.0.0.1", port_)) {
            site_.reset();
            return false;
        }
        if (port_ <= 0) return false;
        thread_ = std::thread([server = site_.get()] { server->listen_after_bind(); });
        site_->wait_until_ready();
        return true;
    }

    void goOffline() {
        if (!site_) return;
        release();
        site_->stop();
        thread_.join();
        site_.reset();
    }

    json record() {
        const std::lock_guard<std::mutex> lock(mutex_);
        json requests = json::array();
        for (const auto& r : double_.requests())
            requests.push_back(
                {{"kind", r.kind}, {"variables", r.variables}, {"tokenOk", r.tokenOk}, {"status", r.status}});
        json reports = json::array();
        for (const auto& r : double_.reports())
            reports.push_back({{"setId", r.setId},
                               {"winnerId", r.winnerId},
                               {"gameData", r.gameData},
                               {"isDQ", r.isDQ},
                               {"outcome", r.outcome}});
        return {{"requests", requests}, {"reports", reports}, {"held", held_.load()},
                {"inWindow", double_.requestsInWindow()}, {"token", double_.token()}, {"offline", !site_}};
    }

    // {"offline": bool, "status": 5xx or 0, "rateLimited": bool, "mayReport": bool,
    //  "stall": bool (answers held until false), "holdMs": every answer held this long}
    bool control(const json& change) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (change.contains("status")) double_.failureStatus = change["status"].is_number() ? change["status"].get<int>() : 0;
            if (change.contains("rateLimited")) double_.rateLimited = change["rateLimited"].get<bool>();
            if (change.contains("mayReport")) double_.mayReport = change["mayReport"].get<bool>();
            if (change.contains("holdMs")) holdMs_ = change["holdMs"].get<long long>();
            if (change.contains("stall")) stalled_ = change["stall"].get<bool>();
        }
        held_changed_.notify_all();
        if (change.contains("offline")) return change["offline"].get<bool>() ? (goOffline(), true) : goOnline();
        return true;
    }

    int port() const { return port_; }
    ~Served() { goOffline(); }

private:
    void answer(const httplib::Request& request, httplib::Response& response) {
        std::string token = request.get_header_value("Authorization");
        token = token.rfind("Bearer ", 0) == 0 ? token.substr(7) : std::string();
        {
            // Held before the site sees it, as a slow network would: the hold ends early
            // when the site goes offline.
            std::unique_lock<std::mutex> lock(mutex_);
            ++held_;
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(holdMs_);
            held_changed_.wait_until(lock, until, [this] { return releasing_; });
            held_changed_.wait(lock, [this] { return !stalled_ || releasing_; });
            --held_;
        }
        held_changed_.notify_all();
        const std::lock_guard<std::mutex> lock(mutex_);
        const quorvel::ui::SiteReply reply = double_.answer(request.path, token, request.body);
        response.status = reply.status;
        const bool page = !reply.body.empty() && reply.body[0] == '<';
        response.set_content(reply.body, page ? "text/html" : "application/json");
    }

    // Lets every held answer go, so that the server can stop.
    void release() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            releasing_ = true;
        }
        held_changed_.notify_all();
        std::unique_lock<std::mutex> lock(mutex_);
        held_changed_.wait(lock, [this] { return held_ == 0; });
        releasing_ = false;
    }

    StartGgDouble double_;
    std::mutex mutex_;
    std::condition_variable held_changed_;
    std::atomic<int> held_{0};
    long long holdMs_ = 0;
    bool stalled_ = false;
    bool releasing_ = false;
    std::unique_ptr<httplib::Server> site_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    json scenario = StartGgDouble::defaultScenario();
    bool offline = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--scenario" && i + 1 < argc) {
            std::ifstream in(argv[++i]);
            scenario = json::parse(in, nullptr, false);
            if (scenario.is_discarded()) {
                std::cerr << argv[i] << ": not a JSON scenario\n";
                return 2;
            }
        } else if (arg == "--offline") {
            offline = true;
        } else {
            std::cerr << "usage: quorvel_site_double [--scenario FILE.json] [--offline]\n";
            return 2;
        }
    }
    Served served(scenario);
    if (!served.goOnline()) {
        std::cerr << "the site's port could not be bound on 127.0.0.1\n";
        return 1;
    }
    if (offline) served.goOffline();

    httplib::Server control;
    control.Get("/record", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(served.record().dump(), "application/json");
    });
    control.Post("/control", [&](const httplib::Request& request, httplib::Response& response) {
        const json change = json::parse(request.body, nullptr, false);
        if (!change.is_object() || !served.control(change)) {
            response.status = 400;
            response.set_content(R"({"error": "not a change, or the site's port is taken"})", "application/json");
            return;
        }
        response.set_content(served.record().dump(), "application/json");
    });
    const int controlPort = control.bind_to_any_port("127.0.0.1");
    std::thread controlThread([&] { control.listen_after_bind(); });
    control.wait_until_ready();
    std::cout << "site " << served.port() << " control " << controlPort << std::endl;

    // Ends when the test closes the pipe (or ends the process).
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    control.stop();
    controlThread.join();
    return 0;
}
