#include "platform/win32/win32_suggestions.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/win32/wide.h"
#include "platform/win32/win32_picture.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_window.h"
#include "ui/control.h"
#include "ui/error.h"

namespace quorvel::win32 {

namespace {

constexpr const wchar_t* kClassName = L"QuorvelSuggestions";
constexpr int kTextIndent = 3;  // pixels before each name

}  // namespace

void Win32SuggestionPopup::registerClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32SuggestionPopup::windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = nullptr;  // every pixel is painted
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
}

Win32SuggestionPopup::Win32SuggestionPopup(Win32Platform& platform, ui::SuggestionList& list)
    : platform_(platform), list_(list) {}

Win32SuggestionPopup::~Win32SuggestionPopup() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

HWND Win32SuggestionPopup::boxWindow() const {
    auto* window = dynamic_cast<Win32Window*>(list_.box().form().peer());
    return window ? window->nativeHandle(list_.box()) : nullptr;
}

void Win32SuggestionPopup::update() {
    auto* window = dynamic_cast<Win32Window*>(list_.box().form().peer());
    HWND box = boxWindow();
    if (!window || !box) return;
    if (!hwnd_) {
        // Owned by the form: above it, hidden and closed with it. Not activated by a click.
        hwnd_ = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, L"",
                                WS_POPUP | WS_BORDER, 0, 0, 0, 0, window->hwnd(), nullptr, platform_.instance(), this);
        if (!hwnd_) throw Error("Cannot create the list of suggestions for " + list_.box().name() + ": " +
                                errorText(GetLastError()));
    }
    HFONT font = platform_.font(list_.box().font(), window->dpi());
    if (font != font_) {
        font_ = font;
        HDC dc = GetDC(hwnd_);
        HGDIOBJ old = SelectObject(dc, font_);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
        rowHeight_ = std::max<int>(metrics.tmHeight + 2, 1);
    }
    RECT boxRect{};
    GetWindowRect(box, &boxRect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const int border = 2 * GetSystemMetrics(SM_CYBORDER);
    const ui::Rect place = ui::placeSuggestions(
        {boxRect.left, boxRect.top, boxRect.right - boxRect.left, boxRect.bottom - boxRect.top},
        boxRect.right - boxRect.left, static_cast<int>(list_.rows().size()) * rowHeight_ + border,
        {work.left, work.top, work.right - work.left, work.bottom - work.top});
    SetWindowPos(hwnd_, HWND_TOPMOST, place.left, place.top, place.width, place.height,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void Win32SuggestionPopup::hide() {
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

LRESULT CALLBACK Win32SuggestionPopup::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32SuggestionPopup*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<Win32SuggestionPopup*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    Win32Platform& platform = self->platform_;
    try {
        return self->handle(message, wParam, lParam);
    } catch (...) {
        platform.fatal("Unexpected failure in the list of suggestions");
    }
}

LRESULT Win32SuggestionPopup::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: paint(); return 0;
        case WM_MOUSEMOVE:
            if (GET_Y_LPARAM(lParam) / rowHeight_ != list_.highlighted())
                list_.inputRowHovered(GET_Y_LPARAM(lParam) / rowHeight_);
            return 0;
        case WM_LBUTTONDOWN: {
            const int row = GET_Y_LPARAM(lParam) / rowHeight_;
            HWND box = boxWindow();
            // Taking the name closes the list and may free this popup: only locals after it.
            list_.inputRowClicked(row);
            if (box && IsWindow(box)) {
                const int end = GetWindowTextLengthW(box);
                SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(end), end);
            }
            return 0;
        }
        default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void Win32SuggestionPopup::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client{};
    GetClientRect(hwnd_, &client);
    HGDIOBJ oldFont = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    const auto& rows = list_.rows();
    for (int i = 0; i * rowHeight_ < client.bottom; ++i) {
        RECT row{client.left, i * rowHeight_, client.right, std::min<LONG>((i + 1) * rowHeight_, client.bottom)};
        const bool lit = i == list_.highlighted();
        FillRect(dc, &row, GetSysColorBrush(lit ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        if (i >= static_cast<int>(rows.size())) continue;
        SetTextColor(dc, GetSysColor(lit ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        toWide(rows[static_cast<std::size_t>(i)], text_);
        row.left += kTextIndent;
        DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &row,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    SelectObject(dc, oldFont);
    EndPaint(hwnd_, &ps);
}

}  // namespace quorvel::win32
