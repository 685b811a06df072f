#pragma once
// The native window behind a form: a top-level window that paints the form's windowless
// controls itself (off-screen, then copied) and hosts its text boxes, combo boxes and
// buttons as native child windows. Operator input goes into the form's input functions.
#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/display_scale.h"
#include "ui/form.h"
#include "ui/platform.h"

namespace quorvel::win32 {

class Win32Platform;

class Win32Window final : public ui::WindowPeer {
public:
    static void registerClass(HINSTANCE instance, const wchar_t* className);

    Win32Window(Win32Platform& platform, ui::Form& form);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // --- ui::WindowPeer ---
    void formChanged(unsigned changes) override;
    void controlChanged(const ui::Control& control, unsigned changes, const ui::Rect& before) override;
    void setVisible(bool visible) override;
    void setBorderStyle(ui::BorderStyle style) override;
    void placeTopmost() override;
    void makeSeeThrough(ui::Color key) override;
    void drawImage(ui::WindowImage& image) override;
    void close() override;

    HWND hwnd() const { return hwnd_; }
    // Paints what the last timer tick changed, straight onto the window, and with
    // `invalidated` also what waits for a paint message.
    void present(bool invalidated);
    ui::Form& form() const { return form_; }
    // The native window of a text box, combo box or button, or nullptr.
    HWND nativeHandle(const ui::Control& control) const;
    // The scale of the monitor the window is on.
    int dpi() const { return scale_.dpi(); }

private:
    // A native child window and the control it shows. A combo box has an edit field
    // (drop-down combos only) and a drop-down list of its own.
    struct Native {
        ui::Control* control;
        HWND hwnd;
        HWND edit;
        HWND list;
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // A native window's own procedure and where its pointer input goes. Kept in the
    // window's user data: the common controls' subclass helper looks its data up in a
    // window property on every message, which under Wine is a trip to the server and
    // made filling a 249-entry country list cost a quarter of a second.
    struct NativeHook {
        Win32Window* window;
        std::size_t index;  // into natives_
        WNDPROC original;
    };

    static LRESULT CALLBACK nativeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // A key message to a native control that a control may take for itself (a text box's
    // suggestions): the answer when it was taken, nothing when the native control's own
    // procedure is to have it.
    std::optional<LRESULT> nativeKey(HWND hwnd, std::size_t index, UINT message, WPARAM wParam, LPARAM lParam,
                                     WNDPROC original);
    void hookNative(HWND hwnd, std::size_t index);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT command(WPARAM wParam, LPARAM lParam);
    LRESULT controlColor(UINT message, WPARAM wParam, LPARAM lParam);
    void activated(HWND previous);
    void operatorMovedOrResized();
    // The window moved to a monitor of another scale: it takes the place the system
    // suggests and lays itself out again at `dpi`.
    void dpiChanged(int dpi, const RECT& suggested);
    void setScale(int dpi);
    // Repaints the whole window, on the screen and in its capture.
    void invalidateAll();
    // Moves and sizes the window to `outer`: a move of the program's, no operator's.
    void placeWindow(const RECT& outer, UINT flags = 0);

    void createNatives();
    void syncNative(Native& native, unsigned changes);
    void setNativeText(HWND hwnd, const std::string& text);
    const std::wstring& nativeText(HWND hwnd);
    Native* nativeOf(HWND hwnd);

    // A rectangle of the form in twips as the window's physical pixels, and a pointer
    // position in them as twips.
    RECT physical(const ui::Rect& twips) const;
    ui::Point twipsAt(LPARAM lParam) const;
    RECT outerRect(const ui::DisplayScale& scale) const;
    RECT outerRect() const { return outerRect(scale_); }
    void applyGeometry();

    void paint();
    void paintArea(HDC screen, const RECT& area);
    // Repaints `area` of the off-screen copy from the form's controls.
    void paintBuffer(const RECT& area);
    void ensureBuffer(HDC screen, int width, int height);
    void paintControl(HDC dc, const ui::Control& control, const RECT& r);
    void fill(HDC dc, const RECT& r, ui::Color color);
    // Draws a picture stretched over `box`, or at its own size from the box's top-left
    // corner, cut off at the box's edges.
    void drawPicture(HDC dc, const ui::PicturePtr& picture, const RECT& box, bool stretch);

    Win32Platform& platform_;
    ui::Form& form_;
    HWND hwnd_ = nullptr;
    // The scale of the monitor the window is on: the form's twips and pixels are turned
    // into that monitor's pixels here and nowhere above.
    ui::DisplayScale scale_;
    std::vector<Native> natives_;
    std::vector<std::unique_ptr<NativeHook>> hooks_;  // freed only once their windows are gone

    HDC bufferDC_ = nullptr;      // off-screen copy of the client area
    HBITMAP buffer_ = nullptr;    // a 32-bit DIB section: its pixels are the window's picture
    void* bufferBits_ = nullptr;
    RECT stale_{};                // covers what changed and was not painted since: drawImage repaints it; the rest is current
    HGDIOBJ bufferOld_ = nullptr;
    int bufferWidth_ = 0;
    int bufferHeight_ = 0;
    HDC pictureDC_ = nullptr;     // selects one picture at a time for AlphaBlend

    // Areas a timer tick changed, painted by present() right after it. An animation step
    // then costs one paint of its own rectangles: an invalidation and a WM_PAINT would
    // each be several round trips to the window server under Wine, where the two pulses'
    // hundred steps a second made up most of the program's cost.
    std::array<RECT, 8> pending_{};
    std::size_t pendingCount_ = 0;

    bool applying_ = false;       // our own move or restyle: its WM_WINDOWPOSCHANGED is no operator move
    bool operatorChange_ = false; // reporting an operator move: the form's echo needs no move
    bool syncing_ = false;        // the program updating a native: its notifications are no edits
    bool showPending_ = false;    // shown and not yet activated
    bool seeThrough_ = false;     // layered with a colour key: text is drawn crisp
    bool releasingCapture_ = false;  // a button-up releasing the pointer: no capture lost
    bool keyTaken_ = false;       // the last Enter or Escape went to a control: its character goes nowhere
    HWND lastFocus_ = nullptr;    // the child that had the focus when the window was deactivated

    std::wstring text_;           // scratch text for painting and comparing
    std::wstring other_;
};

}  // namespace quorvel::win32
