#pragma once
// Decoded pictures kept by path, size and modification time, for the backends' picture
// loaders: a picture shown again (a portrait set's thumbnails refilled at the next match,
// a flag or a portrait stepped back to) is neither read nor decoded again, while a picture
// replaced on disk is. Pictures are immutable and shared, so a kept one is handed out as
// it is. The cache holds at most kCapacity pictures: far more than a program folder shows
// at once, so the pictures of a match day stay, and a folder of thousands of flags cannot
// make it grow without bound.
#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>

#include "ui/picture.h"

namespace quorvel::ui {

// What tells a file's version apart: its size and its modification time (in the
// backend's own units).
struct FileStamp {
    long long size = 0;
    long long modified = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

class PictureCache {
public:
    static constexpr std::size_t kCapacity = 256;

    // The picture kept for `path` at that version, or nullptr.
    PicturePtr find(const std::string& path, const FileStamp& stamp);
    // Keeps `picture` for `path` at that version, in place of any other version; the
    // picture used longest ago goes when the cache is full.
    void keep(const std::string& path, const FileStamp& stamp, PicturePtr picture);
    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        FileStamp stamp;
        PicturePtr picture;
        std::list<std::string>::iterator use;  // its place in uses_
    };
    std::unordered_map<std::string, Entry> entries_;
    std::list<std::string> uses_;  // paths, the one used last first
};

}  // namespace quorvel::ui
