#pragma once
// What the program tells the operator while a match runs: a problem that ends nothing (a
// roster or schedule line that cannot be applied, a results file that cannot be written,
// the day's end, a capture that failed). A running match is live on stream, often over a
// full-screen game, so such a problem is a notice, never a message box: the control menu
// shows the latest on a line of its own, the remote control reports them. Each cause is
// told once a load of the files, however often it comes up.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <set>
#include <string>

namespace quorvel::day {

struct Notice {
    std::string text;
    std::string file;      // the file at fault, "" when none
    std::size_t line = 0;  // its line, from 1; 0 when none
    std::string when;      // local time, ISO 8601 with its offset
};

class Notices {
public:
    // The notices kept for the remote control: the latest ones.
    static constexpr std::size_t kKept = 20;

    // Whether `text` is told for the first time since the files were last read; from now
    // on it has been.
    bool firstTelling(const std::string& text) { return told_.insert(text).second; }
    // The files were read anew: every cause may be told again.
    void forgetTold() { told_.clear(); }

    void add(Notice notice);
    // Oldest first; the latest is back().
    const std::deque<Notice>& recent() const { return recent_; }
    // Changes with every notice added.
    std::uint64_t revision() const { return revision_; }
    // The latest notice while the operator has not put it away (the control menu's
    // line), else nullptr.
    const Notice* unread() const { return unread_ && !recent_.empty() ? &recent_.back() : nullptr; }
    void putAway() { unread_ = false; }

private:
    std::deque<Notice> recent_;
    bool unread_ = false;
    std::set<std::string> told_;
    std::uint64_t revision_ = 0;
};

}  // namespace quorvel::day
