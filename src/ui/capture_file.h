#pragma once
// Keeps a picture file in step with a window, for a streaming program's image source. Such
// a source looks at the file about once a second and loads it again when its modification
// time, counted in whole seconds, has changed. So:
// - a picture the same as the one last written is not written again: every write makes
//   the source load the file again and drop frames;
// - no two writes fall in the same whole second: a picture written in the second of the
//   one before it would never be shown. A change that comes in that second is written at
//   the first tick of a later second, and as each tick draws the window anew, the latest
//   picture is the one written;
// - the file is stamped with the very second this rule went by, rather than left to the
//   file system's clock, which may still read the second before.
// Pixels of exactly a see-through window's key colour get alpha 0, all others alpha 255.
#include <optional>
#include <string>
#include <string_view>

#include "ui/form.h"
#include "ui/platform.h"

namespace quorvel::ui {

// The format a file name asks for: ".gif" GIF, ".jpg" or ".jpeg" JPEG, ".png" PNG, any other
// BMP; upper or lower case alike.
ImageFormat imageFormatFor(std::string_view path);

class CaptureFile {
public:
    enum class Outcome { Written, Unchanged, Waiting };

    // Draws `window` and writes its picture to `path` if the rules above allow. Throws
    // quorvel::Error naming the file or the window and the reason.
    Outcome update(Form& window, const std::string& path, ImageFormat format);
    // The next update writes the picture even if it is unchanged (the file may be gone).
    void forget() { writtenPath_.clear(); }

private:
    WindowImage drawn_;
    WindowImage written_;  // the picture in the file; its storage swaps with drawn_'s
    std::string writtenPath_;
    ImageFormat writtenFormat_ = ImageFormat::Bmp;
    std::optional<long long> writtenSecond_;  // of any write, to any file
};

}  // namespace quorvel::ui
