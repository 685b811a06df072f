#include "ui/picture_cache.h"

namespace quorvel::ui {

PicturePtr PictureCache::find(const std::string& path, const FileStamp& stamp) {
    const auto it = entries_.find(path);
    if (it == entries_.end() || it->second.stamp != stamp) return nullptr;
    uses_.splice(uses_.begin(), uses_, it->second.use);
    return it->second.picture;
}

void PictureCache::keep(const std::string& path, const FileStamp& stamp, PicturePtr picture) {
    if (const auto it = entries_.find(path); it != entries_.end()) {
        it->second.stamp = stamp;
        it->second.picture = std::move(picture);
        uses_.splice(uses_.begin(), uses_, it->second.use);
        return;
    }
    if (entries_.size() == kCapacity) {
        entries_.erase(uses_.back());
        uses_.pop_back();
    }
    uses_.push_front(path);
    entries_.emplace(path, Entry{stamp, std::move(picture), uses_.begin()});
}

}  // namespace quorvel::ui
