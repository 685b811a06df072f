#include "platform/win32/win32_platform.h"

#include <commdlg.h>
#include <shellapi.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>

#include "platform/win32/wide.h"
#include "platform/win32/win32_picture.h"
#include "platform/win32/win32_site.h"
#include "platform/win32/win32_suggestions.h"
#include "platform/win32/win32_window.h"
#include "ui/display_scale.h"
#include "ui/error.h"
#include "ui/form.h"
#include "ui/timer.h"

namespace quorvel::win32 {

namespace {

// A call of a library, which is loaded if it is not yet and stays loaded, or nullptr
// where this system has none.
template <class Call>
Call optionalFunction(const wchar_t* library, const char* name) {
    HMODULE module = LoadLibraryW(library);
    FARPROC found = module ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(found));
}

// The colour dialog and the shell are loaded when the operator first asks for them, not
// at start: imported with the program, the common dialogs bring in the printing system
// (and under Wine CUPS with its TLS and Kerberos libraries) and the shell the common
// controls, which the start and the table never use, at a cost in start-up time and in
// memory for the whole match.
template <class Function>
Function* systemFunction(const wchar_t* library, const char* name) {
    auto* found = optionalFunction<Function*>(library, name);
    if (!found)
        throw Error("Cannot use " + toUtf8(library) + " (" + name + "): " + errorText(GetLastError()));
    return found;
}

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {
    Win32Window::registerClass(instance_, formClass());
    Win32SuggestionPopup::registerClass(instance_);

    WNDCLASSEXW timerClass{};
    timerClass.cbSize = sizeof timerClass;
    timerClass.lpfnWndProc = &Win32Platform::timerWindowProc;
    timerClass.hInstance = instance_;
    timerClass.lpszClassName = L"QuorvelTimers";
    RegisterClassExW(&timerClass);
    timerWindow_ = CreateWindowExW(0, L"QuorvelTimers", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, nullptr);
    SetWindowLongPtrW(timerWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    QueryPerformanceFrequency(&clockFrequency_);

    dpiForWindow_ = optionalFunction<DpiForWindowCall>(L"user32.dll", "GetDpiForWindow");
    adjustForDpi_ = optionalFunction<AdjustForDpiCall>(L"user32.dll", "AdjustWindowRectExForDpi");
    if (auto dpiForSystem = optionalFunction<UINT(WINAPI*)()>(L"user32.dll", "GetDpiForSystem")) {
        systemDpi_ = static_cast<int>(dpiForSystem());
    } else if (HDC screen = GetDC(nullptr)) {
        systemDpi_ = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
    }
    systemDpi_ = ui::DisplayScale(systemDpi_).dpi();
}

Win32Platform::~Win32Platform() {
    site_.reset();  // its last answer may still be posted
    if (timerWindow_) DestroyWindow(timerWindow_);
    for (auto& entry : fonts_) DeleteObject(entry.handle);
    if (wic_) wic_->Release();
}

std::unique_ptr<ui::WindowPeer> Win32Platform::createWindow(ui::Form& form) {
    return std::make_unique<Win32Window>(*this, form);
}

std::unique_ptr<ui::SuggestionPeer> Win32Platform::createSuggestionPopup(ui::SuggestionList& list) {
    return std::make_unique<Win32SuggestionPopup>(*this, list);
}

DWORD Win32Platform::frameStyle(ui::BorderStyle style) {
    switch (style) {
        case ui::BorderStyle::None: return WS_POPUP;
        // A title bar and the close button only, as the control menu has.
        case ui::BorderStyle::FixedSingle: return WS_CAPTION | WS_SYSMENU;
        case ui::BorderStyle::Sizable: return WS_OVERLAPPEDWINDOW;
        case ui::BorderStyle::FixedDialog: return WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;
        case ui::BorderStyle::FixedToolWindow: return WS_CAPTION | WS_SYSMENU;
        case ui::BorderStyle::SizableToolWindow: return WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
    }
    return WS_POPUP;
}

DWORD Win32Platform::frameExStyle(ui::BorderStyle style) {
    switch (style) {
        case ui::BorderStyle::FixedDialog: return WS_EX_DLGMODALFRAME;
        case ui::BorderStyle::FixedToolWindow:
        case ui::BorderStyle::SizableToolWindow: return WS_EX_TOOLWINDOW;
        default: return 0;
    }
}

int Win32Platform::textWidth(const ui::Font& font, const std::string& text) {
    const std::wstring wide = toWide(text);
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return 0;
    const HGDIOBJ before = SelectObject(screen, this->font(font, ui::DisplayScale::kBaseDpi));
    SIZE size{};
    GetTextExtentPoint32W(screen, wide.c_str(), static_cast<int>(wide.size()), &size);
    SelectObject(screen, before);
    ReleaseDC(nullptr, screen);
    return static_cast<int>(size.cx);
}

ui::FrameSize Win32Platform::frameSize(ui::BorderStyle style) const {
    // Asked on every poll tick (the control menu's height follows its counter), so each
    // kind is measured once, and again after the system's metrics changed.
    // In the program's pixels, as the frame is drawn on the primary monitor.
    auto& cached = frameSizes_[static_cast<std::size_t>(style)];
    if (!cached) {
        RECT r{0, 0, 0, 0};
        adjustWindowRect(r, frameStyle(style), frameExStyle(style), systemDpi_);
        const ui::DisplayScale scale(systemDpi_);
        cached = ui::FrameSize{scale.toLogical(r.right - r.left), scale.toLogical(r.bottom - r.top)};
    }
    return *cached;
}

void Win32Platform::systemMetricsChanged() { frameSizes_.fill(std::nullopt); }

void Win32Platform::adjustWindowRect(RECT& r, DWORD style, DWORD exStyle, int dpi) const {
    if (!adjustForDpi_ || !adjustForDpi_(&r, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
}

int Win32Platform::windowDpi(HWND hwnd) const {
    return dpiForWindow_ && hwnd ? ui::DisplayScale(static_cast<int>(dpiForWindow_(hwnd))).dpi() : systemDpi_;
}

int Win32Platform::dpiAt(POINT point) const {
    // The monitors' own DPIs come from the shell's scaling library, loaded the first time
    // the program asks (a drag of the table), not at start.
    using DpiForMonitorCall = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const auto dpiForMonitor = optionalFunction<DpiForMonitorCall>(L"shcore.dll", "GetDpiForMonitor");
    UINT x = 0;
    UINT y = 0;
    constexpr int kEffectiveDpi = 0;
    if (dpiForMonitor && SUCCEEDED(dpiForMonitor(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), kEffectiveDpi,
                                                 &x, &y)))
        return ui::DisplayScale(static_cast<int>(x)).dpi();
    return systemDpi_;
}

ui::Color Win32Platform::resolveColor(ui::Color color) const {
    if (!ui::isSystemColor(color)) return color;
    return GetSysColor(static_cast<int>(ui::systemColorIndex(color)));
}

// --- Timers ---

namespace {
constexpr UINT_PTR kHeartbeat = 1;
constexpr long long kHeartbeatMs = USER_TIMER_MINIMUM;
// A tick this close to its due time is run at this heartbeat: the system timer may wake
// the program a little before the clock reads the full interval.
constexpr long long kEarly = 2;
}  // namespace

long long Win32Platform::now() const {
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    return count.QuadPart / clockFrequency_.QuadPart * 1000 + count.QuadPart % clockFrequency_.QuadPart * 1000 /
                                                                  clockFrequency_.QuadPart;
}

void Win32Platform::timerChanged(ui::Timer& timer) {
    timers_.update(timer, now());
    if (!timers_.empty() && !heartbeat_)
        heartbeat_ = SetTimer(timerWindow_, kHeartbeat, USER_TIMER_MINIMUM, nullptr) != 0;
    // An empty schedule stops the heartbeat once its next message finds nothing to run.
}

void Win32Platform::timerDestroyed(ui::Timer& timer) { timers_.remove(timer); }

void Win32Platform::runTimers() {
    const long long at = now();
    lastBeat_ = at;
    ++ticking_;
    while (ui::Timer* timer = timers_.takeDue(at + kEarly, at)) timer->runtime().dispatch([timer] { timer->tick(); });
    --ticking_;
    // Windows freed by a tick have left the list. What posted work changed since the last
    // tick is painted now too: its paint messages would wait behind the next work.
    for (Win32Window* window : windows_) window->present(postedRan_);
    postedRan_ = false;
    // Work left over from a slice goes on now that the tick and its painting are done, as
    // does work whose wake could not be posted.
    if (backlog_ || (wakeOwed_.load(std::memory_order_relaxed) && wakeOwed_.exchange(false))) runSlice();
    if (timers_.empty() && !backlog_ && heartbeat_) {
        KillTimer(timerWindow_, kHeartbeat);
        heartbeat_ = false;
    }
}

LRESULT CALLBACK Win32Platform::timerWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        auto* self = reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self) {
            try {
                if (wParam == kHeartbeat)
                    self->runTimers();
                else
                    self->answerPost(wParam, noAnswerInTime());
            } catch (...) {
                self->fatal("Unexpected failure in a timer");
            }
        }
        return 0;
    }
    if (message == kWorkPosted) {
        auto* self = reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self) {
            try {
                self->runPosted();
            } catch (...) {
                self->fatal("Unexpected failure in work posted to the program");
            }
        }
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// --- Work from other threads ---

void Win32Platform::postToUiThread(std::function<void()> work) {
    // One message wakes the UI thread for work posted to an empty queue; work posted
    // behind it is run by the same slice, or by the heartbeat after a slice ran out.
    // Posted messages come before the system's timer and paint messages, so a message
    // for each piece of work would hold off the key poll and the painting while requests
    // keep coming.
    if (posted_.post(std::move(work)) || wakeOwed_.exchange(false)) wake();
}

void Win32Platform::wake() {
    if (!PostMessageW(timerWindow_, kWorkPosted, 0, 0)) wakeOwed_ = true;
}

void Win32Platform::runPosted() {
    // A tick that has come due runs first, and the heartbeat's painting whenever one is
    // owed: while requests keep coming, the messages that wake the UI thread for them
    // would otherwise keep the system's timer message (and paint messages) waiting.
    backlog_ = true;
    const long long at = now();
    const auto due = timers_.nextDue();
    if ((due && *due <= at + kEarly) || at >= lastBeat_ + kHeartbeatMs)
        runTimers();  // which runs the slice after the tick
    else
        runSlice();
}

void Win32Platform::runSlice() {
    postedRan_ = true;
    const long long start = now();
    backlog_ = posted_.runUntil([this] { return now(); }, ui::PostedWork::sliceEnd(start, timers_.nextDue()));
    // What is left waits for the heartbeat, whose message comes only once the input and
    // the painting waiting before it have been handled.
    if (backlog_ && !heartbeat_) {
        heartbeat_ = SetTimer(timerWindow_, kHeartbeat, USER_TIMER_MINIMUM, nullptr) != 0;
        if (!heartbeat_) wake();
    }
}

// --- Web sites ---

void Win32Platform::postJson(const std::string& url, const std::string& token, const std::string& body,
                             std::function<void(ui::SiteReply)> done) {
    if (!site_) site_ = std::make_unique<SitePoster>();
    const UINT_PTR post = nextPost_++;
    // The worker gives up at the deadline too; this timer keeps the promise to the caller
    // also for a post that waits behind another.
    constexpr UINT kWaitMs = kSiteTimeoutSeconds * 1000;
    SetTimer(timerWindow_, post, kWaitMs, nullptr);
    posts_.emplace(post, std::move(done));
    site_->post(url, token, body, SiteClock::now() + std::chrono::milliseconds(kWaitMs),
                [this, post](ui::SiteReply reply) {
                    postToUiThread([this, post, reply = std::move(reply)]() mutable { answerPost(post, std::move(reply)); });
                });
}

void Win32Platform::answerPost(UINT_PTR post, ui::SiteReply reply) {
    const auto waiting = posts_.find(post);
    if (waiting == posts_.end()) return;  // answered already, or given up on
    KillTimer(timerWindow_, post);
    const auto done = std::move(waiting->second);
    posts_.erase(waiting);
    done(std::move(reply));
}

// --- Input state ---

std::uint16_t Win32Platform::asyncKeyState(int virtualKey) {
    return static_cast<std::uint16_t>(GetAsyncKeyState(virtualKey));
}

// The pointer and the screen in the program's 96-DPI pixels: a window on a monitor turns
// them back into that monitor's pixels at the same scale.
ui::Point Win32Platform::cursorPos() {
    POINT p{0, 0};
    GetCursorPos(&p);
    const ui::DisplayScale scale(dpiAt(p));
    return {scale.toLogical(p.x), scale.toLogical(p.y)};
}

ui::Rect Win32Platform::desktopRect() {
    RECT r{};
    GetWindowRect(GetDesktopWindow(), &r);
    const ui::DisplayScale scale(systemDpi_);
    const int left = scale.toLogical(r.left);
    const int top = scale.toLogical(r.top);
    return {left, top, scale.toLogical(r.right) - left, scale.toLogical(r.bottom) - top};
}

// --- Dialogs and shell ---

void Win32Platform::messageBox(const std::string& text, const std::string& title) {
    HWND active = GetActiveWindow();
    HWND owner = windowOf(active) ? active : nullptr;
    MessageBoxW(owner, toWide(text).c_str(), toWide(title).c_str(), MB_OK);
}

std::optional<ui::Color> Win32Platform::chooseColor(ui::Form& owner, std::array<ui::Color, 16>& customColors) {
    COLORREF custom[16];
    std::copy(customColors.begin(), customColors.end(), custom);
    HWND ownerWindow = nullptr;
    for (Win32Window* w : windows_)
        if (&w->form() == &owner) ownerWindow = w->hwnd();
    CHOOSECOLORW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = ownerWindow;
    dialog.lpCustColors = custom;
    dialog.Flags = 0;
    static auto* const choose = systemFunction<decltype(ChooseColorW)>(L"comdlg32.dll", "ChooseColorW");
    if (!choose(&dialog)) return std::nullopt;
    std::copy(std::begin(custom), std::end(custom), customColors.begin());
    return static_cast<ui::Color>(dialog.rgbResult);
}

void Win32Platform::shellOpen(const std::string& target) {
    static auto* const execute = systemFunction<decltype(ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
    execute(nullptr, L"open", toWide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// --- Files ---

std::string Win32Platform::programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) path.resize(slash);
    return toUtf8(path);
}

std::string Win32Platform::readFile(const std::string& path) {
    if (path.empty()) throw Error("Cannot open a file with an empty name");
    std::string content;
    const char* step = nullptr;
    if (const DWORD code = readWholeFile(path, content, step))
        throw Error(std::string("Cannot ") + step + " the file " + path + ": " + errorText(code));
    return content;
}

bool Win32Platform::fileExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string Win32Platform::ansiToUtf8(std::string_view bytes) { return win32::ansiToUtf8(bytes); }

ui::PicturePtr Win32Platform::makePicture(const std::string& name, int width, int height,
                                          const std::vector<std::uint32_t>& pixels) {
    return win32::makePicture(name, width, height, pixels);
}

IWICImagingFactory& Win32Platform::imaging(const std::string& failure) {
    if (!wic_) {
        const HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IWICImagingFactory, reinterpret_cast<void**>(&wic_));
        if (FAILED(hr)) {
            wic_ = nullptr;
            throw Error(failure + ": the imaging component is missing (" + errorText(static_cast<DWORD>(hr)) + ")");
        }
    }
    return *wic_;
}

ui::PicturePtr Win32Platform::loadPicture(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA file{};
    const bool stamped = GetFileAttributesExW(toWide(path).c_str(), GetFileExInfoStandard, &file) != 0;
    const auto join = [](DWORD high, DWORD low) {
        return static_cast<long long>((static_cast<ULONGLONG>(high) << 32) | low);
    };
    const ui::FileStamp stamp{join(file.nFileSizeHigh, file.nFileSizeLow),
                              join(file.ftLastWriteTime.dwHighDateTime, file.ftLastWriteTime.dwLowDateTime)};
    if (stamped)
        if (auto kept = pictures_.find(path, stamp)) return kept;
    ui::PicturePtr picture = win32::loadPicture(imaging("Cannot load the picture " + path), path, pictureFile_);
    if (stamped) pictures_.keep(path, stamp, picture);
    return picture;
}

long long Win32Platform::wallClockSeconds() { return win32::wallClockSeconds(); }

int Win32Platform::localTimeOffsetMinutes() {
    FILETIME utc{};
    FILETIME local{};
    GetSystemTimeAsFileTime(&utc);
    if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
    const auto ticks = [](const FILETIME& t) {
        return static_cast<long long>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    constexpr long long kTicksPerMinute = 600'000'000;  // of 100 ns
    return static_cast<int>((ticks(local) - ticks(utc)) / kTicksPerMinute);
}

namespace {

// Writes `bytes` to the open file in one write, flushed to the disk, and closes it; 0, or
// the system's error code.
DWORD writeAndClose(HANDLE file, std::string_view bytes) {
    DWORD written = 0;
    DWORD code = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        code = GetLastError();
    else if (written != bytes.size())
        code = ERROR_DISK_FULL;
    else if (!FlushFileBuffers(file))
        code = GetLastError();
    CloseHandle(file);
    return code;
}

}  // namespace

void Win32Platform::appendFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) throw Error("Cannot write to a file with an empty name");
    // Append-only access: every write lands at the end, whatever another writer did, and
    // the one WriteFile puts the whole of `bytes` there.
    const HANDLE file = CreateFileW(toWide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw Error("Cannot write to the file " + path + ": " + errorText(GetLastError()));
    if (const DWORD code = writeAndClose(file, bytes))
        throw Error("Cannot write to the file " + path + ": " + errorText(code));
}

void Win32Platform::replaceFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) throw Error("Cannot write to a file with an empty name");
    // Beside the file, as a window image is saved: the rename stays on one volume.
    const std::wstring target = toWide(path);
    const std::wstring temporary = target + L".tmp";
    const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw Error("Cannot write to the file " + path + ": " + errorText(GetLastError()));
    DWORD code = writeAndClose(file, bytes);
    if (code == 0 && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        code = GetLastError();
    if (code != 0) {
        DeleteFileW(temporary.c_str());
        throw Error("Cannot write to the file " + path + ": " + errorText(code));
    }
}

