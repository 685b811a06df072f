#include "platform/win32/win32_window.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "platform/win32/wide.h"
#include "platform/win32/win32_picture.h"
#include "platform/win32/win32_platform.h"
#include "ui/error.h"

namespace quorvel::win32 {

namespace {

#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

constexpr int kFirstControlId = 1000;
// Pixels a combo box's drop-down list adds below its selection field.
constexpr int kComboDropHeight = 200;

int shiftMask(WPARAM keys) {
    int shift = 0;
    if (keys & MK_SHIFT) shift |= ui::modifier::kShift;
    if (keys & MK_CONTROL) shift |= ui::modifier::kCtrl;
    if (GetKeyState(VK_MENU) < 0) shift |= ui::modifier::kAlt;
    return shift;
}

int buttonsMask(WPARAM keys) {
    int buttons = 0;
    if (keys & MK_LBUTTON) buttons |= ui::mouse::kLeft;
    if (keys & MK_RBUTTON) buttons |= ui::mouse::kRight;
    if (keys & MK_MBUTTON) buttons |= ui::mouse::kMiddle;
    return buttons;
}

// The button a press or release message is about (0 for other messages).
int buttonOf(UINT message) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK: return ui::mouse::kLeft;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK: return ui::mouse::kRight;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK: return ui::mouse::kMiddle;
        default: return 0;
    }
}

bool isPress(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN || m == WM_RBUTTONDBLCLK ||
           m == WM_MBUTTONDBLCLK;
}

// Selects `bitmap` into `dc` in place of `current`, which is freed; the first time the
// DC's own bitmap is kept in `original`, to be put back before the DC is deleted.
void replaceBitmap(HDC dc, HBITMAP bitmap, HBITMAP& current, HGDIOBJ& original) {
    HGDIOBJ old = SelectObject(dc, bitmap);
    if (current) {
        DeleteObject(current);
    } else {
        original = old;
    }
    current = bitmap;
}

// Every pixel of a client area.
constexpr RECT kWholeArea{0, 0, 0x7FFF, 0x7FFF};

bool intersects(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

void Win32Window::registerClass(HINSTANCE instance, const wchar_t* className) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Win32Window::windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    // The program's icon (resource 1), for the title bar, the taskbar and Alt+Tab: each of
    // the two sizes the system asks for at its scale (32 and 16 pixels at 100 %, 48 and 24
    // at 150 %) is taken from the icon's own image of that size, not scaled from another.
    // Loaded once for the class, which lives as long as the program.
    const auto icon = [instance](int width, int height) {
        return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(width),
                                             GetSystemMetrics(height), LR_DEFAULTCOLOR));
    };
    wc.hIcon = icon(SM_CXICON, SM_CYICON);
    wc.hIconSm = icon(SM_CXSMICON, SM_CYSMICON);
    wc.hbrBackground = nullptr;  // the window paints all of its client area
    wc.lpszClassName = className;
    RegisterClassExW(&wc);
}

Win32Window::Win32Window(Win32Platform& platform, ui::Form& form)
    : platform_(platform), form_(form), scale_(platform.systemDpi()) {
    const DWORD style = Win32Platform::frameStyle(form_.borderStyle()) | WS_CLIPCHILDREN;
    const DWORD exStyle = Win32Platform::frameExStyle(form_.borderStyle());
    RECT r{0, 0, scale_.twipsToPhysical(form_.clientWidth()), scale_.twipsToPhysical(form_.clientHeight())};
    platform_.adjustWindowRect(r, style, exStyle, scale_.dpi());
    applying_ = true;
    CreateWindowExW(exStyle, platform_.formClass(), toWide(form_.caption()).c_str(), style,
                    scale_.twipsToPhysical(form_.left()), scale_.twipsToPhysical(form_.top()), r.right - r.left,
                    r.bottom - r.top, nullptr, nullptr, platform_.instance(), this);
    applying_ = false;
    if (!hwnd_) throw Error("Cannot create the window of " + form_.name() + ": " + errorText(GetLastError()));
    platform_.registerWindow(this);
    pictureDC_ = CreateCompatibleDC(nullptr);
    // Created on a monitor of another scale than the primary one: laid out for that one.
    if (const int dpi = platform_.windowDpi(hwnd_); dpi != scale_.dpi()) {
        setScale(dpi);
        applyGeometry();
    }
    try {
        createNatives();
    } catch (...) {
        // No destructor runs for an object whose constructor failed.
        close();
        DeleteDC(pictureDC_);
        throw;
    }
}

Win32Window::~Win32Window() {
    close();
    if (bufferDC_) {
        SelectObject(bufferDC_, bufferOld_);
        DeleteObject(buffer_);
        DeleteDC(bufferDC_);
    }
    if (pictureDC_) DeleteDC(pictureDC_);
}

void Win32Window::close() {
    if (!hwnd_) return;
    // Detach first: the messages that destroying sends (deactivation, lost focus) are
    // not the operator's. Other windows still see this one as ours while it goes, so
    // the window activated next counts the switch as one between our windows.
    HWND hwnd = hwnd_;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
    hwnd_ = nullptr;
    natives_.clear();
    hooks_.clear();
    platform_.unregisterWindow(this);
}

