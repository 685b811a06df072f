#pragma once
// A list of suggestions under a text box. As the operator types into the box, it offers
// the names in which a word begins with what was typed, case-insensitively: the names
// that begin with it first, then the rest, each group in the order of its source, at most
// kMaxRows rows. Up and Down move through it, Enter or a click takes a name into the box,
// Escape closes it, typing on narrows it; the typed text stays when no name is taken. It
// closes when the box loses the focus.
//
// The list is a model; the backend shows it in a popup of its own (SuggestionPeer) that
// never takes the focus from the box. Nothing of it runs but while the operator types.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/geometry.h"

namespace quorvel::ui {

class TextBox;
class SuggestionPeer;

class SuggestionList {
public:
    static constexpr int kMaxRows = 10;

    // Where the names come from: how many there are, each in order, and each folded
    // (ui::foldCase) for comparing. Read at every keystroke, so a source that changed (a
    // roster read again) is followed; the source keeps the folded forms, made once.
    struct Source {
        std::function<std::size_t()> count;
        std::function<const std::string&(std::size_t)> name;
        std::function<const std::string&(std::size_t)> folded;
    };

    SuggestionList(TextBox& box, Source source);
    ~SuggestionList();
    SuggestionList(const SuggestionList&) = delete;
    SuggestionList& operator=(const SuggestionList&) = delete;

    TextBox& box() const { return box_; }
    // Shown: some name matches what was typed.
    bool open() const { return !rows_.empty(); }
    const std::vector<std::string>& rows() const { return rows_; }
    // The row Up and Down went to, -1 for none.
    int highlighted() const { return highlighted_; }

    // The operator typed into the box: the rows follow its text.
    void typed();
    // A key pressed in the box (a virtual-key code). While the list is shown, Up and Down
    // move through it, Enter takes the highlighted name (or keeps the text as typed),
    // Escape closes it. Returns whether the key was taken, so the box does not see it.
    bool keyDown(int virtualKey);
    // Takes row `row` into the box and closes the list.
    void take(int row);
    void close();

    // From the backend's popup, each run as one event: the operator clicked row `row`, or
    // the pointer went over it (it is highlighted, as Up and Down would).
    void inputRowClicked(int row);
    void inputRowHovered(int row);
    // The form's window closes: so does the popup.
    void windowClosed();

    // Fills the rows for `typed` (empty: none). What a keystroke costs.
    void match(std::string_view typed);

private:
    void show();

    TextBox& box_;
    Source source_;
    std::unique_ptr<SuggestionPeer> peer_;
    std::vector<std::size_t> begins_;  // positions of the names that begin with the text
    std::vector<std::size_t> others_;  // of those with a later word that does
    std::vector<std::string> rows_;
    int highlighted_ = -1;
};

// The popup that shows a suggestion list, made by the backend when the list is first
// shown and closed with the form's window.
class SuggestionPeer {
public:
    virtual ~SuggestionPeer() = default;
    // The rows or the highlighted row changed: shows the list at its place, above every
    // other window, without taking the focus.
    virtual void update() = 0;
    virtual void hide() = 0;
};

// Where a list of `width` x `height` goes for a box at `box` on `screen` (the work area
// of the box's monitor), all in pixels: right under the box, or right above it where the
// screen has no room below; moved in from the screen's right edge.
Rect placeSuggestions(const Rect& box, int width, int height, const Rect& screen);

}  // namespace quorvel::ui
