#pragma once
// Layer platform/: a backend of ui/platform.h, at the edge; the program never includes it.
// The headless backend: no window system. A virtual clock drives the timers in time
// order; tests set the key state, the cursor, the desktop size and the colour dialog's
// answers, send pointer and keyboard events through the forms' input functions, and read
// back the recorded message boxes, shell opens and window states.
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim_capture.h"
#include "platform/sim/sim_suggestions.h"
#include "ui/form.h"
#include "ui/picture_cache.h"
#include "ui/platform.h"
#include "ui/posted_work.h"
#include "ui/timer_schedule.h"

namespace quorvel::sim {

// What the backend knows of one form's window.
struct SimWindow final : ui::WindowPeer {
    explicit SimWindow(class SimPlatform& platform, ui::Form& form);
    ~SimWindow() override;

    void formChanged(unsigned changes) override;
    void controlChanged(const ui::Control& control, unsigned changes, const ui::Rect& before) override;
    void setVisible(bool visible) override;
    void setBorderStyle(ui::BorderStyle style) override;
    void placeTopmost() override;
    void makeSeeThrough(ui::Color key) override;
    // The backend's drawing of the form (sim_capture.h).
    void drawImage(ui::WindowImage& image) override;
    void close() override;

    SimPlatform& platform;
    ui::Form& form;
    bool open = true;
    bool visible = false;
    bool topmost = false;
    int topmostCalls = 0;            // times the window was placed topmost
    bool layered = false;            // see-through with a colour key
    ui::Color colorKey = 0;
    ui::BorderStyle borderStyle;
    int seeThroughCalls = 0;
    int repaints = 0;                // change notifications that need a repaint
    std::vector<ui::Rect> repaintedAreas;  // what the controls' changes repaint, in order
    int imagesDrawn = 0;
};

class SimPlatform : public ui::Platform {
public:
    explicit SimPlatform(std::string programFolder);
    ~SimPlatform() override;

