#include "ui/form.h"

#include <algorithm>
#include <utility>

namespace quorvel::ui {

Form::Form(Runtime& runtime, std::string name) : runtime_(runtime), name_(std::move(name)) {}

Form::~Form() {
    notifyClosed();
    for (auto& list : suggestions_) list->windowClosed();
    // Controls go before the timers' platform entries; the window goes first of all.
    if (peer_) peer_->close();
}

void Form::load() {
    if (!peer_) {
        peer_ = platform().createWindow(*this);
        runtime_.formLoaded(*this);
    }
    onLoad();
}

void Form::closeWindow() {
    for (auto& timer : timers_) timer->stop();
    visible_ = false;
    buttonsHeld_ = 0;
    captured_ = nullptr;
    seeThroughKey_.reset();
    for (auto& list : suggestions_) list->windowClosed();
    if (peer_) {
        peer_->close();
        peer_.reset();
        runtime_.noteChange();
    }
    notifyClosed();
}

void Form::setCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    formChanged(change::kText);
}

void Form::move(int left, int top) {
    if (left == left_ && top == top_) return;
    left_ = left;
    top_ = top;
    formChanged(change::kGeometry);
}

int Form::width() const { return clientWidth_ + pixelsToTwips(frame().width); }

int Form::height() const { return clientHeight_ + pixelsToTwips(frame().height); }

void Form::setHeight(int height) {
    setClientSize(clientWidth_, std::max(0, height - pixelsToTwips(frame().height)));
}

void Form::setClientSize(int width, int height) {
    if (width == clientWidth_ && height == clientHeight_) return;
    clientWidth_ = width;
    clientHeight_ = height;
    formChanged(change::kGeometry);
}

void Form::setBorderStyle(BorderStyle style) {
    const bool changed = style != borderStyle_;
    borderStyle_ = style;
    if (peer_) peer_->setBorderStyle(style);
    if (changed) notify(change::kAppearance);
}

void Form::setBackColor(Color color) {
    if (color == backColor_) return;
    backColor_ = color;
    formChanged(change::kAppearance);
}

void Form::setPicture(PicturePtr picture) {
    picture_ = std::move(picture);
    formChanged(change::kPicture);
}

void Form::show() {
    if (!peer_) load();
    const bool was = std::exchange(visible_, true);
    if (peer_) peer_->setVisible(true);
    if (!was) notify(change::kVisibility);
}

void Form::hide() {
    const bool was = std::exchange(visible_, false);
    if (peer_) peer_->setVisible(false);
    if (was) notify(change::kVisibility);
}

void Form::placeTopmost() {
    if (peer_) peer_->placeTopmost();
}

void Form::makeSeeThrough(Color key) {
    if (!peer_) return;
    peer_->makeSeeThrough(key);
    // The table makes itself see-through again and again: only a change is news.
    if (seeThroughKey_ == key) return;
    seeThroughKey_ = key;
    notify(change::kAppearance);
}

void Form::drawImage(WindowImage& image) {
    if (!peer_) throw Error("Cannot draw the picture of the window " + name_ + ": it is not open");
    peer_->drawImage(image);
}

Control* Form::find(const std::string& name, int index) const {
    for (const auto& control : controls_)
        if (control->name() == name && control->index() == index) return control.get();
    return nullptr;
}

Timer& Form::addTimer(std::string name, int interval, bool enabled) {
    timers_.push_back(std::make_unique<Timer>(runtime_, std::move(name), interval, enabled));
    return *timers_.back();
}

SuggestionList& Form::addSuggestions(TextBox& box, SuggestionList::Source source) {
    suggestions_.push_back(std::make_unique<SuggestionList>(box, std::move(source)));
    return *suggestions_.back();
}

FrameSize Form::frame() const { return runtime_.platform().frameSize(borderStyle_); }

void Form::formChanged(unsigned changes) {
    if (peer_) peer_->formChanged(changes);
    notify(changes);
}

void Form::notify(unsigned changes) {
    runtime_.noteChange();
    for (std::size_t i = 0; i < observers_.size(); ++i) observers_[i]->formChanged(*this, changes);
}

void Form::controlChanged(const Control& control, unsigned changes, const Rect& before) {
    if (peer_) peer_->controlChanged(control, changes, before);
    runtime_.noteChange();
    for (std::size_t i = 0; i < observers_.size(); ++i) observers_[i]->controlChanged(control, changes);
    onControlChanged(control, changes);
}

void Form::addObserver(FormObserver& observer) {
    if (std::find(observers_.begin(), observers_.end(), &observer) == observers_.end())
        observers_.push_back(&observer);
}

void Form::removeObserver(FormObserver& observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer), observers_.end());
}

void Form::notifyClosed() {
    // Detached first: an observer told may attach itself to another form, not this one.
    std::vector<FormObserver*> told = std::move(observers_);
    observers_.clear();
    for (FormObserver* observer : told) observer->formClosed(*this);
}

Control* Form::hitTest(Point at) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        const Control& c = **it;
        if (c.windowless() && c.takesPointer() && c.shown() && c.formRect().contains(at))
            return it->get();
    }
    return nullptr;
}

Point Form::toLocal(const Control& control, Point at) const {
    const Rect r = control.formRect();
    return {at.x - r.left, at.y - r.top};
}

