#include "app/notices.h"

namespace quorvel::app {

void Notices::add(Notice notice) {
    if (recent_.size() == kKept) recent_.pop_front();
    recent_.push_back(std::move(notice));
    unread_ = true;
    ++revision_;
}

}  // namespace quorvel::app
