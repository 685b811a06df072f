// Reads window state that end-to-end tests cannot see from X: run under Wine next to the
// program. Output is `key=value` lines in UTF-8.
//
//   quorvel_wintool.exe list                       every visible top-level window
//   quorvel_wintool.exe find <title> [class]       one window and its child windows
//   quorvel_wintool.exe wait <title> <ms> [class]  waits until the window exists and is visible
//   quorvel_wintool.exe click <title> <child text> [class]
//                                                  clicks a button child (BM_CLICK, posted)
//   quorvel_wintool.exe clickid <title> <id> [class]
//                                                  the same for the child with that control id
//                                                  (dialog buttons: 1 OK, 2 Cancel)
//   quorvel_wintool.exe close <title> [class]      asks the window to close, as its frame's
//                                                  close box does (WM_CLOSE, posted)
//   quorvel_wintool.exe settext <title> <child index> <text> [class]
//                                                  replaces a child's text (WM_SETTEXT), as
//                                                  typing into a text box does
//   quorvel_wintool.exe resources <title> [class]  the window's process: its handle count
//                                                  and its GDI and USER object counts
//                                                  (0 where the system does not count them)
//
// Exit code 0 on success, 1 when the window or child is not there, 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr,
                        nullptr);
    return out;
}

// Line breaks in texts would break the line format.
std::string escaped(const std::wstring& text) {
    std::string out;
    for (char c : utf8(text)) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

void line(const std::string& key, const std::string& value) {
    const std::string text = key + "=" + value + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string hex(unsigned long long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llX", value);
    return buffer;
}

std::string rect(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right - r.left) + "," +
           std::to_string(r.bottom - r.top);
}

std::wstring windowText(HWND hwnd) {
    // WM_GETTEXT works across processes for any window, not only for captions.
    wchar_t buffer[1024];
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                             &copied))
        return {};
    return std::wstring(buffer, copied);
}

std::wstring className(HWND hwnd) {
    wchar_t buffer[256];
    const int length = GetClassNameW(hwnd, buffer, 256);
    return std::wstring(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
}

struct Search {
    std::wstring title;
    std::wstring cls;
    HWND found = nullptr;
};

BOOL CALLBACK matchTopLevel(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (!IsWindowVisible(hwnd) || windowText(hwnd) != search->title) return TRUE;
    if (!search->cls.empty() && className(hwnd) != search->cls) return TRUE;
    search->found = hwnd;
    return FALSE;
}

HWND findWindow(const std::wstring& title, const std::wstring& cls) {
    Search search{title, cls};
    EnumWindows(&matchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK listTopLevel(HWND hwnd, LPARAM) {
    if (!IsWindowVisible(hwnd)) return TRUE;
    RECT r{};
    GetWindowRect(hwnd, &r);
    line("window", hex(reinterpret_cast<ULONG_PTR>(hwnd)) + " class=" + utf8(className(hwnd)) + " rect=" + rect(r) +
                       " title=" + escaped(windowText(hwnd)));
    return TRUE;
}

void describe(HWND hwnd) {
    RECT outer{};
    RECT client{};
    GetWindowRect(hwnd, &outer);
    GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    const auto style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE));
    line("hwnd", hex(reinterpret_cast<ULONG_PTR>(hwnd)));
    line("class", utf8(className(hwnd)));
    line("title", escaped(windowText(hwnd)));
    line("outer", rect(outer));
    line("client", std::to_string(client.right) + "," + std::to_string(client.bottom));
    line("client_origin", std::to_string(origin.x) + "," + std::to_string(origin.y));
    line("style", hex(style));
    line("exstyle", hex(exStyle));
    line("visible", IsWindowVisible(hwnd) ? "1" : "0");
    line("enabled", IsWindowEnabled(hwnd) ? "1" : "0");
    line("active", GetForegroundWindow() == hwnd ? "1" : "0");
    line("topmost", (exStyle & WS_EX_TOPMOST) ? "1" : "0");
    line("toolwindow", (exStyle & WS_EX_TOOLWINDOW) ? "1" : "0");
    line("layered", (exStyle & WS_EX_LAYERED) ? "1" : "0");
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    if ((exStyle & WS_EX_LAYERED) && GetLayeredWindowAttributes(hwnd, &key, &alpha, &flags) && (flags & LWA_COLORKEY))
        line("colorkey", hex(key));
    else
        line("colorkey", "none");

    // Direct children in Z order, which for the program's controls is creation (Tab) order.
    int index = 0;
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT), ++index) {
        const std::string prefix = "child." + std::to_string(index) + ".";
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
        const std::wstring cls = className(child);
        line(prefix + "class", utf8(cls));
        line(prefix + "id", std::to_string(GetDlgCtrlID(child)));
        line(prefix + "text", escaped(windowText(child)));
        line(prefix + "rect", rect(r));
        line(prefix + "style", hex(static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE))));
        line(prefix + "visible", IsWindowVisible(child) ? "1" : "0");
        line(prefix + "enabled", IsWindowEnabled(child) ? "1" : "0");
        if (_wcsicmp(cls.c_str(), L"ComboBox") == 0) {
            const auto count = SendMessageW(child, CB_GETCOUNT, 0, 0);
            line(prefix + "count", std::to_string(count));
            for (LRESULT i = 0; i < count; ++i) {
                const auto length = SendMessageW(child, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
                std::wstring item(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
                const auto copied =
                    SendMessageW(child, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
                item.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
                line(prefix + "item." + std::to_string(i), escaped(item));
            }
            line(prefix + "cursel", std::to_string(SendMessageW(child, CB_GETCURSEL, 0, 0)));
        }
    }
    line("children", std::to_string(index));
}

std::wstring withoutPrefix(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text)
        if (c != L'&') out += c;
    return out;
}