// --- Native controls ---

void Win32Window::createNatives() {
    std::size_t count = 0;
    for (const auto& control : form_.controls())
        if (!control->windowless()) ++count;
    natives_.reserve(count);
    // Created in the order of the form's controls, which is the Tab order.
    for (const auto& owned : form_.controls()) {
        ui::Control& control = *owned;
        if (control.windowless()) continue;
        const wchar_t* className = L"BUTTON";
        DWORD style = WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        switch (control.kind()) {
            case ui::ControlKind::TextBox: {
                className = L"EDIT";
                style |= ES_AUTOHSCROLL;
                const auto alignment = static_cast<const ui::TextBox&>(control).alignment();
                style |= alignment == ui::Alignment::Center  ? ES_CENTER
                         : alignment == ui::Alignment::Right ? ES_RIGHT
                                                             : ES_LEFT;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            }
            case ui::ControlKind::ComboBox:
                className = L"COMBOBOX";
                style |= WS_VSCROLL | (static_cast<const ui::ComboBox&>(control).style() == ui::ComboStyle::DropDownCombo
                                           ? CBS_DROPDOWN | CBS_AUTOHSCROLL
                                           : CBS_DROPDOWNLIST);
                break;
            default: style |= BS_PUSHBUTTON; break;
        }
        const int id = kFirstControlId + static_cast<int>(natives_.size());
        HWND child = CreateWindowExW(exStyle, className, L"", style, 0, 0, 0, 0, hwnd_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), platform_.instance(), nullptr);
        if (!child) throw Error("Cannot create the control " + control.name() + ": " + errorText(GetLastError()));
        Native native{&control, child, nullptr, nullptr};
        if (control.kind() == ui::ControlKind::ComboBox) {
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            if (GetComboBoxInfo(child, &info)) {
                if (info.hwndItem != child) native.edit = info.hwndItem;
                native.list = info.hwndList;
            }
        }
        hookNative(child, natives_.size());
        if (native.edit) hookNative(native.edit, natives_.size());
        natives_.push_back(native);
    }
    for (Native& native : natives_)
        syncNative(native, ui::change::kGeometry | ui::change::kVisibility | ui::change::kEnabled |
                               ui::change::kAppearance | ui::change::kItems | ui::change::kSelection |
                               ui::change::kText);
}

Win32Window::Native* Win32Window::nativeOf(HWND hwnd) {
    if (!hwnd) return nullptr;
    for (Native& native : natives_)
        if (native.hwnd == hwnd || native.edit == hwnd || native.list == hwnd) return &native;
    return nullptr;
}

const std::wstring& Win32Window::nativeText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    other_.resize(static_cast<std::size_t>(length) + 1);
    const int copied = GetWindowTextW(hwnd, other_.data(), length + 1);
    other_.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return other_;
}

void Win32Window::setNativeText(HWND hwnd, const std::string& text) {
    toWide(text, text_);
    if (nativeText(hwnd) != text_) SetWindowTextW(hwnd, text_.c_str());
}

void Win32Window::syncNative(Native& native, unsigned changes) {
    const ui::Control& control = *native.control;
    syncing_ = true;
    if (changes & ui::change::kGeometry) {
        const RECT r = physical(control.formRect());
        const int extra = control.kind() == ui::ControlKind::ComboBox ? scale_.toPhysical(kComboDropHeight) : 0;
        MoveWindow(native.hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top + extra, TRUE);
    }
    if (changes & ui::change::kVisibility) ShowWindow(native.hwnd, control.shown() ? SW_SHOWNA : SW_HIDE);
    if (changes & ui::change::kEnabled) EnableWindow(native.hwnd, control.enabled() ? TRUE : FALSE);
    if (changes & ui::change::kAppearance) {
        const auto& text = static_cast<const ui::TextControl&>(control);
        SendMessageW(native.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(platform_.font(text.font(), scale_.dpi())),
                     TRUE);
        InvalidateRect(native.hwnd, nullptr, TRUE);
        if (native.edit) InvalidateRect(native.edit, nullptr, TRUE);
    }
    switch (control.kind()) {
        case ui::ControlKind::TextBox:
            if (changes & ui::change::kText) setNativeText(native.hwnd, static_cast<const ui::TextBox&>(control).text());
            break;
        case ui::ControlKind::Button:
            if (changes & ui::change::kText) setNativeText(native.hwnd, static_cast<const ui::Button&>(control).caption());
            break;
        case ui::ControlKind::ComboBox: {
            const auto& combo = static_cast<const ui::ComboBox&>(control);
            if (changes & ui::change::kItems) {
                // A list only grows by one entry at a time or is emptied: add what the
                // native list lacks, and start again only when it holds more (long lists
                // are filled entry by entry, each a change).
                const auto& items = combo.items();
                auto count = static_cast<std::size_t>(std::max<LRESULT>(SendMessageW(native.hwnd, CB_GETCOUNT, 0, 0), 0));
                if (count > items.size()) {
                    SendMessageW(native.hwnd, CB_RESETCONTENT, 0, 0);
                    count = 0;
                }
                for (std::size_t i = count; i < items.size(); ++i) {
                    toWide(items[i], text_);
                    SendMessageW(native.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text_.c_str()));
                }
            }
            if ((changes & (ui::change::kItems | ui::change::kSelection)) &&
                SendMessageW(native.hwnd, CB_GETCURSEL, 0, 0) != combo.listIndex())
                SendMessageW(native.hwnd, CB_SETCURSEL, static_cast<WPARAM>(combo.listIndex()), 0);
            if (changes & (ui::change::kItems | ui::change::kSelection | ui::change::kText)) {
                if (combo.style() == ui::ComboStyle::DropDownCombo) {
                    setNativeText(native.hwnd, combo.text());
                } else if (!(changes & ui::change::kSelection)) {
                    // A drop-down list shows only its entries: the text picks the entry. An
                    // empty text picks only an empty entry; while a long list is filled entry
                    // by entry its text is empty, and asking the list to search itself for
                    // every new entry would cost time in the square of its length.
                    const auto& items = combo.items();
                    const bool onlyEmptyMatches = combo.text().empty();
                    LRESULT found = CB_ERR;
                    if (!onlyEmptyMatches || std::any_of(items.begin(), items.end(),
                                                         [](const std::string& item) { return item.empty(); })) {
                        toWide(combo.text(), text_);
                        found = SendMessageW(native.hwnd, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                             reinterpret_cast<LPARAM>(text_.c_str()));
                    }
                    if (found != SendMessageW(native.hwnd, CB_GETCURSEL, 0, 0))
                        SendMessageW(native.hwnd, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
                }
            }
            break;
        }
        default: break;
    }
    syncing_ = false;
}