void Win32Platform::saveImage(const std::string& path, const ui::WindowImage& image, ui::ImageFormat format,
                              long long modifiedSeconds) {
    win32::saveImageFile(imaging("Cannot save the window image to " + path), path, image, format, modifiedSeconds);
}

// --- Fonts ---

HFONT Win32Platform::font(const ui::Font& font, int dpi, bool crisp) {
    for (const auto& entry : fonts_)
        if (entry.font == font && entry.dpi == dpi && entry.crisp == crisp) return entry.handle;
    const int height = -ui::DisplayScale(dpi).fontHeight(font.size);
    HFONT handle = CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, font.italic ? TRUE : FALSE, FALSE,
                               FALSE, static_cast<DWORD>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               crisp ? NONANTIALIASED_QUALITY : DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                               toWide(font.name).c_str());
    if (!handle) handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fonts_.push_back({font, dpi, crisp, handle});
    return handle;
}

// --- Windows ---

void Win32Platform::unregisterWindow(Win32Window* window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

Win32Window* Win32Platform::windowOf(HWND hwnd) const {
    if (!hwnd) return nullptr;
    for (Win32Window* w : windows_)
        if (w->hwnd() == hwnd) return w;
    return nullptr;
}

// --- The loop and the end ---

// Ctrl+A in a text box (an edit field, a combo box's too) selects all of its text, as in
// multi-line boxes: the single-line edit field of the system does not do it by itself.
// Taken before it is translated, so no Ctrl+A character reaches the box to beep.
bool Win32Platform::selectAllKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != 'A' || GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_SHIFT) < 0 ||
        GetKeyState(VK_MENU) < 0)
        return false;
    wchar_t className[8] = {};
    if (GetClassNameW(msg.hwnd, className, 8) == 0 || lstrcmpiW(className, L"Edit") != 0) return false;
    SendMessageW(msg.hwnd, EM_SETSEL, 0, -1);
    return true;
}

int Win32Platform::run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Timer ticks, a hundred a second, go straight to the timer window.
        if (msg.hwnd == timerWindow_) {
            DispatchMessageW(&msg);
            continue;
        }
        if (selectAllKey(msg)) continue;
        // Tab and Shift+Tab move between a form's native controls.
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && windowOf(root) && IsDialogMessageW(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// quit() ends the process right here with ExitProcess rather than posting WM_QUIT: it is
// also called from inside modal loops (a failure reported while a message box is open,
// or from a handler running under the colour dialog), and a posted WM_QUIT would only
// end the innermost loop and let the interrupted handler carry on. The program keeps no
// state that needs writing at exit; the system frees the windows and GDI objects.
void Win32Platform::quit(int exitCode) {
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(exitCode));
    __builtin_unreachable();
}

void Win32Platform::fatal(const std::string& message) {
    MessageBoxW(nullptr, toWide(message).c_str(), L"Quorvel", MB_OK | MB_ICONERROR);
    Win32Platform::quit(1);
}

}  // namespace quorvel::win32