    // --- Platform ---
    std::unique_ptr<ui::WindowPeer> createWindow(ui::Form& form) override;
    ui::FrameSize frameSize(ui::BorderStyle style) const override;
    // No fonts here: every character is counted half as wide as the font is high.
    int textWidth(const ui::Font& font, const std::string& text) override;
    ui::Color resolveColor(ui::Color color) const override;
    std::unique_ptr<ui::SuggestionPeer> createSuggestionPopup(ui::SuggestionList& list) override;
    void timerChanged(ui::Timer& timer) override;
    void timerDestroyed(ui::Timer& timer) override;
    std::uint16_t asyncKeyState(int virtualKey) override;
    ui::Point cursorPos() override { return cursor_; }
    ui::Rect desktopRect() override { return desktop_; }
    void messageBox(const std::string& text, const std::string& title) override;
    std::optional<ui::Color> chooseColor(ui::Form& owner, std::array<ui::Color, 16>& customColors) override;
    void shellOpen(const std::string& target) override { shellOpens_.push_back(target); }
    std::string programFolder() override { return programFolder_; }
    std::string readFile(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    std::string ansiToUtf8(std::string_view bytes) override;
    ui::PicturePtr loadPicture(const std::string& path) override;
    ui::PicturePtr makePicture(const std::string& name, int width, int height,
                               const std::vector<std::uint32_t>& pixels) override;
    // Refused while setWriteRefusal holds a reason.
    void appendFile(const std::string& path, std::string_view bytes) override;
    // The virtual clock, counted from a whole second of 2023.
    long long wallClockSeconds() override { return (kWallClockStart + now_) / 1000; }
    int localTimeOffsetMinutes() override { return localOffset_; }
    void saveImage(const std::string& path, const ui::WindowImage& image, ui::ImageFormat format,
                   long long modifiedSeconds) override;
    // Refused while setReplaceRefusal holds a reason.
    void replaceFile(const std::string& path, std::string_view bytes) override;
    // Recorded, and answered by the site the test installed (setSite) once the latency has
    // passed on the virtual clock: advance() hands the answer to the posted work then, as
    // the worker thread of the Windows backend does. No site: "no network".
    void postJson(const std::string& url, const std::string& token, const std::string& body,
                  std::function<void(ui::SiteReply)> done) override;
    void quit(int exitCode) override;
    // Queued until the test's thread runs it: advance() runs it in slices between the
    // timer ticks, runPosted() all of it at once.
    void postToUiThread(std::function<void()> work) override;

    // --- Virtual clock ---
    long long now() const { return now_; }
    // Runs the posted work and every timer tick due within the next `milliseconds`, in
    // time order: the work in slices that end where the next tick is due
    // (ui::PostedWork), as the Windows backend runs it.
    void advance(long long milliseconds);
    // How long each piece of posted work takes on the virtual clock when advance() runs
    // it (0 unless set): a flood of requests then holds the UI thread as on Windows.
    void setPostedWorkCost(long long milliseconds) { postedWorkCost_ = milliseconds; }

    // --- Work posted from other threads ---
    // Runs the work posted so far, in the order posted, at the current virtual time
    // whatever its cost; returns how many ran.
    int runPosted();
    // Waits, in real time, until work is posted or `timeout` has passed; returns whether
    // some is waiting.
    bool waitForPosted(std::chrono::milliseconds timeout);

    // --- Scripted input state ---
    // A key goes down: held, and "pressed since the last query" until it is next queried.
    void pressKey(int virtualKey);
    void releaseKey(int virtualKey);
    // A press and release between two queries: only the "pressed since" bit is seen.
    void tapKey(int virtualKey);
    // Key-state queries made so far, and (while recording) the keys queried, in order.
    long long keyQueries() const { return keyQueries_; }
    void recordKeyQueries(bool on) { recordKeys_ = on; queriedKeys_.clear(); }
    const std::vector<int>& queriedKeys() const { return queriedKeys_; }
    void setCursor(ui::Point screenPixels) { cursor_ = screenPixels; }
    void setDesktopSize(int width, int height) { desktop_ = {0, 0, width, height}; }
    // The next colour dialog returns this (nullopt: the operator cancels). With
    // `editedCustomColors`, the operator also changed the custom colours to these.
    void answerColorDialog(std::optional<ui::Color> answer,
                           std::optional<std::array<ui::Color, 16>> editedCustomColors = std::nullopt) {
        colorAnswers_.push_back({answer, editedCustomColors});
    }
    // Local time's offset from UTC (0 unless set).
    void setLocalTimeOffset(int minutes) { localOffset_ = minutes; }
    // While `reason` is not empty, every appendFile is refused with it (a file another
    // program holds open).
    void setWriteRefusal(std::string reason) { writeRefusal_ = std::move(reason); }
    // While `reason` is not empty, every replaceFile is refused with it.
    void setReplaceRefusal(std::string reason) { replaceRefusal_ = std::move(reason); }
    // The folder relative paths are taken from (the program folder unless set).
    void setCurrentFolder(std::string folder) { currentFolder_ = std::move(folder); }

    // --- The web site ---
    // Answers each post when its answer is due; an empty function: no network.
    using Site = std::function<ui::SiteReply(const std::string& url, const std::string& token,
                                             const std::string& body)>;
    void setSite(Site site) { site_ = std::move(site); }
    // Virtual milliseconds from a post to its answer (50 unless set). Beyond
    // kSiteTimeoutSeconds the post ends unanswered at that time, as a site that is silent.
    void setSiteLatency(long long milliseconds) { siteLatency_ = milliseconds; }
    struct SitePost {
        std::string url;
        bool withToken = false;  // the token itself is for the site alone
        std::string body;
        long long at = 0;  // on the virtual clock
    };
    // Every post so far, in order.
    const std::vector<SitePost>& sitePosts() const { return sitePosts_; }
    // Posts whose answer has not yet been handed to the posted work.
    std::size_t postsUnanswered() const { return siteAnswers_.size(); }

    // --- What happened ---
    struct MessageBoxRecord {
        std::string text;
        std::string title;
    };
    const std::vector<MessageBoxRecord>& messageBoxes() const { return messageBoxes_; }
    const std::vector<std::string>& shellOpens() const { return shellOpens_; }
    int colorDialogsOpened() const { return colorDialogs_; }
    int imagesSaved() const { return imagesSaved_; }
    // The custom colours the last colour dialog was offered.
    const std::array<ui::Color, 16>& offeredCustomColors() const { return offeredCustomColors_; }
    bool quitCalled() const { return quit_.has_value(); }
    int exitCode() const { return quit_.value_or(-1); }
    // The window of a loaded form, or nullptr.
    SimWindow* window(const ui::Form& form) const;
    // The popup of a suggestion list, or nullptr before it was first shown.
    SimSuggestionPopup* popup(const ui::SuggestionList& list) const;
    // The form whose window is active.
    ui::Form* activeForm() const { return active_; }
    // The operator makes a shown window of the program the active one (a click on it).
    void activate(ui::Form& form);

    // Turns a program path with backslashes into a path of this system.
    std::string hostPath(const std::string& path) const;

private:
    friend struct SimWindow;
    friend struct SimSuggestionPopup;
    std::string programFolder_;
    std::string currentFolder_;
    long long now_ = 0;
    long long postedWorkCost_ = 0;
    int localOffset_ = 0;
    std::string writeRefusal_;
    std::string replaceRefusal_;
    // Hands the answers due by now to the posted work; the earliest still to come.
    std::optional<long long> deliverPendingPosts();
    Site site_;
    long long siteLatency_ = 50;
    std::vector<SitePost> sitePosts_;
    struct PendingPost {
        std::string url;
        std::string token;
        std::string body;
        bool silent = false;  // no answer in time
        std::function<void(ui::SiteReply)> done;
    };
    std::multimap<long long, PendingPost> siteAnswers_;  // by due time, then in post order
    static constexpr long long kWallClockStart = 1'700'000'000'000;  // milliseconds since 1970
    ui::TimerSchedule timers_;
    // Virtual-key codes run from 0 to 255.
    static constexpr int kKeys = 256;
    std::array<bool, kKeys> keyDown_{};
    std::array<bool, kKeys> pressedSince_{};
    long long keyQueries_ = 0;
    bool recordKeys_ = false;
    std::vector<int> queriedKeys_;
    ui::Point cursor_{0, 0};
    ui::Rect desktop_{0, 0, 1920, 1080};
    struct ColorAnswer {
        std::optional<ui::Color> color;
        std::optional<std::array<ui::Color, 16>> customColors;
    };
    std::deque<ColorAnswer> colorAnswers_;
    std::array<ui::Color, 16> offeredCustomColors_{};
    std::vector<MessageBoxRecord> messageBoxes_;
    std::vector<std::string> shellOpens_;
    int colorDialogs_ = 0;
    int imagesSaved_ = 0;
    std::optional<int> quit_;
    std::vector<SimWindow*> windows_;
    std::vector<SimSuggestionPopup*> popups_;
    ui::Form* active_ = nullptr;
    ui::PostedWork posted_;
    ui::PictureCache pictures_;
};

}  // namespace quorvel::sim