void Win32Window::hookNative(HWND hwnd, std::size_t index) {
    auto hook = std::make_unique<NativeHook>(NativeHook{this, index, nullptr});
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hook.get()));
    hook->original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Window::nativeProc)));
    hooks_.push_back(std::move(hook));
}

LRESULT CALLBACK Win32Window::nativeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* hook = reinterpret_cast<const NativeHook*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    // The handler below may close the form and free the hook: keep what comes after it.
    const WNDPROC original = hook->original;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return CallWindowProcW(original, hwnd, message, wParam, lParam);
    }
    if (message == WM_KEYDOWN || message == WM_CHAR || message == WM_GETDLGCODE) {
        Win32Window* self = hook->window;
        if (self->hwnd_) {
            if (const auto taken = self->nativeKey(hwnd, hook->index, message, wParam, lParam, original)) return *taken;
        }
        return CallWindowProcW(original, hwnd, message, wParam, lParam);
    }
    const int button = buttonOf(message);
    if (button == 0 && message != WM_MOUSEMOVE) return CallWindowProcW(original, hwnd, message, wParam, lParam);

    Win32Window* self = hook->window;
    const std::size_t index = hook->index;
    if (!self->hwnd_ || index >= self->natives_.size()) return CallWindowProcW(original, hwnd, message, wParam, lParam);
    Win32Platform& platform = self->platform_;
    try {
        const Native& native = self->natives_[index];
        ui::Control& control = *native.control;
        ui::Form& form = self->form_;
        // Positions relative to the control, also over a combo box's edit field: the
        // form's pixel under the pointer less the control's first pixel.
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        MapWindowPoints(hwnd, self->hwnd_, &p, 1);
        const ui::DisplayScale& scale = self->scale_;
        const ui::Rect place = control.formRect();
        const ui::Point at{ui::pixelsToTwips(scale.toLogical(p.x) - ui::twipsToPixels(place.left)),
                           ui::pixelsToTwips(scale.toLogical(p.y) - ui::twipsToPixels(place.top))};
        const int shift = shiftMask(wParam);
        // The form may close in the handler: nothing of `self` is used after it.
        if (message == WM_MOUSEMOVE)
            form.inputControlPointerMove(control, at, buttonsMask(wParam), shift);
        else if (message == WM_LBUTTONDBLCLK)
            form.inputControlDoubleClick(control);
        else if (isPress(message))
            form.inputControlPointerDown(control, at, button, shift);
        else
            form.inputControlPointerUp(control, at, button, shift);
    } catch (...) {
        platform.fatal("Unexpected failure handling the pointer");
    }
    if (!IsWindow(hwnd)) return 0;
    return CallWindowProcW(original, hwnd, message, wParam, lParam);
}

