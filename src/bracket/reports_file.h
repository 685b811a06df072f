#pragma once
// The reports of results to the bracket site, kept in Reports.csv beside Results.csv so that
// each reaches the site exactly once, through a network cut and a crash. The file is only
// ever appended to, a whole row at a time: a "waiting" row when a set's result is to be
// reported (the set, the winner, the games' winners in order), then a "confirmed" or a
// "refused" row (with the site's words). A set's report is the fold of its rows in order;
// a set is reported once: a second waiting row for it is never appended.
#include <set>
#include <string>
#include <vector>

#include "bracket/start_gg.h"
#include "ui/platform.h"

namespace quorvel::bracket {

enum class ReportState { None, Waiting, Confirmed, Refused };

struct Report {
    std::string setId;
    std::string winnerId;
    std::vector<Game> games;
    long long time = 0;  // seconds since 1970 of the waiting row
    ReportState state = ReportState::None;
    std::string reason;  // the site's words of a refusal
};

// "none", "waiting", "confirmed", "refused".
const char* reportStateName(ReportState state);

class ReportsFile {
public:
    ReportsFile(ui::Platform& platform, std::string path) : platform_(platform), path_(std::move(path)) {}

    // Reads the file anew (no reports without it) and folds its rows. A damaged row is
    // passed over; the message names, once each, the damaged rows not named before ("" when
    // none). Rows not written yet stay in the fold.
    std::string load();

    // The report of a set, or nullptr when it has none.
    const Report* find(const std::string& setId) const;
    // The reports waiting for the site, in the order they were made.
    std::vector<const Report*> waiting() const;
    const std::vector<Report>& reports() const { return reports_; }

    // A set's result to report: appends its waiting row unless the set has a report
    // already (then false, and nothing is written). A refusal to write keeps the row for
    // the next append, and its message is returned once ("" otherwise).
    bool addWaiting(const std::string& setId, const std::string& winnerId, const std::vector<Game>& games,
                    std::string& message);
    // The site took the report, or refused it for good with `reason`. Returns the message
    // of a refusal to write, as addWaiting does.
    std::string confirm(const std::string& setId);
    std::string refuse(const std::string& setId, const std::string& reason);

    const std::string& path() const { return path_; }

private:
    struct Row {
        long long time = 0;
        std::string timeText;
        std::string setId;
        ReportState state = ReportState::None;
        std::string winnerId;
        std::vector<Game> games;
        std::string reason;
    };
    void fold(const Row& row);
    std::string append(Row row);
    Report* findReport(const std::string& setId);

    ui::Platform& platform_;
    std::string path_;
    std::vector<Report> reports_;
    std::vector<Row> unwritten_;
    bool refusalTold_ = false;
    std::set<std::string> damagedTold_;
};

}  // namespace quorvel::bracket
