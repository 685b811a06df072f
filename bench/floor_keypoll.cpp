// The platform's floor for the table's idle key poll: a bare Win32 program with one
// window, the same 10 ms timer and the same 55 key-state queries per tick (twelve chords
// and the topmost chord at four each, the unfolding chord at three), that paints nothing.
// The table's idle CPU cost under Wine is judged against this program's, measured in the
// same run (bench/idle-cpu.py).
#include <windows.h>

namespace {

constexpr int kChordKeys[] = {'Q', 'W', 'V', 'B', '1', '2', '8', '9', '0', '7', 'E', 'R'};
volatile unsigned sink = 0;  // keeps the queries from being optimised away

void pollLikeTheTable() {
    unsigned seen = 0;
    for (int key : kChordKeys) {
        seen |= static_cast<unsigned short>(GetAsyncKeyState(VK_CONTROL));
        seen |= static_cast<unsigned short>(GetAsyncKeyState(VK_SHIFT));
        seen |= static_cast<unsigned short>(GetAsyncKeyState(VK_TAB));
        seen |= static_cast<unsigned short>(GetAsyncKeyState(key));
    }
    seen |= static_cast<unsigned short>(GetAsyncKeyState(VK_CONTROL));
    seen |= static_cast<unsigned short>(GetAsyncKeyState(VK_SHIFT));
    seen |= static_cast<unsigned short>(GetAsyncKeyState('I'));
    seen |= static_cast<unsigned short>(GetAsyncKeyState(VK_CONTROL));
    seen |= static_cast<unsigned short>(GetAsyncKeyState(VK_SHIFT));
    seen |= static_cast<unsigned short>(GetAsyncKeyState(VK_TAB));
    seen |= static_cast<unsigned short>(GetAsyncKeyState('A'));
    sink = sink + seen;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER: pollLikeTheTable(); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"QuorvelFloor";
    RegisterClassW(&windowClass);
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, L"QuorvelFloor", L"Key poll floor", WS_POPUP, 0, 0, 534, 84, nullptr,
                                nullptr, instance, nullptr);
    ShowWindow(hwnd, show);
    SetTimer(hwnd, 1, 10, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