std::optional<LRESULT> Win32Window::nativeKey(HWND hwnd, std::size_t index, UINT message, WPARAM wParam,
                                              LPARAM lParam, WNDPROC original) {
    if (index >= natives_.size() || natives_[index].control->kind() != ui::ControlKind::TextBox) return std::nullopt;
    ui::Control& control = *natives_[index].control;
    const ui::SuggestionList* list = static_cast<const ui::TextBox&>(control).suggestions();
    if (!list) return std::nullopt;
    switch (message) {
        case WM_GETDLGCODE: {
            // While the list is shown, Enter and Escape go to the box rather than to the
            // dialog navigation of the message loop.
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            if (list->open() && msg && msg->message == WM_KEYDOWN &&
                (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
                return CallWindowProcW(original, hwnd, message, wParam, lParam) | DLGC_WANTMESSAGE;
            return std::nullopt;
        }
        case WM_KEYDOWN: {
            keyTaken_ = false;
            if (wParam != VK_UP && wParam != VK_DOWN && wParam != VK_RETURN && wParam != VK_ESCAPE) return std::nullopt;
            if (!form_.inputKeyDown(control, static_cast<int>(wParam))) return std::nullopt;
            // Taking a name leaves the caret after it. Nothing of this object is used
            // after the form's handler but through the handle.
            if (IsWindow(hwnd)) {
                keyTaken_ = wParam == VK_RETURN || wParam == VK_ESCAPE;
                const int end = GetWindowTextLengthW(hwnd);
                SendMessageW(hwnd, EM_SETSEL, static_cast<WPARAM>(end), end);
            }
            return 0;
        }
        default:  // WM_CHAR
            if (keyTaken_ && (wParam == '\r' || wParam == 0x1B)) {
                keyTaken_ = false;
                return 0;
            }
            return std::nullopt;
    }
}

HWND Win32Window::nativeHandle(const ui::Control& control) const {
    for (const Native& native : natives_)
        if (native.control == &control) return native.hwnd;
    return nullptr;
}

// --- Form window messages ---

LRESULT CALLBACK Win32Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    Win32Platform& platform = self->platform_;
    try {
        return self->handle(message, wParam, lParam);
    } catch (...) {
        platform.fatal("Unexpected failure handling a window message");
    }
}

// Every branch that calls into the form returns right after: the handler may have closed
// the form and freed this object.
LRESULT Win32Window::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_SETTINGCHANGE:
        case WM_THEMECHANGED:
            platform_.systemMetricsChanged();
            break;
        case WM_SYSCOLORCHANGE: stale_ = kWholeArea; break;
        case WM_GETDPISCALEDSIZE: {
            // The size the window takes at the new scale: the system's suggestion follows it.
            const RECT r = outerRect(ui::DisplayScale(static_cast<int>(wParam)));
            auto* size = reinterpret_cast<SIZE*>(lParam);
            size->cx = r.right - r.left;
            size->cy = r.bottom - r.top;
            return TRUE;
        }
        case WM_DPICHANGED:
            // The frame sizes the platform keeps are measured at the system's DPI, which
            // stays the same for the life of the process: they hold on every monitor.
            dpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_PAINT: paint(); return 0;
        case WM_CLOSE: form_.inputCloseRequested(); return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
                return 0;
            }
            if (HIWORD(wParam)) break;  // activated while minimised
            activated(reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_WINDOWPOSCHANGED:
            if (!applying_) operatorMovedOrResized();
            break;
        case WM_COMMAND: return command(wParam, lParam);
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC: return controlColor(message, wParam, lParam);

        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
            SetCapture(hwnd_);
            form_.inputPointerDown(twipsAt(lParam), buttonOf(message), shiftMask(wParam));
            return 0;
        case WM_LBUTTONDBLCLK:
            SetCapture(hwnd_);
            form_.inputDoubleClick(twipsAt(lParam), ui::mouse::kLeft, shiftMask(wParam));
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (buttonsMask(wParam) == 0) {
                // Our own release of the pointer: the release below still belongs to the
                // pressed control, and makes its click.
                releasingCapture_ = true;
                ReleaseCapture();
                releasingCapture_ = false;
            }
            form_.inputPointerUp(twipsAt(lParam), buttonOf(message), shiftMask(wParam));
            return 0;
        case WM_MOUSEMOVE:
            form_.inputPointerMove(twipsAt(lParam), buttonsMask(wParam), shiftMask(wParam));
            return 0;
        case WM_CAPTURECHANGED:
            // Another window took the pointer (a message box, a switch to another program):
            // the buttons' releases will not reach this window.
            if (!releasingCapture_ && reinterpret_cast<HWND>(lParam) != hwnd_) form_.inputPointerCaptureLost();
            return 0;
        default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void Win32Window::activated(HWND previous) {
    // The form's activation is raised when the operator switches to this window from
    // another of ours, or on its first activation after being shown; coming back from
    // another program does not raise it.
    const bool raise = showPending_ || (previous && previous != hwnd_ && platform_.windowOf(previous));
    showPending_ = false;
    // Give the focus back to the control that had it, or to the first one that takes it.
    HWND focus = lastFocus_ && IsWindow(lastFocus_) && IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_)
                     ? lastFocus_
                     : nullptr;
    if (!focus) {
        for (const Native& native : natives_)
            if (IsWindowVisible(native.hwnd) && IsWindowEnabled(native.hwnd)) {
                focus = native.hwnd;
                break;
            }
    }
    SetFocus(focus ? focus : hwnd_);
    if (raise) form_.inputActivated();
}

