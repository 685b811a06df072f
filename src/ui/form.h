#pragma once
// Layer ui/: the windowing layer and the text helpers, below everything; it includes
// nothing of the program.
// A window of the program: its properties, its controls back to front, its timers, and
// the input functions through which a backend delivers events. Pointer events over
// windowless controls are routed here: a press goes to the frontmost shown control under
// the pointer that takes pointer events, and that control keeps the pointer until the
// last button is released.
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/control.h"
#include "ui/observer.h"
#include "ui/platform.h"
#include "ui/runtime.h"
#include "ui/suggestion_list.h"
#include "ui/timer.h"

namespace quorvel::ui {

class Form {
public:
    Form(Runtime& runtime, std::string name);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    Runtime& runtime() { return runtime_; }
    Platform& platform() { return runtime_.platform(); }
    const std::string& name() const { return name_; }

    // Creates the window, hidden, and runs the load step.
    void load();
    bool loaded() const { return peer_ != nullptr; }
    // Destroys the window and stops the timers: the form is unloaded.
    void closeWindow();
    WindowPeer* peer() { return peer_.get(); }

    // --- Window properties (twips; left, top, width and height include the frame) ---
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);
    int left() const { return left_; }
    int top() const { return top_; }
    void move(int left, int top);
    int width() const;
    int height() const;
    void setHeight(int height);
    int clientWidth() const { return clientWidth_; }
    int clientHeight() const { return clientHeight_; }
    void setClientSize(int width, int height);
    BorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(BorderStyle style);
    Color backColor() const { return backColor_; }
    void setBackColor(Color color);
    // Drawn at the client area's top-left corner at its own size, under every control.
    const PicturePtr& picture() const { return picture_; }
    void setPicture(PicturePtr picture);
    const std::string& tag() const { return tag_; }
    void setTag(std::string tag) { tag_ = std::move(tag); }

    bool visible() const { return visible_; }
    void show();
    void hide();
    void placeTopmost();
    // Makes the window see-through where it shows exactly `key` (WindowPeer::makeSeeThrough);
    // it stays so until the window closes.
    void makeSeeThrough(Color key);
    // The colour key of a see-through window, until the window closes.
    const std::optional<Color>& seeThroughKey() const { return seeThroughKey_; }
    // Draws the window's picture (WindowPeer::drawImage). Throws quorvel::Error when the
    // form has no window.
    void drawImage(WindowImage& image);

    // --- Controls and timers ---
    const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
    const std::vector<std::unique_ptr<Timer>>& timers() const { return timers_; }
    // Finds a control by name (and array index); nullptr if there is none.
    Control* find(const std::string& name, int index = -1) const;

    // --- Input from the backend (each runs as one event) ---
    // Pointer over the form's drawn area, in client twips.
    void inputPointerDown(Point at, int button, int shift);
    void inputPointerUp(Point at, int button, int shift);
    void inputPointerMove(Point at, int buttons, int shift);
    // The window lost the pointer while buttons were held (another window took the
    // capture): no control keeps the pointer any longer.
    void inputPointerCaptureLost();
    // A left double-click: arrives in place of the second press.
    void inputDoubleClick(Point at, int button, int shift);
    // Pointer over a native control, in twips relative to the control.
    void inputControlPointerDown(Control& control, Point at, int button, int shift);
    void inputControlPointerUp(Control& control, Point at, int button, int shift);
    void inputControlPointerMove(Control& control, Point at, int buttons, int shift);
    void inputControlDoubleClick(Control& control);
    void inputButtonClicked(Button& button);
    // A left press and release without modifiers over a control (press, release, click),
    // for a way in that names the control rather than a point of the window.
    void inputControlClicked(Control& control);
    // The operator's edit of a text field; a text box's suggestions follow it.
    void inputTextEdited(Control& control, std::string text);
    // A key pressed in a native control that a control may take for itself (a text box's
    // suggestions take Up, Down, Enter and Escape while shown). Returns whether it was
    // taken: then the native control does not see it.
    bool inputKeyDown(Control& control, int virtualKey);
    void inputListPicked(ComboBox& combo, int index);
    void inputFocusLost(Control& control);
    void inputActivated();
    // The operator closed the window from its frame.
    void inputCloseRequested();
    // The operator moved or resized the window through its frame (pixels).
    void inputMoved(Point outerTopLeft);
    void inputResized(int clientWidthPixels, int clientHeightPixels);

    // Called by controls when a property changed.
    void controlChanged(const Control& control, unsigned changes, const Rect& before);

    // Views of the form beside its window (observer.h). An observer is detached when the
    // window closes, or removes itself before it goes away.
    void addObserver(FormObserver& observer);
    void removeObserver(FormObserver& observer);

protected:
    template <class T, class... Args>
    T& add(Args&&... args) {
        auto control = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T& ref = *control;
        controls_.push_back(std::move(control));
        return ref;
    }
    Timer& addTimer(std::string name, int interval, bool enabled);
    // Gives `box` a list of suggestions from `source`, owned by the form.
    SuggestionList& addSuggestions(TextBox& box, SuggestionList::Source source);

    virtual void onLoad() {}
    virtual void onActivate() {}
    // After a control's property changed and the views were told (`changes`: change::).
    virtual void onControlChanged(const Control& /*control*/, unsigned /*changes*/) {}
    // By default the window is closed and unloaded.
    virtual void onCloseRequest() { closeWindow(); }

private:
    Control* hitTest(Point at) const;
    void formChanged(unsigned changes);
    // Tells the observers (and the runtime) what changed.
    void notify(unsigned changes);
    // Tells the observers that the window is closed, and detaches them.
    void notifyClosed();
    FrameSize frame() const;
    Point toLocal(const Control& control, Point at) const;

    Runtime& runtime_;
    std::string name_;
    std::unique_ptr<WindowPeer> peer_;
    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<std::unique_ptr<Timer>> timers_;
    std::vector<std::unique_ptr<SuggestionList>> suggestions_;

    std::string caption_;
    int left_ = 0;
    int top_ = 0;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    BorderStyle borderStyle_ = BorderStyle::FixedSingle;
    Color backColor_ = system_color::kButtonFace;
    PicturePtr picture_;
    std::optional<Color> seeThroughKey_;
    std::string tag_;
    bool visible_ = false;
    std::vector<FormObserver*> observers_;

    // Pointer routing
    int buttonsHeld_ = 0;
    Control* captured_ = nullptr;
    bool afterDoubleClick_ = false;
};

}  // namespace quorvel::ui
