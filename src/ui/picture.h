#pragma once
// A decoded picture. The platform's picture loader makes them (Platform::loadPicture);
// controls share them, so an image keeps its picture until the next assignment and a
// picture is freed with the last control that shows it.
#include <memory>
#include <string>

namespace quorvel::ui {

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