void Win32Window::operatorMovedOrResized() {
    if (IsIconic(hwnd_) || !IsWindowVisible(hwnd_)) return;
    RECT outer{};
    RECT client{};
    GetWindowRect(hwnd_, &outer);
    GetClientRect(hwnd_, &client);
    const bool moved =
        outer.left != scale_.twipsToPhysical(form_.left()) || outer.top != scale_.twipsToPhysical(form_.top());
    const bool resized = client.right != scale_.twipsToPhysical(form_.clientWidth()) ||
                         client.bottom != scale_.twipsToPhysical(form_.clientHeight());
    if (!moved && !resized) return;
    // Neither input runs a handler of the program, so this object outlives both calls.
    operatorChange_ = true;
    if (moved) form_.inputMoved({scale_.toLogical(outer.left), scale_.toLogical(outer.top)});
    if (resized) form_.inputResized(scale_.toLogical(client.right), scale_.toLogical(client.bottom));
    operatorChange_ = false;
}

void Win32Window::setScale(int dpi) {
    scale_ = ui::DisplayScale(dpi);
    // Fonts and pictures at the new scale are made once, at the paint that follows.
    for (Native& native : natives_) syncNative(native, ui::change::kGeometry | ui::change::kAppearance);
    invalidateAll();
}

void Win32Window::invalidateAll() {
    InvalidateRect(hwnd_, nullptr, FALSE);
    stale_ = kWholeArea;
}

void Win32Window::placeWindow(const RECT& outer, UINT flags) {
    const bool prior = std::exchange(applying_, true);
    SetWindowPos(hwnd_, nullptr, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | flags);
    applying_ = prior;
}

void Win32Window::dpiChanged(int dpi, const RECT& suggested) {
    // The program's own move across monitors keeps the place the program gave; the
    // operator's drag takes the place the system suggests, at the size this window
    // answered for the new scale.
    const bool ours = applying_;
    setScale(dpi);
    const RECT own = outerRect();
    const RECT& place = ours ? own : suggested;
    placeWindow({place.left, place.top, place.left + own.right - own.left, place.top + own.bottom - own.top});
    if (!ours) operatorMovedOrResized();
}

LRESULT Win32Window::command(WPARAM wParam, LPARAM lParam) {
    Native* native = nativeOf(reinterpret_cast<HWND>(lParam));
    if (!native || syncing_) return 0;
    ui::Control& control = *native->control;
    const unsigned code = HIWORD(wParam);
    switch (control.kind()) {
        case ui::ControlKind::TextBox:
            if (code == EN_CHANGE) {
                std::string text = toUtf8(nativeText(native->hwnd));
                if (text != static_cast<ui::TextBox&>(control).text()) form_.inputTextEdited(control, std::move(text));
            } else if (code == EN_KILLFOCUS) {
                form_.inputFocusLost(control);
            }
            return 0;
        case ui::ControlKind::ComboBox:
            if (code == CBN_EDITCHANGE) {
                form_.inputTextEdited(control, toUtf8(nativeText(native->hwnd)));
            } else if (code == CBN_SELCHANGE) {
                const auto index = SendMessageW(native->hwnd, CB_GETCURSEL, 0, 0);
                form_.inputListPicked(static_cast<ui::ComboBox&>(control), static_cast<int>(index));
            } else if (code == CBN_KILLFOCUS) {
                form_.inputFocusLost(control);
            }
            return 0;
        case ui::ControlKind::Button:
            if (code == BN_CLICKED) form_.inputButtonClicked(static_cast<ui::Button&>(control));
            return 0;
        default: return 0;
    }
}

LRESULT Win32Window::controlColor(UINT message, WPARAM wParam, LPARAM lParam) {
    const Native* native = nativeOf(reinterpret_cast<HWND>(lParam));
    if (!native) return DefWindowProcW(hwnd_, message, wParam, lParam);
    const auto& control = static_cast<const ui::TextControl&>(*native->control);
    HDC dc = reinterpret_cast<HDC>(wParam);
    const COLORREF back = platform_.resolveColor(control.backColor());
    const COLORREF fore =
        control.enabled() ? platform_.resolveColor(control.foreColor()) : GetSysColor(COLOR_GRAYTEXT);
    SetTextColor(dc, fore);
    SetBkColor(dc, back);
    // The DC brush takes the colour of the control's own DC: no brush to create or free.
    SetDCBrushColor(dc, back);
    return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
}

// --- Form properties ---

void Win32Window::formChanged(unsigned changes) {
    if (!hwnd_) return;
    if (changes & ui::change::kText) {
        toWide(form_.caption(), text_);
        SetWindowTextW(hwnd_, text_.c_str());
    }
    if ((changes & ui::change::kGeometry) && !operatorChange_) applyGeometry();
    if (changes & (ui::change::kAppearance | ui::change::kPicture)) invalidateAll();
}

RECT Win32Window::physical(const ui::Rect& twips) const {
    return {scale_.twipsToPhysical(twips.left), scale_.twipsToPhysical(twips.top), scale_.twipsToPhysical(twips.right()),
            scale_.twipsToPhysical(twips.bottom())};
}

