#pragma once
// Controls: plain objects holding their properties, as the window designs describe them.
// Setting a property tells the form, whose window peer repaints or updates the native
// control. Handlers are members named by event.
#include <functional>
#include <string>
#include <vector>

#include "ui/color.h"
#include "ui/geometry.h"
#include "ui/picture.h"

namespace quorvel::ui {

class Form;
class SuggestionList;

enum class ControlKind { Label, Shape, Image, PictureBox, Frame, TextBox, ComboBox, Button };

enum class Alignment { Left, Right, Center };

// Pointer buttons and modifier masks as events carry them.
namespace mouse {
constexpr int kLeft = 1;
constexpr int kRight = 2;
constexpr int kMiddle = 4;
}  // namespace mouse
namespace modifier {
constexpr int kShift = 1;
constexpr int kCtrl = 2;
constexpr int kAlt = 4;
}  // namespace modifier

// A press or release carries the one button that changed; a move carries the mask of all
// buttons held. x and y are twips relative to the control's top-left corner.
struct MouseEvent {
    int button = 0;
    int shift = 0;
    int x = 0;
    int y = 0;
};

struct Font {
    std::string name = "MS Sans Serif";
    double size = 8.25;  // points
    bool bold = false;
    bool italic = false;
    int charset = 204;   // Cyrillic
    friend bool operator==(const Font&, const Font&) = default;
};

// The smallest size, in points, that a one-line label draws an overlong caption at.
constexpr double kSmallestFittedPoints = 8;

class Control {
public:
    Control(Form& form, ControlKind kind, std::string name, Rect rect, int index = -1);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Form& form() const { return form_; }
    ControlKind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    int index() const { return index_; }  // position in a control array, -1 if none
    // Drawn by the form (labels, shapes, images, picture boxes, frames) rather than a
    // native child window (text boxes, combo boxes, buttons).
    bool windowless() const;
    // Takes pointer events over its rectangle. Rectangle shapes take none.
    bool takesPointer() const { return kind_ != ControlKind::Shape; }

    // Geometry in twips, relative to the container (a frame) or the form's client area.
    const Rect& rect() const { return rect_; }
    void setRect(const Rect& rect);
    void setLeft(int left) { setRect({left, rect_.top, rect_.width, rect_.height}); }
    void setTop(int top) { setRect({rect_.left, top, rect_.width, rect_.height}); }
    void setWidth(int width) { setRect({rect_.left, rect_.top, width, rect_.height}); }
    // The rectangle in the form's client area.
    Rect formRect() const;

    Control* container() const { return container_; }
    void setContainer(Control* frame) { container_ = frame; }

    bool visible() const { return visible_; }
    void setVisible(bool visible);
    // Visible, and so is every container.
    bool shown() const;

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);

    const std::string& tag() const { return tag_; }
    // Nothing is drawn from a tag, but the remote control's state reads some.
    void setTag(std::string tag);

    std::function<void(const MouseEvent&)> onMouseDown;
    std::function<void(const MouseEvent&)> onMouseUp;
    std::function<void(const MouseEvent&)> onMouseMove;
    std::function<void()> onClick;
    std::function<void()> onDblClick;

protected:
    // Brings what a control derives from its properties up to date after `changes`, before
    // the views are told; returns the changes to tell them.
    virtual unsigned follow(unsigned changes) { return changes; }
    void changed(unsigned changes, const Rect& before);
    void changed(unsigned changes) { changed(changes, formRect()); }
    // Sets a property and tells the form, unless the value is the same. Returns whether
    // it changed.
    template <class T>
    bool update(T& property, T value, unsigned changes) {
        if (property == value) return false;
        property = std::move(value);
        changed(changes);
        return true;
    }

private:
    Form& form_;
    ControlKind kind_;
    std::string name_;
    int index_;
    Rect rect_;
    Control* container_ = nullptr;
    bool visible_ = true;
    bool enabled_ = true;
    std::string tag_;
};

// Properties shared by the controls that show text.
class TextControl : public Control {
public:
    using Control::Control;

    const Font& font() const { return font_; }
    void setFont(const Font& font);
    void setFontSize(double points);
    Color foreColor() const { return foreColor_; }
    void setForeColor(Color color);
    Color backColor() const { return backColor_; }
    void setBackColor(Color color);
    Alignment alignment() const { return alignment_; }
    void setAlignment(Alignment alignment);

private:
    Font font_;
    Color foreColor_ = system_color::kButtonText;
    Color backColor_ = system_color::kButtonFace;
    Alignment alignment_ = Alignment::Left;
};