int usage() {
    std::fputs("usage: quorvel_wintool list | find <title> [class] | wait <title> <ms> [class] | "
               "click <title> <child text> [class] | clickid <title> <id> [class] | close <title> [class] | "
               "settext <title> <child index> <text> [class] | resources <title> [class]\n",
               stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return usage();
    const std::wstring command = argv[1];
    if (command == L"list") {
        EnumWindows(&listTopLevel, 0);
        return 0;
    }
    if (command == L"find" && argc >= 3) {
        HWND hwnd = findWindow(argv[2], argc >= 4 ? argv[3] : L"");
        if (!hwnd) {
            line("found", "0");
            return 1;
        }
        line("found", "1");
        describe(hwnd);
        return 0;
    }
    if (command == L"wait" && argc >= 4) {
        const DWORD timeout = static_cast<DWORD>(_wtoi(argv[3]));
        const std::wstring cls = argc >= 5 ? argv[4] : L"";
        const DWORD start = GetTickCount();
        for (;;) {
            if (HWND hwnd = findWindow(argv[2], cls)) {
                line("hwnd", hex(reinterpret_cast<ULONG_PTR>(hwnd)));
                return 0;
            }
            if (GetTickCount() - start >= timeout) {
                line("timeout", std::to_string(timeout));
                return 1;
            }
            Sleep(50);
        }
    }
    if (command == L"click" && argc >= 4) {
        HWND hwnd = findWindow(argv[2], argc >= 5 ? argv[4] : L"");
        if (!hwnd) {
            line("found", "0");
            return 1;
        }
        const std::wstring wanted = withoutPrefix(argv[3]);
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (withoutPrefix(windowText(child)) != wanted) continue;
            // Posted, so a click that opens a modal window in the program does not block us.
            PostMessageW(child, BM_CLICK, 0, 0);
            line("clicked", hex(reinterpret_cast<ULONG_PTR>(child)));
            return 0;
        }
        line("clicked", "0");
        return 1;
    }
    if (command == L"clickid" && argc >= 4) {
        HWND hwnd = findWindow(argv[2], argc >= 5 ? argv[4] : L"");
        HWND child = hwnd ? GetDlgItem(hwnd, _wtoi(argv[3])) : nullptr;
        if (!child) {
            line("clicked", "0");
            return 1;
        }
        PostMessageW(child, BM_CLICK, 0, 0);
        line("clicked", hex(reinterpret_cast<ULONG_PTR>(child)));
        return 0;
    }
    if (command == L"close" && argc >= 3) {
        HWND hwnd = findWindow(argv[2], argc >= 4 ? argv[3] : L"");
        if (!hwnd) {
            line("found", "0");
            return 1;
        }
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        line("closed", hex(reinterpret_cast<ULONG_PTR>(hwnd)));
        return 0;
    }
    if (command == L"resources" && argc >= 3) {
        HWND hwnd = findWindow(argv[2], argc >= 4 ? argv[3] : L"");
        DWORD pid = 0;
        if (hwnd) GetWindowThreadProcessId(hwnd, &pid);
        HANDLE process = pid ? OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid) : nullptr;
        if (!process) {
            line("found", "0");
            return 1;
        }
        DWORD handles = 0;
        GetProcessHandleCount(process, &handles);
        line("pid", std::to_string(pid));
        line("handles", std::to_string(handles));
        line("gdi", std::to_string(GetGuiResources(process, GR_GDIOBJECTS)));
        line("user", std::to_string(GetGuiResources(process, GR_USEROBJECTS)));
        CloseHandle(process);
        return 0;
    }
    if (command == L"settext" && argc >= 5) {
        HWND hwnd = findWindow(argv[2], argc >= 6 ? argv[5] : L"");
        if (!hwnd) {
            line("found", "0");
            return 1;
        }
        int index = _wtoi(argv[3]);
        HWND child = GetWindow(hwnd, GW_CHILD);
        while (child && index-- > 0) child = GetWindow(child, GW_HWNDNEXT);
        DWORD_PTR result = 0;
        if (!child || !SendMessageTimeoutW(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]), SMTO_ABORTIFHUNG,
                                           2000, &result)) {
            line("set", "0");
            return 1;
        }
        line("set", hex(reinterpret_cast<ULONG_PTR>(child)));
        return 0;
    }
    return usage();
}
