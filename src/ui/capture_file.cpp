#include "ui/capture_file.h"

#include <utility>

#include "ui/text.h"

namespace quorvel::ui {

namespace {

void setAlpha(WindowImage& image, const std::optional<Color>& key, const Platform& platform) {
    constexpr std::uint32_t kRgb = 0x00FFFFFFu;
    constexpr std::uint32_t kOpaque = 0xFF000000u;
    if (!key) {
        for (std::uint32_t& pixel : image.pixels) pixel |= kOpaque;
        return;
    }
    const Color resolved = platform.resolveColor(*key);
    const std::uint32_t keyPixel = rgbValue(resolved);
    for (std::uint32_t& pixel : image.pixels) pixel = (pixel & kRgb) == keyPixel ? keyPixel : pixel | kOpaque;
}

}  // namespace

ImageFormat imageFormatFor(std::string_view path) {
    if (endsWithNoCase(path, ".png")) return ImageFormat::Png;
    if (endsWithNoCase(path, ".gif")) return ImageFormat::Gif;
    if (endsWithNoCase(path, ".jpg") || endsWithNoCase(path, ".jpeg")) return ImageFormat::Jpeg;
    return ImageFormat::Bmp;
}

CaptureFile::Outcome CaptureFile::update(Form& window, const std::string& path, ImageFormat format) {
    window.drawImage(drawn_);
    setAlpha(drawn_, window.seeThroughKey(), window.platform());
    if (drawn_ == written_ && path == writtenPath_ && format == writtenFormat_) return Outcome::Unchanged;
    // A clock set back lands in another second too: only the very same second waits.
    const long long now = window.platform().wallClockSeconds();
    if (writtenSecond_ == now) return Outcome::Waiting;
    window.platform().saveImage(path, drawn_, format, now);
    std::swap(drawn_, written_);
    writtenPath_ = path;
    writtenFormat_ = format;
    writtenSecond_ = now;
    return Outcome::Written;
}

}  // namespace quorvel::ui
