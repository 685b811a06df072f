#pragma once
// The operating-system services the program asks for, in the program's own terms. The
// Win32 backend provides them on Windows; the headless backend provides them to tests.
// Nothing above the backends includes an OS header.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/color.h"
#include "ui/geometry.h"
#include "ui/picture.h"

namespace quorvel::ui {

class Control;
class Form;
class SuggestionList;
class SuggestionPeer;
class Timer;
struct Font;

// Window frame kinds, numbered as the settings file writes them.
enum class BorderStyle {
    None = 0,
    FixedSingle = 1,
    Sizable = 2,
    FixedDialog = 3,
    FixedToolWindow = 4,
    SizableToolWindow = 5,
};

// What changed on a form or control, so a backend repaints or updates only that.
namespace change {
constexpr unsigned kGeometry = 1u << 0;
constexpr unsigned kVisibility = 1u << 1;
constexpr unsigned kText = 1u << 2;        // caption or text
constexpr unsigned kAppearance = 1u << 3;  // colours, font, alignment
constexpr unsigned kPicture = 1u << 4;
constexpr unsigned kItems = 1u << 5;       // a list's entries
constexpr unsigned kSelection = 1u << 6;   // a list's selected entry
constexpr unsigned kEnabled = 1u << 7;
}  // namespace change

// File formats of a saved window image.
enum class ImageFormat { Bmp, Png, Gif, Jpeg };

// A picture of a window's client area: width x height pixels 0xAARRGGBB, row by row from
// the top.
struct WindowImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    friend bool operator==(const WindowImage&, const WindowImage&) = default;
};

// A web site's answer to a post (Platform::postJson): its HTTP status and body, or, when
// no answer came, status 0 and the system's reason in words ("no network: the name
// api.example.org is not known", "the site's certificate is not trusted", "no answer
// within 10 s").
struct SiteReply {
    int status = 0;
    std::string body;
    std::string failure;
};

// Pixels that a frame adds to the client area, in width and in height.
struct FrameSize {
    int width = 0;
    int height = 0;
};

// The native window behind a form. Created when the form loads, hidden; closed when the
// form unloads. The peer reads the form's and the controls' properties when told they
// changed.
class WindowPeer {
public:
    virtual ~WindowPeer() = default;
    // Position, size, caption, back colour or background picture of the form changed.
    virtual void formChanged(unsigned changes) = 0;
    // A control's properties changed; `before` is its rectangle in form twips before the
    // change, so the backend can repaint the area it left.
    virtual void controlChanged(const Control& control, unsigned changes, const Rect& before) = 0;
    // Shows the window (making it the active window) or hides it.
    virtual void setVisible(bool visible) = 0;
    virtual void setBorderStyle(BorderStyle style) = 0;
    // Places the window above all windows that are not topmost, and keeps it there.
    virtual void placeTopmost() = 0;
    // Makes every pixel of exactly the key colour see-through; the rest stays opaque.
    // Running it again changes nothing.
    virtual void makeSeeThrough(Color key) = 0;
    // Draws the client area into `image` (its storage reused) with the window's own
    // painting, whole, whatever the screen shows there: pixels 0x..RRGGBB, the top byte
    // left as the drawing left it. Throws quorvel::Error naming the window and the reason.
    virtual void drawImage(WindowImage& image) = 0;
    // Destroys the native window now; no event arrives from it afterwards.
    virtual void close() = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Windows
    virtual std::unique_ptr<WindowPeer> createWindow(Form& form) = 0;
    virtual FrameSize frameSize(BorderStyle style) const = 0;
    // The colour a system colour stands for now (other colours come back unchanged).
    virtual Color resolveColor(Color color) const = 0;
    // The width in pixels at 96 DPI of `text` on one line in `font`, as a label draws it.
    virtual int textWidth(const Font& font, const std::string& text) = 0;
    // The popup that shows `list` under its text box (suggestion_list.h), hidden; closed
    // before the box's window closes.
    virtual std::unique_ptr<SuggestionPeer> createSuggestionPopup(SuggestionList& list) = 0;

    // Timers: the timer was armed, disarmed or given a new interval (the countdown starts
    // again), or it is going away.
    virtual void timerChanged(Timer& timer) = 0;
    virtual void timerDestroyed(Timer& timer) = 0;

