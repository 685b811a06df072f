#pragma once
// The games of the match on the table in the order their points were scored, as far as
// the program saw them: a point scored adds a game to that player, a point taken back
// takes back that player's last game, both scores at 0 start again. A score set any other
// way (typed in the menu, several points at once) leaves the order unknown until the
// scores are 0 again: a bracket is then told the winner alone, nothing invented.
#include <optional>
#include <utility>
#include <vector>

namespace quorvel::day {

class GameOrder {
public:
    // The scores as the table shows them now (nothing for a score that is not a number).
    void saw(std::optional<long long> score1, std::optional<long long> score2);
    // The scores were set by hand: the order is not known until both are 0 again.
    void typed() { known_ = score1_ == 0 && score2_ == 0; }
    // The sides were swapped: player 1's games are player 2's.
    void swapPlayers();
    // The winner of each game in order (1 or 2), or nothing when the order is not known.
    std::optional<std::vector<int>> games() const;

private:
    std::vector<int> games_;
    bool known_ = true;
    std::optional<long long> score1_ = 0;
    std::optional<long long> score2_ = 0;
};

}  // namespace quorvel::day
