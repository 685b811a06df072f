#include "ui/control.h"

#include <algorithm>
#include <cmath>

#include "ui/error.h"
#include "ui/form.h"
#include "ui/platform.h"

namespace quorvel::ui {

Control::Control(Form& form, ControlKind kind, std::string name, Rect rect, int index)
    : form_(form), kind_(kind), name_(std::move(name)), index_(index), rect_(rect) {}

bool Control::windowless() const {
    return kind_ != ControlKind::TextBox && kind_ != ControlKind::ComboBox && kind_ != ControlKind::Button;
}

void Control::setRect(const Rect& rect) {
    if (rect == rect_) return;
    const Rect before = formRect();
    rect_ = rect;
    changed(change::kGeometry, before);
}

Rect Control::formRect() const {
    Rect r = rect_;
    for (const Control* c = container_; c != nullptr; c = c->container_) {
        r.left += c->rect_.left;
        r.top += c->rect_.top;
    }
    return r;
}

void Control::setVisible(bool visible) { update(visible_, visible, change::kVisibility); }

bool Control::shown() const {
    for (const Control* c = this; c != nullptr; c = c->container_)
        if (!c->visible_) return false;
    return true;
}

void Control::setEnabled(bool enabled) { update(enabled_, enabled, change::kEnabled); }

void Control::setTag(std::string tag) {
    if (tag == tag_) return;
    tag_ = std::move(tag);
    form_.runtime().noteChange();
}

void Control::changed(unsigned changes, const Rect& before) { form_.controlChanged(*this, follow(changes), before); }

void TextControl::setFont(const Font& font) { update(font_, font, change::kAppearance); }

void TextControl::setFontSize(double points) {
    Font font = font_;
    font.size = points;
    setFont(font);
}

void TextControl::setForeColor(Color color) { update(foreColor_, color, change::kAppearance); }

void TextControl::setBackColor(Color color) { update(backColor_, color, change::kAppearance); }

void TextControl::setAlignment(Alignment alignment) { update(alignment_, alignment, change::kAppearance); }

void Label::setCaption(std::string caption) { update(caption_, std::move(caption), change::kText); }

void Label::setTransparent(bool transparent) { update(transparent_, transparent, change::kAppearance); }

void Label::setOneLine(bool oneLine) { update(oneLine_, oneLine, change::kAppearance); }

unsigned Label::follow(unsigned changes) {
    if (!oneLine_ || (changes & (change::kText | change::kAppearance | change::kGeometry)) == 0) return changes;
    Font fitted = font();
    fitted.size = fittedSize();
    if (fitted == drawnFont_) return changes;
    drawnFont_ = std::move(fitted);
    return changes | change::kAppearance;
}

double Label::fittedSize() const {
    const double chosen = font().size;
    // Three pixels kept free at each side: a little space from what lies beside the label,
    // and room for the text widths at the display's scale, which round a little apart from
    // those measured at 96 DPI.
    const int room = twipsToPixels(rect().width) - 6;
    if (caption_.empty() || chosen <= kSmallestFittedPoints) return chosen;
    Platform& platform = form().platform();
    Font trial = font();
    const int wide = platform.textWidth(trial, caption_);
    if (wide <= room) return chosen;
    // Widths grow about in step with the size: from the size that would fit if they did
    // exactly, a quarter point smaller at a time until it fits.
    double size = std::max(kSmallestFittedPoints, std::floor(chosen * room / wide * 4) / 4);
    for (;;) {
        trial.size = size;
        if (size <= kSmallestFittedPoints || platform.textWidth(trial, caption_) <= room) return size;
        size = std::max(kSmallestFittedPoints, size - 0.25);
    }
}

void Shape::setFillColor(Color color) { update(fillColor_, color, change::kAppearance); }

void Image::setPicture(PicturePtr picture) {
    // A new load of the same file is a new picture too; always repaint.
    picture_ = std::move(picture);
    changed(change::kPicture);
}

void PictureBox::setBackColor(Color color) { update(backColor_, color, change::kAppearance); }

void Frame::setCaption(std::string caption) { update(caption_, std::move(caption), change::kText); }

void Button::setCaption(std::string caption) { update(caption_, std::move(caption), change::kText); }

TextBox::TextBox(Form& form, std::string name, Rect rect)
    : TextControl(form, ControlKind::TextBox, std::move(name), rect) {
    setBackColor(system_color::kWindowBackground);
    setForeColor(system_color::kWindowText);
}

void TextBox::setText(std::string text) {
    if (update(text_, std::move(text), change::kText) && onChange) onChange();
}

ComboBox::ComboBox(Form& form, std::string name, Rect rect, ComboStyle style)
    : TextControl(form, ControlKind::ComboBox, std::move(name), rect), style_(style) {
    setBackColor(system_color::kWindowBackground);
    setForeColor(system_color::kWindowText);
}

void ComboBox::setText(std::string text) { update(text_, std::move(text), change::kText); }

void ComboBox::addItem(std::string item) {
    items_.push_back(std::move(item));
    changed(change::kItems);
}

void ComboBox::clear() {
    items_.clear();
    listIndex_ = -1;
    text_.clear();
    changed(change::kItems | change::kSelection | change::kText);
}

void ComboBox::setListIndex(int index) {
    if (index < -1 || index >= listCount())
        throw Error(name() + ": there is no entry " + std::to_string(index) + " in a list of " +
                    std::to_string(listCount()) + " entries");
    listIndex_ = index;
    text_ = index >= 0 ? items_[static_cast<std::size_t>(index)] : std::string();
    changed(change::kSelection | change::kText);
    if (onClick) onClick();
}

void ComboBox::editedByOperator(std::string text) {
    if (update(text_, std::move(text), change::kText) && onChange) onChange();
}

}  // namespace quorvel::ui
