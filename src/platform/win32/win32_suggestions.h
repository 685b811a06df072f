#pragma once
// The popup that shows a text box's suggestions: a borderless list window owned by the
// box's form, above every other window, right under the box (above it where the screen
// has no room below). It never takes the focus: the box keeps it, and the operator types
// on while a click on a row takes that name.
#include <windows.h>

#include <string>

#include "ui/suggestion_list.h"

namespace quorvel::win32 {

class Win32Platform;

class Win32SuggestionPopup final : public ui::SuggestionPeer {
public:
    static void registerClass(HINSTANCE instance);

    Win32SuggestionPopup(Win32Platform& platform, ui::SuggestionList& list);
    ~Win32SuggestionPopup() override;
    Win32SuggestionPopup(const Win32SuggestionPopup&) = delete;
    Win32SuggestionPopup& operator=(const Win32SuggestionPopup&) = delete;

    void update() override;
    void hide() override;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paint();
    // The box's edit window, or nullptr once its form has no window.
    HWND boxWindow() const;

    Win32Platform& platform_;
    ui::SuggestionList& list_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;  // the box's, kept by the platform
    int rowHeight_ = 16;    // pixels
    std::wstring text_;     // scratch for painting
};

}  // namespace quorvel::win32
