#include "platform/sim/sim_platform.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <filesystem>
#include <sstream>

#include "platform/sim/sim_picture.h"
#include "ui/error.h"
#include "ui/text.h"

namespace quorvel::sim {

SimWindow::SimWindow(SimPlatform& owner, ui::Form& f) : platform(owner), form(f), borderStyle(f.borderStyle()) {
    platform.windows_.push_back(this);
}

SimWindow::~SimWindow() {
    auto& list = platform.windows_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (platform.active_ == &form) platform.active_ = nullptr;
}

void SimWindow::formChanged(unsigned changes) {
    if (changes & (ui::change::kAppearance | ui::change::kPicture | ui::change::kGeometry)) ++repaints;
}

void SimWindow::controlChanged(const ui::Control& control, unsigned, const ui::Rect& before) {
    if (!control.windowless()) return;
    ++repaints;
    // The place it leaves and the place it takes: the same one unless it moved.
    repaintedAreas.push_back(control.formRect());
    if (before != control.formRect()) repaintedAreas.push_back(before);
}

void SimWindow::setVisible(bool show) {
    if (!open) return;
    visible = show;
    if (show) {
        // Showing a window, also one already shown, makes it the active window.
        platform.activate(form);
    } else if (platform.active_ == &form) {
        platform.active_ = nullptr;
    }
}

void SimWindow::setBorderStyle(ui::BorderStyle style) { borderStyle = style; }

void SimWindow::placeTopmost() {
    topmost = true;
    ++topmostCalls;
}

void SimWindow::makeSeeThrough(ui::Color key) {
    layered = true;
    colorKey = key;
    ++seeThroughCalls;
}

void SimWindow::drawImage(ui::WindowImage& image) {
    renderForm(form, platform, image);
    ++imagesDrawn;
}

void SimWindow::close() {
    open = false;
    visible = false;
    if (platform.active_ == &form) platform.active_ = nullptr;
}

SimPlatform::SimPlatform(std::string programFolder)
    : programFolder_(std::move(programFolder)), currentFolder_(programFolder_) {}

SimPlatform::~SimPlatform() = default;

std::unique_ptr<ui::WindowPeer> SimPlatform::createWindow(ui::Form& form) {
    return std::make_unique<SimWindow>(*this, form);
}

int SimPlatform::textWidth(const ui::Font& font, const std::string& text) {
    // Each UTF-8 character has one byte that does not continue another.
    const auto characters = std::count_if(text.begin(), text.end(),
                                          [](char c) { return (static_cast<unsigned char>(c) & 0xC0u) != 0x80u; });
    return static_cast<int>(std::lround(static_cast<double>(characters) * font.size * 96.0 / 72.0 / 2));
}

ui::FrameSize SimPlatform::frameSize(ui::BorderStyle style) const {
    // The classic Windows frame metrics: 3-pixel borders (4 when sizable), a 19-pixel
    // caption (15 for tool windows).
    switch (style) {
        case ui::BorderStyle::None: return {0, 0};
        case ui::BorderStyle::FixedSingle:
        case ui::BorderStyle::FixedDialog: return {6, 25};
        case ui::BorderStyle::Sizable: return {8, 27};
        case ui::BorderStyle::FixedToolWindow: return {6, 21};
        case ui::BorderStyle::SizableToolWindow: return {8, 23};
    }
    return {0, 0};
}

std::unique_ptr<ui::SuggestionPeer> SimPlatform::createSuggestionPopup(ui::SuggestionList& list) {
    return std::make_unique<SimSuggestionPopup>(*this, list);
}

SimSuggestionPopup* SimPlatform::popup(const ui::SuggestionList& list) const {
    for (SimSuggestionPopup* p : popups_)
        if (&p->list == &list) return p;
    return nullptr;
}

ui::Color SimPlatform::resolveColor(ui::Color color) const {
    if (!ui::isSystemColor(color)) return color;
    switch (ui::systemColorIndex(color)) {
        case 5: return ui::rgb(255, 255, 255);
        case 8: return ui::rgb(0, 0, 0);
        case 15: return ui::rgb(240, 240, 240);
        case 17: return ui::rgb(109, 109, 109);
        case 18: return ui::rgb(0, 0, 0);
        default: return ui::rgb(128, 128, 128);
    }
}

void SimPlatform::timerChanged(ui::Timer& timer) { timers_.update(timer, now_); }

void SimPlatform::timerDestroyed(ui::Timer& timer) { timers_.remove(timer); }

void SimPlatform::postToUiThread(std::function<void()> work) { posted_.post(std::move(work)); }

int SimPlatform::runPosted() { return posted_.runAll(); }

bool SimPlatform::waitForPosted(std::chrono::milliseconds timeout) { return posted_.waitForWork(timeout); }

void SimPlatform::advance(long long milliseconds) {
    const long long end = now_ + milliseconds;
    while (!quit_) {
        const auto answer = deliverPendingPosts();
        const auto next = timers_.nextDue();
        // Posted work runs in slices as on Windows, each ending where the next tick is
        // due; a tick already due runs first.
        if (now_ < end && (!next || *next > now_) && posted_.pending()) {
            posted_.runUntil([this] { return now_ += postedWorkCost_; },
                             std::min({ui::PostedWork::sliceEnd(now_, next), answer.value_or(end), end}));
            continue;
        }
        // An answer that arrives before the next tick is posted when it arrives.
        if (answer && *answer <= end && (!next || *answer <= *next)) {
            now_ = std::max(now_, *answer);
            continue;
        }
        if (!next || *next > end) break;
        now_ = std::max(now_, *next);
        // The next tick is due one interval later, unless the tick itself changes the timer.
        ui::Timer* timer = timers_.takeDue(now_, now_);
        timer->runtime().dispatch([timer] { timer->tick(); });
    }
    if (!quit_) now_ = std::max(now_, end);
}

void SimPlatform::postJson(const std::string& url, const std::string& token, const std::string& body,
                           std::function<void(ui::SiteReply)> done) {
    sitePosts_.push_back({url, !token.empty(), body, now_});
    constexpr long long kWaitMs = kSiteTimeoutSeconds * 1000LL;
    const bool silent = siteLatency_ > kWaitMs;
    siteAnswers_.emplace(now_ + std::min(siteLatency_, kWaitMs), PendingPost{url, token, body, silent, std::move(done)});
}

std::optional<long long> SimPlatform::deliverPendingPosts() {
    while (!siteAnswers_.empty() && siteAnswers_.begin()->first <= now_) {
        auto due = siteAnswers_.extract(siteAnswers_.begin());
        PendingPost& post = due.mapped();
        ui::SiteReply reply{0, "", "no network"};
        if (post.silent)
            reply.failure = "no answer within " + std::to_string(kSiteTimeoutSeconds) + " s";
        else if (site_)
            reply = site_(post.url, post.token, post.body);
        posted_.post([done = std::move(post.done), reply = std::move(reply)] { done(reply); });
    }
    if (siteAnswers_.empty()) return std::nullopt;
    return siteAnswers_.begin()->first;
}

namespace {

std::size_t keyIndex(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255)
        throw Error("There is no virtual key " + std::to_string(virtualKey) + " (keys run from 0 to 255)");
    return static_cast<std::size_t>(virtualKey);
}

}  // namespace