ui::Point Win32Window::twipsAt(LPARAM lParam) const {
    return {scale_.physicalToTwips(GET_X_LPARAM(lParam)), scale_.physicalToTwips(GET_Y_LPARAM(lParam))};
}

RECT Win32Window::outerRect(const ui::DisplayScale& scale) const {
    RECT r{0, 0, scale.twipsToPhysical(form_.clientWidth()), scale.twipsToPhysical(form_.clientHeight())};
    platform_.adjustWindowRect(r, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                               static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), scale.dpi());
    const int left = scale.twipsToPhysical(form_.left());
    const int top = scale.twipsToPhysical(form_.top());
    return {left, top, left + r.right - r.left, top + r.bottom - r.top};
}

void Win32Window::applyGeometry() {
    const RECT target = outerRect();
    RECT current{};
    GetWindowRect(hwnd_, &current);
    if (EqualRect(&target, &current)) return;
    // A place between two of the program's pixels, where the operator or the system put
    // the window at a scale above 96 DPI, is kept: the form's place is that pixel.
    if (target.right - target.left == current.right - current.left &&
        target.bottom - target.top == current.bottom - current.top &&
        scale_.physicalToTwips(current.left) == ui::pixelsToTwips(ui::twipsToPixels(form_.left())) &&
        scale_.physicalToTwips(current.top) == ui::pixelsToTwips(ui::twipsToPixels(form_.top())))
        return;
    placeWindow(target);
}

void Win32Window::controlChanged(const ui::Control& control, unsigned changes, const ui::Rect& before) {
    if (!hwnd_) return;
    if (control.windowless()) {
        RECT area = physical(before);
        const RECT now = physical(control.formRect());
        UnionRect(&area, &area, &now);
        UnionRect(&stale_, &stale_, &area);
        if (!platform_.ticking()) {
            InvalidateRect(hwnd_, &area, FALSE);
        } else if (pendingCount_ < pending_.size()) {
            pending_[pendingCount_++] = area;
        } else {
            UnionRect(&pending_.back(), &pending_.back(), &area);
        }
        // Native controls inside a frame move and hide with it.
        if (changes & (ui::change::kGeometry | ui::change::kVisibility)) {
            for (Native& native : natives_)
                for (const ui::Control* c = native.control->container(); c; c = c->container())
                    if (c == &control) syncNative(native, ui::change::kGeometry | ui::change::kVisibility);
        }
        return;
    }
    for (Native& native : natives_)
        if (native.control == &control) syncNative(native, changes);
}

namespace {

// Brings a shown window above every other of its band, other programs' among them. Wine
// asks the X window manager to raise only a window that is first of all the program's
// windows, which a window under the always-on-top table is not: the window is first made
// always on top, which raises it there, and then put back at the top of its own band.
void raise(HWND hwnd) {
    constexpr UINT kInPlace = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    const bool topmost = (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, kInPlace);
    if (!topmost) SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, kInPlace);
}

}  // namespace

void Win32Window::setVisible(bool visible) {
    if (!hwnd_) return;
    HWND hwnd = hwnd_;
    const bool shown = IsWindowVisible(hwnd) != FALSE;
    if (!visible) {
        if (shown) ShowWindow(hwnd, SW_HIDE);
        return;
    }
    // Showing a window, also one already shown behind others, brings it to the front
    // and makes it the active window; becoming active runs the form's activation, as at
    // its first showing. A shown window is also raised on its own, after the request for
    // the focus: a window manager may refuse that request yet honour one to raise, and
    // another program's window may be over the active one.
    if (shown && GetForegroundWindow() == hwnd) {
        raise(hwnd);
        return;
    }
    showPending_ = true;
    // Activation may run the form's activation handler, and that may close the form:
    // only the local handle is used afterwards.
    if (!shown) ShowWindow(hwnd, SW_SHOW);
    else if (IsIconic(hwnd)) ShowWindow(hwnd, SW_RESTORE);
    SetForegroundWindow(hwnd);
    if (shown && IsWindow(hwnd)) raise(hwnd);
}