    // Input state. A key's state is the 16-bit word of the OS: bit 15 set while the key is
    // down, bit 0 set if it was pressed since the previous query.
    virtual std::uint16_t asyncKeyState(int virtualKey) = 0;
    virtual Point cursorPos() = 0;    // screen pixels
    virtual Rect desktopRect() = 0;   // screen pixels

    // Dialogs and shell
    virtual void messageBox(const std::string& text, const std::string& title) = 0;
    // The system colour dialog: the chosen colour, or nothing when cancelled. The custom
    // colours are offered; when a colour is chosen they come back as the operator left
    // them, after a cancel unchanged.
    virtual std::optional<Color> chooseColor(Form& owner, std::array<Color, 16>& customColors) = 0;
    virtual void shellOpen(const std::string& target) = 0;

    // Files. Paths use backslashes, as built by the program; the platform turns them into
    // what the OS wants. Failures throw quorvel::Error naming the path.
    virtual std::string programFolder() = 0;
    virtual std::string readFile(const std::string& path) = 0;
    // Whether a file (not a folder) is at `path`; an optional file is read only if so.
    virtual bool fileExists(const std::string& path) = 0;
    // 8-bit text in the system's ANSI code page, as UTF-8.
    virtual std::string ansiToUtf8(std::string_view bytes) = 0;
    virtual PicturePtr loadPicture(const std::string& path) = 0;
    // A picture the program draws itself (the control menu's icons): width x height
    // pixels 0xAARRGGBB, row by row, alpha 0 or 255.
    virtual PicturePtr makePicture(const std::string& name, int width, int height,
                                   const std::vector<std::uint32_t>& pixels) = 0;

    // Appends `bytes` to the file at `path`, creating it when there is none, in one write
    // flushed to the disk before it returns: a reader, or the file after a crash, has all of
    // it or none. Throws quorvel::Error naming the path and the reason (a file another
    // program holds open, a folder that may not be written).
    virtual void appendFile(const std::string& path, std::string_view bytes) = 0;

    // The wall clock in whole seconds since 1970, as file modification times count.
    virtual long long wallClockSeconds() = 0;
    // Minutes that local time is ahead of UTC now (negative west of Greenwich).
    virtual int localTimeOffsetMinutes() = 0;
    // Writes `image` to `path` as a BMP (24 bits a pixel), a PNG (32 bits, with the image's
    // alpha), a GIF (256 colours) or a JPEG, whole: to a temporary file beside it, modified at `modifiedSeconds`
    // (since 1970), then renamed over it, so that a reader of the file never sees half a
    // picture. Throws quorvel::Error naming the path and the reason.
    virtual void saveImage(const std::string& path, const WindowImage& image, ImageFormat format,
                           long long modifiedSeconds) = 0;

    // Writes `bytes` to the file at `path` whole: to a temporary file beside it, flushed,
    // then renamed over it, so that a reader, or the file after a crash, has the old text
    // or the new, never half. Throws quorvel::Error naming the path and the reason.
    virtual void replaceFile(const std::string& path, std::string_view bytes) = 0;

    // Posts `body` (JSON) to the web address `url` over HTTPS (or HTTP to this machine),
    // with `token` as "Authorization: Bearer", off the UI thread. `done` runs on the UI
    // thread, outside any event (it dispatches its own), with the site's answer or the
    // reason there was none, at the latest kSiteTimeoutSeconds after the post. The
    // certificate is checked as the system checks it: one not trusted is a failure and
    // nothing is sent. The token goes nowhere else: not in a failure, not in a log.
    static constexpr int kSiteTimeoutSeconds = 10;
    virtual void postJson(const std::string& url, const std::string& token, const std::string& body,
                          std::function<void(SiteReply)> done) = 0;

    // Ends the program at once with the exit code.
    virtual void quit(int exitCode) = 0;

    // The one call that may come from any thread: `work` runs on the UI thread soon, in
    // the order posted, outside any event (it dispatches its own). Work posted after the
    // program ended may never run.
    virtual void postToUiThread(std::function<void()> work) = 0;
};

}  // namespace quorvel::ui