std::uint16_t SimPlatform::asyncKeyState(int virtualKey) {
    const std::size_t key = keyIndex(virtualKey);
    ++keyQueries_;
    if (recordKeys_) queriedKeys_.push_back(virtualKey);
    std::uint16_t state = keyDown_[key] ? 0x8000 : 0;
    if (pressedSince_[key]) state |= 1;
    pressedSince_[key] = false;
    return state;
}

void SimPlatform::pressKey(int virtualKey) {
    const std::size_t key = keyIndex(virtualKey);
    keyDown_[key] = true;
    pressedSince_[key] = true;
}

void SimPlatform::releaseKey(int virtualKey) { keyDown_[keyIndex(virtualKey)] = false; }

void SimPlatform::tapKey(int virtualKey) {
    const std::size_t key = keyIndex(virtualKey);
    keyDown_[key] = false;
    pressedSince_[key] = true;
}

void SimPlatform::messageBox(const std::string& text, const std::string& title) {
    messageBoxes_.push_back({text, title});
}

std::optional<ui::Color> SimPlatform::chooseColor(ui::Form&, std::array<ui::Color, 16>& customColors) {
    ++colorDialogs_;
    offeredCustomColors_ = customColors;
    if (colorAnswers_.empty()) return std::nullopt;
    const ColorAnswer answer = colorAnswers_.front();
    colorAnswers_.pop_front();
    if (answer.color && answer.customColors) customColors = *answer.customColors;
    return answer.color;
}

