#pragma once
// Layer platform/: a backend of ui/platform.h, at the edge; the program never includes it.
// The Win32 backend: operating-system services for the program, the forms' windows,
// the timers (on a hidden message-only window) and the message loop.
#include <windows.h>

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "ui/control.h"
#include "ui/picture_cache.h"
#include "ui/platform.h"
#include "ui/posted_work.h"
#include "ui/timer_schedule.h"

struct IWICImagingFactory;

namespace quorvel::win32 {

class SitePoster;
class Win32Window;

class Win32Platform : public ui::Platform {
public:
    explicit Win32Platform(HINSTANCE instance);
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // --- ui::Platform ---
    std::unique_ptr<ui::WindowPeer> createWindow(ui::Form& form) override;
    ui::FrameSize frameSize(ui::BorderStyle style) const override;
    int textWidth(const ui::Font& font, const std::string& text) override;
    ui::Color resolveColor(ui::Color color) const override;
    std::unique_ptr<ui::SuggestionPeer> createSuggestionPopup(ui::SuggestionList& list) override;
    void timerChanged(ui::Timer& timer) override;
    void timerDestroyed(ui::Timer& timer) override;
    std::uint16_t asyncKeyState(int virtualKey) override;
    ui::Point cursorPos() override;
    ui::Rect desktopRect() override;
    void messageBox(const std::string& text, const std::string& title) override;
    std::optional<ui::Color> chooseColor(ui::Form& owner, std::array<ui::Color, 16>& customColors) override;
    void shellOpen(const std::string& target) override;
    std::string programFolder() override;
    std::string readFile(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    std::string ansiToUtf8(std::string_view bytes) override;
    ui::PicturePtr loadPicture(const std::string& path) override;
    ui::PicturePtr makePicture(const std::string& name, int width, int height,
                               const std::vector<std::uint32_t>& pixels) override;
    void appendFile(const std::string& path, std::string_view bytes) override;
    long long wallClockSeconds() override;
    int localTimeOffsetMinutes() override;
    void saveImage(const std::string& path, const ui::WindowImage& image, ui::ImageFormat format,
                   long long modifiedSeconds) override;
    void replaceFile(const std::string& path, std::string_view bytes) override;
    // On the site worker (win32_site.h); the answer comes back through postToUiThread, or
    // a timer of the hidden window gives up waiting for it.
    void postJson(const std::string& url, const std::string& token, const std::string& body,
                  std::function<void(ui::SiteReply)> done) override;
    // Ends the process at once (see win32_platform.cpp).
    [[noreturn]] void quit(int exitCode) override;
    // Queued, and a message to the hidden timer window runs the queue.
    void postToUiThread(std::function<void()> work) override;

    // Runs the message loop until WM_QUIT; returns its code.
    int run();
    // A Ctrl+A for a text box, taken: its text is selected.
    static bool selectAllKey(const MSG& msg);

    // --- For the windows ---
    HINSTANCE instance() const { return instance_; }
    // The window class of every form.
    const wchar_t* formClass() const { return L"QuorvelForm"; }
    // A font for a control's Font value at a display's DPI, created once and kept until
    // the end. A crisp font is drawn without antialiasing, so that text on a see-through
    // window leaves no half-blended pixels of the key colour around its letters.
    HFONT font(const ui::Font& font, int dpi, bool crisp = false);
    // Dots per inch, 96 where the system cannot tell: of the system (the primary
    // monitor's), of the monitor a window is on, of the monitor at a screen point.
    int systemDpi() const { return systemDpi_; }
    int windowDpi(HWND hwnd) const;
    int dpiAt(POINT point) const;
    // Grows a client rectangle by the frame of these styles as the system draws it at `dpi`.
    void adjustWindowRect(RECT& r, DWORD style, DWORD exStyle, int dpi) const;
    void registerWindow(Win32Window* window) { windows_.push_back(window); }
    // Inside a timer tick: windows keep what it changes and paint it when the tick ends.
    bool ticking() const { return ticking_ > 0; }
    void unregisterWindow(Win32Window* window);
    // The imaging component, created on first use. Throws quorvel::Error beginning with
    // `failure` when the system has none.
    IWICImagingFactory& imaging(const std::string& failure);
    // The backend window of a form window handle, or nullptr for any other window.
    Win32Window* windowOf(HWND hwnd) const;
    // A failure outside any event (a Win32 callback that must not throw): shown, then
    // the program ends with code 1.
    [[noreturn]] void fatal(const std::string& message);

    // The frame metrics changed (a theme or DPI change seen by a window).
    void systemMetricsChanged();

    // Frame style bits of each frame kind.
    static DWORD frameStyle(ui::BorderStyle style);
    static DWORD frameExStyle(ui::BorderStyle style);

private:
    static LRESULT CALLBACK timerWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The heartbeat: runs every timer tick that is due, then paints what the ticks changed.
    void runTimers();
    // Milliseconds on the system's high-resolution clock.
    long long now() const;
    // Woken for posted work: runs a tick that is due, then one slice of the work
    // (ui::PostedWork::sliceEnd).
    void runPosted();
    void runSlice();
    // Posts the message that wakes the UI thread for posted work; owes it when it fails.
    void wake();
    // Runs the answer of the post whose time-out timer is `post`, unless it was answered.
    void answerPost(UINT_PTR post, ui::SiteReply reply);
    // The message that tells the timer window that work was posted.
    static constexpr UINT kWorkPosted = WM_APP + 1;

    HINSTANCE instance_;
    HWND timerWindow_ = nullptr;
    // Every timer runs from one system timer, the heartbeat, which ticks every 10 ms (the
    // shortest interval the system gives) while any timer is armed. The key poll needs it
    // anyway, so the pulses and the guard add no timer messages of their own, and ticks
    // due together are run, and painted, together. A tick comes at most one heartbeat
    // late, within the system timers' own accuracy.
    ui::TimerSchedule timers_;
    bool heartbeat_ = false;
    bool backlog_ = false;  // posted work left over from a slice, run by the heartbeat
    bool postedRan_ = false;  // posted work ran since the last tick: its changes are painted then
    long long lastBeat_ = 0;  // when the heartbeat last ran
    LARGE_INTEGER clockFrequency_{};
    struct CachedFont {
        ui::Font font;
        int dpi;
        bool crisp;
        HFONT handle;
    };
    std::vector<CachedFont> fonts_;
    std::vector<Win32Window*> windows_;
    int ticking_ = 0;  // timer ticks running, more than one inside a modal box's loop
    IWICImagingFactory* wic_ = nullptr;
    std::string pictureFile_;  // the bytes of the picture being decoded, kept between loads
    ui::PictureCache pictures_;
    ui::PostedWork posted_;
    // A message to wake the UI thread could not be posted (its queue was full): the next
    // work posted, or the next tick, wakes it instead.
    std::atomic<bool> wakeOwed_{false};
    // Frame sizes by frame kind, measured on first use.
    mutable std::array<std::optional<ui::FrameSize>, 6> frameSizes_{};
    // The system's calls for displays of different scales, where it has them (Windows 10
    // and later; Wine and older Windows may lack some): looked up at start, not imported,
    // so that the program starts without them.
    using DpiForWindowCall = UINT(WINAPI*)(HWND);
    using AdjustForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    DpiForWindowCall dpiForWindow_ = nullptr;
    AdjustForDpiCall adjustForDpi_ = nullptr;
    int systemDpi_ = 96;
    // Posts waiting for their answer, by the id of the timer that ends the wait; the ids
    // after the heartbeat's. The worker starts with the first post.
    std::map<UINT_PTR, std::function<void(ui::SiteReply)>> posts_;
    UINT_PTR nextPost_ = 2;
    std::unique_ptr<SitePoster> site_;
};

}  // namespace quorvel::win32
