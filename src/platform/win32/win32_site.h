#pragma once
// Posts to web sites with WinHTTP, the system's HTTP client: its certificate checks, its
// proxy settings, no library of our own. A request runs on a worker thread of its own;
// the answer comes back on that thread, for the platform to hand to the UI thread.
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "ui/platform.h"

namespace quorvel::win32 {

using SiteClock = std::chrono::steady_clock;

// A WinHTTP session (synchronous), with the system's proxy settings. Opening it may fail
// (a system without WinHTTP): then `handle()` is nullptr and `failure()` says why.
class SiteSession {
public:
    SiteSession();
    ~SiteSession();
    SiteSession(const SiteSession&) = delete;
    SiteSession& operator=(const SiteSession&) = delete;
    HINTERNET handle() const { return session_; }
    const std::string& failure() const { return failure_; }

private:
    HINTERNET session_ = nullptr;
    std::string failure_;
};

// Posts `body` as JSON to `url`, with `token` (if any) as "Authorization: Bearer", and
// waits for the answer, giving up at `deadline`. Redirects are not followed, so the token
// goes to `url` and nowhere else. A failure says why in words and never holds the token.
ui::SiteReply postJsonNow(const SiteSession& session, const std::string& url, const std::string& token,
                          const std::string& body, SiteClock::time_point deadline);

// The answer when none came within Platform::kSiteTimeoutSeconds.
ui::SiteReply noAnswerInTime();

// The worker thread that runs posts one after the other, in the order given.
class SitePoster {
public:
    // Runs on the worker thread with the answer.
    using Answer = std::function<void(ui::SiteReply)>;
    SitePoster();
    // Stops the worker: the post under way ends within its own time, those waiting are
    // dropped without an answer.
    ~SitePoster();
    SitePoster(const SitePoster&) = delete;
    SitePoster& operator=(const SitePoster&) = delete;

    void post(std::string url, std::string token, std::string body, SiteClock::time_point deadline, Answer answer);

private:
    struct Job {
        std::string url;
        std::string token;
        std::string body;
        SiteClock::time_point deadline;
        Answer answer;
    };
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread thread_;  // last: started once the rest is ready
};

}  // namespace quorvel::win32