std::string SimPlatform::hostPath(const std::string& path) const {
    std::string host = path;
    std::replace(host.begin(), host.end(), '\\', '/');
    if (host.empty() || host.front() != '/') host = currentFolder_ + "/" + host;
    return host;
}

std::string SimPlatform::readFile(const std::string& path) {
    if (path.empty()) throw Error("Cannot open a file with an empty name");
    std::ifstream in(hostPath(path), std::ios::binary);
    if (!in) throw Error("Cannot open the file " + path + ": it does not exist or cannot be read");
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool SimPlatform::fileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(hostPath(path), error);
}

std::string SimPlatform::ansiToUtf8(std::string_view bytes) { return ui::cp1251ToUtf8(bytes); }

ui::PicturePtr SimPlatform::loadPicture(const std::string& path) {
    std::error_code error;
    const std::string file = hostPath(path);
    const auto size = std::filesystem::file_size(file, error);
    const auto modified = error ? std::filesystem::file_time_type() : std::filesystem::last_write_time(file, error);
    const ui::FileStamp stamp{static_cast<long long>(size), static_cast<long long>(modified.time_since_epoch().count())};
    if (!error)
        if (auto kept = pictures_.find(path, stamp)) return kept;
    std::string bytes;
    try {
        bytes = readFile(path);
    } catch (const Error&) {
        throw Error("Cannot load the picture " + path + ": the file does not exist or cannot be read");
    }
    ui::PicturePtr picture = decodePicture(path, bytes);
    if (!error) pictures_.keep(path, stamp, picture);
    return picture;
}

ui::PicturePtr SimPlatform::makePicture(const std::string& name, int width, int height,
                                        const std::vector<std::uint32_t>& pixels) {
    return std::make_shared<SimPicture>(name, width, height, pixels);
}

void SimPlatform::saveImage(const std::string& path, const ui::WindowImage& image, ui::ImageFormat format,
                            long long modifiedSeconds) {
    if (path.empty()) throw Error("Cannot save the window image to a file with an empty name");
    writeFileAtomically(hostPath(path), "Cannot save the window image to " + path, encodeImage(image, format),
                        modifiedSeconds);
    ++imagesSaved_;
}

void SimPlatform::replaceFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) throw Error("Cannot write to a file with an empty name");
    if (!replaceRefusal_.empty()) throw Error("Cannot write to the file " + path + ": " + replaceRefusal_);
    writeFileAtomically(hostPath(path), "Cannot write to the file " + path, bytes, std::nullopt);
}

void SimPlatform::appendFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) throw Error("Cannot write to a file with an empty name");
    if (!writeRefusal_.empty()) throw Error("Cannot write to the file " + path + ": " + writeRefusal_);
    std::ofstream out(hostPath(path), std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) throw Error("Cannot write to the file " + path + ": it cannot be opened for writing");
}

void SimPlatform::quit(int exitCode) {
    if (!quit_) quit_ = exitCode;
}

void SimPlatform::activate(ui::Form& form) {
    // Becoming the active window raises the form's activation; staying it does not.
    if (active_ == &form) return;
    active_ = &form;
    form.inputActivated();
}

SimWindow* SimPlatform::window(const ui::Form& form) const {
    for (SimWindow* w : windows_)
        if (&w->form == &form && w->open) return w;
    return nullptr;
}

}  // namespace quorvel::sim
