#pragma once
// A decoded picture. The platform's picture loader makes them (Platform::loadPicture);
// controls share them, so an image keeps its picture until the next assignment and a
// picture is freed with the last control that shows it.
#include <memory>
#include <string>

namespace quorvel::ui {

// The most pixels a picture may have: far above the program's flags, portraits, emblem and
// logo, and small enough that a damaged file whose header claims a huge size fails at
// once instead of asking for gigabytes of memory.
constexpr long long kMaxPicturePixels = 4096LL * 4096LL;

inline bool isLoadablePictureSize(long long width, long long height) {
    return width <= kMaxPicturePixels && height <= kMaxPicturePixels && width * height <= kMaxPicturePixels;
}

// Why a picture of that size is not loaded, for the message naming the file.
inline std::string oversizedPictureReason(long long width, long long height) {
    return "it is " + std::to_string(width) + " x " + std::to_string(height) + " pixels, more than the " +
           std::to_string(kMaxPicturePixels) + " pixels a picture may have";
}

class Picture {
public:
    Picture(std::string source, int width, int height)
        : source_(std::move(source)), width_(width), height_(height) {}
    virtual ~Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // The path the picture was loaded from.
    const std::string& source() const { return source_; }
    int width() const { return width_; }    // pixels
    int height() const { return height_; }  // pixels

private:
    std::string source_;
    int width_;
    int height_;
};

using PicturePtr = std::shared_ptr<const Picture>;

}  // namespace quorvel::ui
