#include "day/notices.h"

namespace quorvel::day {

void Notices::add(Notice notice) {
    if (recent_.size() == kKept) recent_.pop_front();
    recent_.push_back(std::move(notice));
    unread_ = true;
    ++revision_;
}

}  // namespace quorvel::day
