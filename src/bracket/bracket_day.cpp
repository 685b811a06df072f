#include "bracket/bracket_day.h"

#include <algorithm>
#include <utility>

#include "bracket/kept_day.h"
#include "ui/error.h"

namespace quorvel::bracket {
namespace {

constexpr int kTickMs = 1000;

// What a failure means for the operator, after the file's name.
std::string failureText(const SiteAnswer& answer, const std::string& what) {
    switch (answer.outcome) {
        case Outcome::TokenRefused:
            return answer.reason + "; the token line needs a personal access token of start.gg's developer settings";
        case Outcome::NotFound: return answer.reason;
        case Outcome::RateLimited: return "start.gg asks for fewer requests (" + answer.reason + "); the program waits";
        case Outcome::Refused: return "start.gg refused " + what + ": " + answer.reason;
        case Outcome::Unavailable:
        case Outcome::Answer: break;
    }
    return "Nothing came from start.gg for " + what + " (" + answer.reason + ")";
}

}  // namespace

std::string seriesCaption(int totalGames) { return totalGames > 0 ? "Best of " + std::to_string(totalGames) : ""; }

BracketDay::BracketDay(ui::Runtime& runtime, BracketFile file, std::string iniPath, std::string keptDayPath,
                       std::string reportsPath)
    : runtime_(runtime),
      file_(std::move(file)),
      iniPath_(std::move(iniPath)),
      keptDayPath_(std::move(keptDayPath)),
      reports_(runtime.platform(), std::move(reportsPath)),
      timer_(runtime, "Bracket", kTickMs, false),
      alive_(std::make_shared<BracketDay*>(this)) {
    timer_.onTick = [this] { tick(); };
}

BracketDay::~BracketDay() { *alive_ = nullptr; }

void BracketDay::start() {
    const std::string damaged = reports_.load();
    if (!damaged.empty()) onTell(damaged, reports_.path());
    try {
        if (const auto kept = readKeptDay(runtime_.platform(), keptDayPath_); kept && keptFor(*kept, file_)) {
            fetchedAt_ = kept->fetched;
            if (!kept->sets.empty()) handOver(kept->sets);
        }
    } catch (const Error& error) {
        onTell(std::string(error.what()) + "\nThe day is fetched from start.gg again.", keptDayPath_);
    }
    timer_.setEnabled(true);
    fetch();
    // The results a program left waiting (a network cut, a hard end) go first thing.
    for (const Report* waiting : reports_.waiting()) {
        retries_[waiting->setId] = Retry{};
        postReport(*waiting);
    }
}

void BracketDay::refresh() { nextFetchMs_ = nowMs_; if (!fetching_) fetch(); }

void BracketDay::tick() {
    nowMs_ += kTickMs;
    if (!fetching_ && nowMs_ >= nextFetchMs_) fetch();
    // Each result not yet taken has its retry; nothing is made anew while none waits.
    for (const auto& [setId, retry] : retries_) {
        const Report* waiting = reports_.find(setId);
        if (waiting && !posting_[setId] && nowMs_ >= retry.atMs) postReport(*waiting);
    }
}

bool BracketDay::post(const std::string& body, std::function<void(const ui::SiteReply&)> done) {
    if (!budget_.mayPost(nowMs_)) return false;
    budget_.posted(nowMs_);
    std::weak_ptr<BracketDay*> alive = alive_;
    runtime_.platform().postJson(file_.endpoint, file_.token, body, [alive, done = std::move(done)](ui::SiteReply reply) {
        // An answer is an event of its own, as a click is.
        if (const auto day = alive.lock(); day && *day) (*day)->runtime_.dispatch([&] { done(reply); });
    });
    return true;
}

void BracketDay::fetch() {
    nextFetchMs_ = nowMs_ + kFetchEveryMs;
    pages_.clear();
    const std::string body = file_.stream ? streamQueueRequest(file_) : eventSetsRequest(file_, 1);
    fetching_ = post(body, [this](const ui::SiteReply& reply) { fetched(1, reply); });
    if (!fetching_) nextFetchMs_ = budget_.nextPostAt(nowMs_);
}

void BracketDay::fetched(int page, const ui::SiteReply& reply) {
    const DayAnswer answer = file_.stream ? readStreamQueue(reply.status, reply.body, reply.failure, file_)
                                          : readEventSets(reply.status, reply.body, reply.failure, file_);
    answered(answer.answer.outcome);
    if (answer.answer.outcome != Outcome::Answer) {
        fetching_ = false;
        tellOnce(answer.answer, file_.stream ? "the stream " + *file_.stream + " of " + file_.event : file_.event);
        if (onChange) onChange();
        return;
    }
    pages_.insert(pages_.end(), answer.sets.begin(), answer.sets.end());
    if (!file_.stream && page < std::min(answer.totalPages, kMaxPages)) {
        // The event's next page, as soon as the site's rules allow: a day is taken whole,
        // but a program with no day yet shows the first sets at once (the start dialog
        // fills after one answer, not after every page).
        if (post(eventSetsRequest(file_, page + 1), [this, page](const ui::SiteReply& next) { fetched(page + 1, next); })) {
            if (!handedOver_ && !pages_.empty()) handOver(pages_);
            return;
        }
    }
    fetching_ = false;
    fetchedAt_ = runtime_.platform().wallClockSeconds();
    if (!pages_.empty()) {
        keep(pages_);
        handOver(pages_);
    }
    if (onChange) onChange();
}

void BracketDay::handOver(const std::vector<BracketSet>& sets) {
    handedOver_ = true;
    onDay(sets);
}

void BracketDay::keep(const std::vector<BracketSet>& sets) {
    KeptDay day{file_.event, file_.stream, *fetchedAt_, sets};
    try {
        runtime_.platform().replaceFile(keptDayPath_, keptDayText(day));
    } catch (const Error& error) {
        onTell(std::string(error.what()) + "\nWithout it a program started without network opens without the day.",
               keptDayPath_);
    }
}

void BracketDay::report(const std::string& setId, const std::string& winnerId, std::vector<Game> games) {
    std::string message;
    const bool added = reports_.addWaiting(setId, winnerId, games, message);
    if (!message.empty()) onTell(message, reports_.path());
    if (!added) return;
    retries_[setId] = Retry{};
    if (const Report* waiting = reports_.find(setId)) postReport(*waiting);
    if (onChange) onChange();
}

void BracketDay::postReport(const Report& report) {
    const std::string setId = report.setId;
    const std::string winnerId = report.winnerId;
    const bool posted = post(reportRequest(setId, winnerId, report.games),
                             [this, setId, winnerId](const ui::SiteReply& reply) { reported(setId, winnerId, reply); });
    posting_[setId] = posted;
    if (!posted) retries_[setId].atMs = budget_.nextPostAt(nowMs_);
}

void BracketDay::reported(const std::string& setId, const std::string& winnerId, const ui::SiteReply& reply) {
    posting_[setId] = false;
    const SiteAnswer answer = readReportAnswer(reply.status, reply.body, reply.failure, winnerId);
    answered(answer.outcome);
    std::string message;
    switch (answer.outcome) {
        case Outcome::Answer:
            message = reports_.confirm(setId);
            retries_.erase(setId);
            refresh();  // the site has moved on: the day as it stands now
            break;
        case Outcome::Refused:
        case Outcome::NotFound:
            message = reports_.refuse(setId, answer.reason);
            retries_.erase(setId);
            tellOnce(answer, "the result of set " + setId);
            break;
        case Outcome::RateLimited:
        case Outcome::TokenRefused:
        case Outcome::Unavailable: {
            Retry& retry = retries_[setId];
            retry.atMs = std::max(nowMs_ + retry.waitMs, budget_.nextPostAt(nowMs_));
            retry.waitMs = std::min(retry.waitMs * 2, kLongestRetryMs);
            tellOnce(answer, "the result of set " + setId);
            break;
        }
    }
    if (!message.empty()) onTell(message, reports_.path());
    if (onChange) onChange();
}

void BracketDay::answered(Outcome outcome) {
    budget_.answered(outcome);
    if (outcome == Outcome::Unavailable) {
        if (!offlineSince_) offlineSince_ = runtime_.platform().wallClockSeconds();
    } else {
        offlineSince_.reset();
    }
}

void BracketDay::tellOnce(const SiteAnswer& answer, const std::string& what) {
    onTell(failureText(answer, what) + ". The program goes on with the day it has.", iniPath_);
}

}  // namespace quorvel::bracket
