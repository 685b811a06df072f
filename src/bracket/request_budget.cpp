#include "bracket/request_budget.h"

#include <algorithm>

namespace quorvel::bracket {

long long RequestBudget::nextPostAt(long long nowMs) const {
    long long at = nowMs;
    // A post at t keeps the rule when fewer than 80 posts lie in (t - 60 s, t].
    if (posts_.size() >= static_cast<std::size_t>(kPostsPerWindow))
        at = std::max(at, posts_[posts_.size() - kPostsPerWindow] + kWindowMs);
    if (backingOff_ && !posts_.empty()) at = std::max(at, posts_.back() + kBackOffMs);
    return at;
}

void RequestBudget::posted(long long nowMs) {
    posts_.push_back(nowMs);
    while (posts_.size() > static_cast<std::size_t>(kPostsPerWindow)) posts_.pop_front();
}

void RequestBudget::answered(Outcome outcome) {
    if (outcome == Outcome::RateLimited) backingOff_ = true;
    else if (outcome != Outcome::Unavailable) backingOff_ = false;
}

}  // namespace quorvel::bracket
