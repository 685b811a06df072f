#pragma once
// The day from the bracket site, as the program runs it: every request off the UI thread
// (Platform::postJson), its answer handed over as finished data. The day is fetched at the
// start, every 60 s, at once after a report is confirmed and when asked; an answer without
// sets, or a failure, changes nothing of the day the program has. The last day fetched is
// kept beside the program, so a program started without network opens on it. Each result
// is kept in Reports.csv before it is posted and posted again, with a growing wait, until
// the site takes or refuses it: it reaches the site once, through a network cut and a
// crash. Every failure is told once, naming Bracket.ini and the site's or the system's
// reason; the token is named nowhere.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bracket/bracket_file.h"
#include "bracket/reports_file.h"
#include "bracket/request_budget.h"
#include "bracket/start_gg.h"
#include "ui/runtime.h"
#include "ui/timer.h"

namespace quorvel::bracket {

class BracketDay {
public:
    // `iniPath` names Bracket.ini in messages; the kept day and Reports.csv are at the paths
    // given.
    BracketDay(ui::Runtime& runtime, BracketFile file, std::string iniPath, std::string keptDayPath,
               std::string reportsPath);
    ~BracketDay();
    BracketDay(const BracketDay&) = delete;
    BracketDay& operator=(const BracketDay&) = delete;

    // A day fetched (or the kept one), never an empty one: the program takes it as its
    // schedule.
    std::function<void(const std::vector<BracketSet>&)> onDay;
    // A problem that ends nothing, to tell once, with the file it concerns.
    std::function<void(const std::string& text, const std::string& file)> onTell;
    // Something the control page shows changed (a fetch, a report's state).
    std::function<void()> onChange;

    // The kept day when it was fetched for this Bracket.ini, the reports not yet taken,
    // then a fetch. Told what a damaged file holds.
    void start();
    // A fetch as soon as the site's rules allow (the remote's bracket-refresh).
    void refresh();
    // The result of set `setId`: kept in Reports.csv, then posted. A set reported already
    // is not reported again.
    void report(const std::string& setId, const std::string& winnerId, std::vector<Game> games);

    const BracketFile& file() const { return file_; }
    const ReportsFile& reports() const { return reports_; }
    // When the last day came (seconds since 1970), and since when the site has not
    // answered (none while it answers).
    std::optional<long long> fetchedAt() const { return fetchedAt_; }
    std::optional<long long> offlineSince() const { return offlineSince_; }
    std::size_t waitingReports() const { return reports_.waiting().size(); }

    static constexpr long long kFetchEveryMs = 60'000;
    // A report not confirmed is posted again after 5 s, then twice as long each time, up to
    // 5 minutes.
    static constexpr long long kFirstRetryMs = 5'000;
    static constexpr long long kLongestRetryMs = 300'000;

private:
    struct Retry {
        long long atMs = 0;
        long long waitMs = kFirstRetryMs;
    };

    void tick();
    void fetch();
    void fetched(int page, const ui::SiteReply& reply);
    void postReport(const Report& report);
    void reported(const std::string& setId, const std::string& winnerId, const ui::SiteReply& reply);
    // Posts `body` within the site's rules; false when they do not allow it now.
    bool post(const std::string& body, std::function<void(const ui::SiteReply&)> done);
    // An answer of the site or the network, for the back-off and the offline time.
    void answered(Outcome outcome);
    void tellOnce(const SiteAnswer& answer, const std::string& what);
    void keep(const std::vector<BracketSet>& sets);
    void handOver(const std::vector<BracketSet>& sets);

    ui::Runtime& runtime_;
    BracketFile file_;
    std::string iniPath_;
    std::string keptDayPath_;
    ReportsFile reports_;
    RequestBudget budget_;
    ui::Timer timer_;
    long long nowMs_ = 0;  // the clock of the timer's ticks
    long long nextFetchMs_ = 0;
    bool fetching_ = false;
    std::vector<BracketSet> pages_;  // the event's pages read so far
    bool handedOver_ = false;        // a day, kept or fetched, has reached the program
    std::map<std::string, Retry> retries_;  // of each report posted and not taken
    std::map<std::string, bool> posting_;   // reports awaiting an answer
    std::optional<long long> fetchedAt_;
    std::optional<long long> offlineSince_;
    // Answers that come after the day is gone are dropped.
    std::shared_ptr<BracketDay*> alive_;
};

// "Best of 5" for a set of 5 games; "" when the site gives no count.
std::string seriesCaption(int totalGames);

}  // namespace quorvel::bracket