class Label : public TextControl {
public:
    Label(Form& form, std::string name, Rect rect, int index = -1)
        : TextControl(form, ControlKind::Label, std::move(name), rect, index) {}
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);
    // A transparent label draws only its text; an opaque one fills its rectangle first.
    bool transparent() const { return transparent_; }
    void setTransparent(bool transparent);

    // A one-line label keeps its caption whole on one line: a caption wider than the label
    // at the font's size is drawn smaller, down to kSmallestFittedPoints, until it fits
    // (one still too wide then ends in "..."). The font keeps the size it was given, so a
    // shorter caption is drawn at it again. Other labels break their lines between words.
    bool oneLine() const { return oneLine_; }
    void setOneLine(bool oneLine);
    // The font the caption is drawn in: the font, at the fitted size on a one-line label.
    const Font& drawnFont() const { return oneLine_ ? drawnFont_ : font(); }

private:
    unsigned follow(unsigned changes) override;
    // The size the caption fits the label at, measured by the platform.
    double fittedSize() const;

    std::string caption_;
    bool transparent_ = false;
    bool oneLine_ = false;
    Font drawnFont_;
};

// A filled rectangle.
class Shape : public Control {
public:
    Shape(Form& form, std::string name, Rect rect, Color fill)
        : Control(form, ControlKind::Shape, std::move(name), rect), fillColor_(fill) {}
    Color fillColor() const { return fillColor_; }
    void setFillColor(Color color);

private:
    Color fillColor_;
};

// Shows a picture stretched to its rectangle (picture boxes show it at its own size).
class Image : public Control {
public:
    Image(Form& form, std::string name, Rect rect, int index = -1)
        : Control(form, ControlKind::Image, std::move(name), rect, index) {}
    const PicturePtr& picture() const { return picture_; }
    void setPicture(PicturePtr picture);

protected:
    Image(Form& form, ControlKind kind, std::string name, Rect rect)
        : Control(form, kind, std::move(name), rect) {}

private:
    PicturePtr picture_;
};

class PictureBox : public Image {
public:
    PictureBox(Form& form, std::string name, Rect rect)
        : Image(form, ControlKind::PictureBox, std::move(name), rect) {}
    Color backColor() const { return backColor_; }
    void setBackColor(Color color);

private:
    Color backColor_ = system_color::kButtonFace;
};

// A titled group box; controls whose container it is move and hide with it.
class Frame : public TextControl {
public:
    Frame(Form& form, std::string name, Rect rect)
        : TextControl(form, ControlKind::Frame, std::move(name), rect) {}
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);

private:
    std::string caption_;
};

class Button : public TextControl {
public:
    Button(Form& form, std::string name, Rect rect)
        : TextControl(form, ControlKind::Button, std::move(name), rect) {}
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);

private:
    std::string caption_;
};

class TextBox : public TextControl {
public:
    TextBox(Form& form, std::string name, Rect rect);
    const std::string& text() const { return text_; }
    // Assigning a different text raises onChange, as an edit by the operator does.
    void setText(std::string text);
    std::function<void()> onChange;
    std::function<void()> onLostFocus;

    // The list of suggestions shown under the box as the operator types, if it has one
    // (set by the list, which the form owns).
    SuggestionList* suggestions() const { return suggestions_; }
    void setSuggestions(SuggestionList* list) { suggestions_ = list; }

private:
    std::string text_;
    SuggestionList* suggestions_ = nullptr;
};

enum class ComboStyle { DropDownCombo, DropDownList };

class ComboBox : public TextControl {
public:
    ComboBox(Form& form, std::string name, Rect rect, ComboStyle style);
    ComboStyle style() const { return style_; }

    const std::string& text() const { return text_; }
    // The program's own assignment: raises no event.
    void setText(std::string text);

    const std::vector<std::string>& items() const { return items_; }
    int listCount() const { return static_cast<int>(items_.size()); }
    void addItem(std::string item);
    // Empties the list and the text field.
    void clear();

    int listIndex() const { return listIndex_; }
    // Selects entry `index` (-1 selects none) and raises onClick, as a pick by the
    // operator does. An index the list does not hold throws quorvel::Error.
    void setListIndex(int index);

    // onClick (inherited) runs when an entry is selected, by the operator or by the
    // program. onChange runs when the operator edited the text field.
    std::function<void()> onChange;
    std::function<void()> onLostFocus;

    // From the backend: the operator typed into the text field.
    void editedByOperator(std::string text);

private:
    ComboStyle style_;
    std::string text_;
    std::vector<std::string> items_;
    int listIndex_ = -1;
};

}  // namespace quorvel::ui