void Win32Window::setBorderStyle(ui::BorderStyle style) {
    if (!hwnd_) return;
    constexpr DWORD kFrameBits =
        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_DLGFRAME | WS_BORDER;
    constexpr DWORD kFrameExBits = WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
    auto current = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
    auto currentEx = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    const DWORD newStyle = (current & ~kFrameBits) | Win32Platform::frameStyle(style);
    // Layered and topmost stay as they are.
    const DWORD newEx = (currentEx & ~kFrameExBits) | Win32Platform::frameExStyle(style);
    const bool prior = std::exchange(applying_, true);
    SetWindowLongPtrW(hwnd_, GWL_STYLE, static_cast<LONG_PTR>(newStyle));
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, static_cast<LONG_PTR>(newEx));
    applying_ = prior;
    placeWindow(outerRect(), SWP_FRAMECHANGED);  // the same client size in the new frame
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void Win32Window::placeTopmost() {
    // Above every window, and without activating: the chord that re-asserts it acts on
    // every poll while it is held, and activating the table would take the keyboard
    // from the game or from the control menu the operator is typing into.
    if (hwnd_) SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32Window::makeSeeThrough(ui::Color key) {
    if (!hwnd_) return;
    const LONG exStyle = GetWindowLongW(hwnd_, GWL_EXSTYLE);
    if (!(exStyle & WS_EX_LAYERED)) SetWindowLongW(hwnd_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    SetLayeredWindowAttributes(hwnd_, platform_.resolveColor(key), 0, LWA_COLORKEY);
    if (!seeThrough_) {
        seeThrough_ = true;
        invalidateAll();
    }
}

// --- Window picture ---

void Win32Window::drawImage(ui::WindowImage& image) {
    const auto failure = [this](const std::string& reason) {
        return Error("Cannot draw the picture of the window " + form_.name() + ": " + reason);
    };
    if (!hwnd_) throw failure("the window is closed");
    RECT client{};
    GetClientRect(hwnd_, &client);
    // A minimised window has no client area: it is drawn at the size it was last painted.
    if (IsRectEmpty(&client)) client = {0, 0, bufferWidth_, bufferHeight_};
    if (IsRectEmpty(&client)) throw failure("the window has no area");
    ensureBuffer(nullptr, client.right, client.bottom);
    if (!bufferBits_ || bufferWidth_ != client.right || bufferHeight_ != client.bottom)
        throw failure(errorText(GetLastError()));
    // Only what changed and was not painted since is painted here: the rest of the buffer
    // is current already.
    RECT area{};
    if (IntersectRect(&area, &stale_, &client)) paintBuffer(area);
    SetRectEmpty(&stale_);
    GdiFlush();
    const auto* bits = static_cast<const std::uint32_t*>(bufferBits_);
    image.width = bufferWidth_;
    image.height = bufferHeight_;
    image.pixels.assign(bits, bits + static_cast<std::size_t>(bufferWidth_) * static_cast<std::size_t>(bufferHeight_));
}

// --- Painting ---

void Win32Window::ensureBuffer(HDC screen, int width, int height) {
    if (bufferDC_ && width == bufferWidth_ && height == bufferHeight_) return;
    if (!bufferDC_) {
        bufferDC_ = CreateCompatibleDC(screen);
        SetBkMode(bufferDC_, TRANSPARENT);
        SetStretchBltMode(bufferDC_, HALFTONE);
        SetBrushOrgEx(bufferDC_, 0, 0, nullptr);
    }
    void* bits = nullptr;
    HBITMAP bitmap = createDibSection(std::max(width, 1), std::max(height, 1), bits);
    if (!bitmap) return;  // painting goes on in the buffer there is
    replaceBitmap(bufferDC_, bitmap, buffer_, bufferOld_);
    bufferBits_ = bits;
    stale_ = kWholeArea;
    bufferWidth_ = width;
    bufferHeight_ = height;
}

void Win32Window::fill(HDC dc, const RECT& r, ui::Color color) {
    SetDCBrushColor(dc, platform_.resolveColor(color));
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void Win32Window::drawPicture(HDC dc, const ui::PicturePtr& picture, const RECT& box, bool stretch) {
    const auto* native = dynamic_cast<const Win32Picture*>(picture.get());
    if (!native) return;
    // The picture's size on this monitor.
    const int width = stretch ? box.right - box.left : scale_.toPhysical(native->width());
    const int height = stretch ? box.bottom - box.top : scale_.toPhysical(native->height());
    if (width <= 0 || height <= 0) return;
    // At 96 DPI the picture itself is drawn (stretched by the system where it must be);
    // at another scale a smooth copy at that size, which on a see-through window has no
    // pixel half the picture's and half the key colour.
    HBITMAP bitmap = native->bitmap();
    int sourceWidth = native->width();
    int sourceHeight = native->height();
    if (!scale_.unscaled()) {
        if (HBITMAP copy = native->scaled(width, height, seeThrough_)) {
            bitmap = copy;
            sourceWidth = width;
            sourceHeight = height;
        }
    }
    // At its own size the picture is cut off at the box's edges.
    const int shownWidth = std::min<int>(width, box.right - box.left);
    const int shownHeight = std::min<int>(height, box.bottom - box.top);
    if (shownWidth <= 0 || shownHeight <= 0) return;
    HGDIOBJ old = SelectObject(pictureDC_, bitmap);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, box.left, box.top, shownWidth, shownHeight, pictureDC_, 0, 0,
               MulDiv(sourceWidth, shownWidth, width), MulDiv(sourceHeight, shownHeight, height), blend);
    SelectObject(pictureDC_, old);
}

void Win32Window::paint() {
    PAINTSTRUCT ps;
    HDC screen = BeginPaint(hwnd_, &ps);
    RECT client{};
    GetClientRect(hwnd_, &client);
    ensureBuffer(screen, client.right, client.bottom);
    if (!IsRectEmpty(&ps.rcPaint)) paintArea(screen, ps.rcPaint);
    EndPaint(hwnd_, &ps);
}

void Win32Window::present(bool invalidated) {
    const std::size_t count = std::exchange(pendingCount_, 0);
    // Most heartbeats change nothing: they ask the system nothing either. A hidden window
    // paints itself whole when it is shown.
    if ((count == 0 && !invalidated) || !hwnd_ || !IsWindowVisible(hwnd_)) return;
    // The paint messages of the window and its controls, handled now.
    if (invalidated) RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (count == 0) return;
    HDC screen = GetDC(hwnd_);
    RECT client{};
    GetClientRect(hwnd_, &client);
    ensureBuffer(screen, client.right, client.bottom);
    for (std::size_t i = 0; i < count; ++i) {
        RECT area{};
        if (IntersectRect(&area, &pending_[i], &client)) paintArea(screen, area);
    }
    ReleaseDC(hwnd_, screen);
}

// Repaints `area` of the off-screen copy and copies it to the window.
void Win32Window::paintArea(HDC screen, const RECT& area) {
    paintBuffer(area);
    BitBlt(screen, area.left, area.top, area.right - area.left, area.bottom - area.top, bufferDC_, area.left,
           area.top, SRCCOPY);
}

void Win32Window::paintBuffer(const RECT& area) {
    HDC dc = bufferDC_;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    fill(dc, area, form_.backColor());
    // The buffer has the client area's size, or when minimised the size it was last painted at.
    const RECT whole{0, 0, bufferWidth_, bufferHeight_};
    if (const auto& picture = form_.picture()) drawPicture(dc, picture, whole, false);
    // Back to front, in the order of the form's controls.
    for (const auto& control : form_.controls()) {
        if (!control->windowless() || !control->shown()) continue;
        const RECT r = physical(control->formRect());
        if (intersects(r, area)) paintControl(dc, *control, r);
    }
    RestoreDC(dc, saved);
    // That area is current now. The stale area shrinks by it where what is left is one
    // rectangle, and stays as it is otherwise; pixels outside the buffer are no part of it.
    RECT stale{};
    IntersectRect(&stale, &stale_, &whole);
    SubtractRect(&stale_, &stale, &area);
}

void Win32Window::paintControl(HDC dc, const ui::Control& control, const RECT& r) {
    switch (control.kind()) {
        case ui::ControlKind::Label: {
            const auto& label = static_cast<const ui::Label&>(control);
            if (!label.transparent()) fill(dc, r, label.backColor());
            if (label.caption().empty()) return;
            HGDIOBJ oldFont = SelectObject(dc, platform_.font(label.drawnFont(), scale_.dpi(), seeThrough_));
            SetTextColor(dc, label.enabled() ? platform_.resolveColor(label.foreColor()) : GetSysColor(COLOR_GRAYTEXT));
            SetBkMode(dc, TRANSPARENT);
            const UINT align = label.alignment() == ui::Alignment::Center  ? DT_CENTER
                               : label.alignment() == ui::Alignment::Right ? DT_RIGHT
                                                                           : DT_LEFT;
            const UINT lines = label.oneLine() ? DT_SINGLELINE | DT_END_ELLIPSIS : DT_WORDBREAK;
            toWide(label.caption(), text_);
            RECT box = r;
            DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &box, lines | align);
            SelectObject(dc, oldFont);
            return;
        }
        case ui::ControlKind::Shape:
            fill(dc, r, static_cast<const ui::Shape&>(control).fillColor());
            return;
        case ui::ControlKind::Image: {
            if (const auto& picture = static_cast<const ui::Image&>(control).picture())
                drawPicture(dc, picture, r, true);
            return;
        }
        case ui::ControlKind::PictureBox: {
            const auto& box = static_cast<const ui::PictureBox&>(control);
            fill(dc, r, box.backColor());
            if (const auto& picture = box.picture()) drawPicture(dc, picture, r, false);
            return;
        }
        case ui::ControlKind::Frame: {
            const auto& frame = static_cast<const ui::Frame&>(control);
            fill(dc, r, frame.backColor());
            HGDIOBJ oldFont = SelectObject(dc, platform_.font(frame.font(), scale_.dpi(), seeThrough_));
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            RECT edge = r;
            edge.top += metrics.tmHeight / 2;
            DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
            if (!frame.caption().empty()) {
                toWide(frame.caption(), text_);
                SIZE size{};
                GetTextExtentPoint32W(dc, text_.c_str(), static_cast<int>(text_.size()), &size);
                const int indent = scale_.toPhysical(6);
                const int gap = scale_.toPhysical(2);
                RECT title{r.left + indent, r.top, std::min<LONG>(r.left + indent + size.cx + 2 * gap, r.right - gap),
                           r.top + size.cy};
                fill(dc, title, frame.backColor());
                SetTextColor(dc, platform_.resolveColor(frame.foreColor()));
                SetBkMode(dc, TRANSPARENT);
                ExtTextOutW(dc, title.left + gap, title.top, ETO_CLIPPED, &title, text_.c_str(),
                            static_cast<UINT>(text_.size()), nullptr);
            }
            SelectObject(dc, oldFont);
            return;
        }
        default: return;
    }
}

}  // namespace quorvel::win32
