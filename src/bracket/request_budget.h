#pragma once
// The site's rule on requests, kept by the program: at most 80 posts in any 60 s, and after
// "Rate limit exceeded" at most one post every 15 s until the site answers again. Times are
// the caller's clock in milliseconds.
#include <deque>

#include "bracket/start_gg.h"

namespace quorvel::bracket {

class RequestBudget {
public:
    static constexpr int kPostsPerWindow = 80;
    static constexpr long long kWindowMs = 60'000;
    static constexpr long long kBackOffMs = 15'000;

    bool mayPost(long long nowMs) const { return nextPostAt(nowMs) <= nowMs; }
    // The first time from `nowMs` on at which a post keeps the rule.
    long long nextPostAt(long long nowMs) const;
    void posted(long long nowMs);
    // The outcome of a post's answer. A rate limit starts the back-off; any answer of the
    // site that is not a rate limit ends it (no answer at all changes nothing).
    void answered(Outcome outcome);
    bool backingOff() const { return backingOff_; }

private:
    std::deque<long long> posts_;  // the times of the last kPostsPerWindow posts, in order
    bool backingOff_ = false;
};

}  // namespace quorvel::bracket
