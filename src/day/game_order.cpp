#include "day/game_order.h"

#include <algorithm>

namespace quorvel::day {

void GameOrder::saw(std::optional<long long> score1, std::optional<long long> score2) {
    if (score1 == score1_ && score2 == score2_) return;
    const auto step = [](std::optional<long long> before, std::optional<long long> after) -> long long {
        return before && after ? *after - *before : 2;  // a score that is no number: no single step
    };
    const long long step1 = score1 == score1_ ? 0 : step(score1_, score1);
    const long long step2 = score2 == score2_ ? 0 : step(score2_, score2);
    score1_ = score1;
    score2_ = score2;
    if (score1 == 0 && score2 == 0) {
        games_.clear();
        known_ = true;
        return;
    }
    if (!known_) return;
    const int player = step1 != 0 ? 1 : 2;
    const long long by = player == 1 ? step1 : step2;
    if ((step1 != 0 && step2 != 0) || (by != 1 && by != -1)) {
        known_ = false;
        return;
    }
    if (by == 1) {
        games_.push_back(player);
        return;
    }
    const auto last = std::find(games_.rbegin(), games_.rend(), player);
    if (last == games_.rend()) {
        known_ = false;  // a point taken back that the program never saw scored
        return;
    }
    games_.erase(std::next(last).base());
}

void GameOrder::swapPlayers() {
    for (int& player : games_) player = 3 - player;
    std::swap(score1_, score2_);
}

std::optional<std::vector<int>> GameOrder::games() const {
    if (!known_) return std::nullopt;
    return games_;
}

}  // namespace quorvel::day