void Form::inputPointerDown(Point at, int button, int shift) {
    runtime_.dispatch([&] {
        if (buttonsHeld_ == 0) captured_ = hitTest(at);
        buttonsHeld_ |= button;
        afterDoubleClick_ = false;
        if (captured_ == nullptr) return;
        const Point local = toLocal(*captured_, at);
        if (captured_->onMouseDown) captured_->onMouseDown({button, shift, local.x, local.y});
    });
}

void Form::inputPointerCaptureLost() {
    buttonsHeld_ = 0;
    captured_ = nullptr;
    afterDoubleClick_ = false;
}

void Form::inputDoubleClick(Point at, int button, int /*shift*/) {
    runtime_.dispatch([&] {
        if (buttonsHeld_ == 0) captured_ = hitTest(at);
        buttonsHeld_ |= button;
        afterDoubleClick_ = true;
        if (captured_ != nullptr && captured_->onDblClick) captured_->onDblClick();
    });
}

void Form::inputPointerUp(Point at, int button, int shift) {
    runtime_.dispatch([&] {
        Control* target = captured_;
        buttonsHeld_ &= ~button;
        if (buttonsHeld_ == 0) captured_ = nullptr;
        if (target == nullptr) return;
        const Point local = toLocal(*target, at);
        if (target->onMouseUp) target->onMouseUp({button, shift, local.x, local.y});
        // A click is a press and release of the left or right button over the control;
        // the release that ends a double-click makes none.
        const bool clicks = button == mouse::kLeft || button == mouse::kRight;
        if (clicks && !afterDoubleClick_ && target->formRect().contains(at) && target->onClick)
            target->onClick();
        if (buttonsHeld_ == 0) afterDoubleClick_ = false;
    });
}

void Form::inputPointerMove(Point at, int buttons, int shift) {
    runtime_.dispatch([&] {
        Control* target = buttonsHeld_ != 0 ? captured_ : hitTest(at);
        if (target == nullptr || !target->onMouseMove) return;
        const Point local = toLocal(*target, at);
        target->onMouseMove({buttons, shift, local.x, local.y});
    });
}

void Form::inputControlPointerDown(Control& control, Point at, int button, int shift) {
    runtime_.dispatch([&] {
        if (control.onMouseDown) control.onMouseDown({button, shift, at.x, at.y});
    });
}

void Form::inputControlPointerUp(Control& control, Point at, int button, int shift) {
    runtime_.dispatch([&] {
        if (control.onMouseUp) control.onMouseUp({button, shift, at.x, at.y});
    });
}

void Form::inputControlPointerMove(Control& control, Point at, int buttons, int shift) {
    runtime_.dispatch([&] {
        if (control.onMouseMove) control.onMouseMove({buttons, shift, at.x, at.y});
    });
}

void Form::inputControlDoubleClick(Control& control) {
    runtime_.dispatch([&] {
        if (control.onDblClick) control.onDblClick();
    });
}

void Form::inputButtonClicked(Button& button) {
    runtime_.dispatch([&] {
        if (button.onClick) button.onClick();
    });
}

void Form::inputControlClicked(Control& control) {
    runtime_.dispatch([&] {
        const MouseEvent press{mouse::kLeft, 0, 0, 0};
        if (control.onMouseDown) control.onMouseDown(press);
        if (control.onMouseUp) control.onMouseUp(press);
        if (control.onClick) control.onClick();
    });
}

void Form::inputTextEdited(Control& control, std::string text) {
    runtime_.dispatch([&] {
        if (control.kind() == ControlKind::TextBox) {
            auto& box = static_cast<TextBox&>(control);
            box.setText(std::move(text));
            if (box.suggestions()) box.suggestions()->typed();
        } else if (control.kind() == ControlKind::ComboBox)
            static_cast<ComboBox&>(control).editedByOperator(std::move(text));
    });
}

bool Form::inputKeyDown(Control& control, int virtualKey) {
    if (control.kind() != ControlKind::TextBox) return false;
    SuggestionList* list = static_cast<TextBox&>(control).suggestions();
    if (list == nullptr || !list->open()) return false;
    bool taken = false;
    runtime_.dispatch([&] { taken = list->keyDown(virtualKey); });
    return taken;
}

void Form::inputListPicked(ComboBox& combo, int index) {
    runtime_.dispatch([&] { combo.setListIndex(index); });
}

void Form::inputFocusLost(Control& control) {
    runtime_.dispatch([&] {
        if (control.kind() == ControlKind::TextBox) {
            auto& box = static_cast<TextBox&>(control);
            if (box.suggestions()) box.suggestions()->close();
            if (box.onLostFocus) box.onLostFocus();
        } else if (control.kind() == ControlKind::ComboBox) {
            auto& combo = static_cast<ComboBox&>(control);
            if (combo.onLostFocus) combo.onLostFocus();
        }
    });
}

void Form::inputActivated() {
    runtime_.dispatch([&] { onActivate(); });
}

void Form::inputCloseRequested() {
    runtime_.dispatch([&] { onCloseRequest(); });
}

void Form::inputMoved(Point outerTopLeft) {
    runtime_.dispatch([&] {
        // A list of suggestions would stay where the box was.
        for (auto& list : suggestions_) list->close();
        move(pixelsToTwips(outerTopLeft.x), pixelsToTwips(outerTopLeft.y));
    });
}

void Form::inputResized(int clientWidthPixels, int clientHeightPixels) {
    runtime_.dispatch(
        [&] { setClientSize(pixelsToTwips(clientWidthPixels), pixelsToTwips(clientHeightPixels)); });
}

}  // namespace quorvel::ui
