#include "ui/suggestion_list.h"

#include <algorithm>
#include <cstring>

#include "ui/control.h"
#include "ui/form.h"
#include "ui/keys.h"
#include "ui/text.h"

namespace quorvel::ui {

namespace {

// A word begins after a space or any other ASCII character that is no letter or digit.
// Bytes of UTF-8 sequences are parts of letters.
bool separates(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80) return false;
    return !((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z'));
}

// Where a word of `name` begins with `typed` (not empty), or npos. One pass over the
// bytes, comparing only where a word begins.
std::size_t wordStart(std::string_view name, std::string_view typed) {
    const std::size_t n = typed.size();
    if (name.size() < n) return std::string_view::npos;
    const std::size_t last = name.size() - n;
    bool wordBegins = true;
    for (std::size_t at = 0; at <= last; ++at) {
        const char c = name[at];
        if (wordBegins && c == typed[0] && std::memcmp(name.data() + at, typed.data(), n) == 0) return at;
        wordBegins = separates(c);
    }
    return std::string_view::npos;
}

}  // namespace

SuggestionList::SuggestionList(TextBox& box, Source source) : box_(box), source_(std::move(source)) {
    box_.setSuggestions(this);
    begins_.reserve(kMaxRows);
    others_.reserve(kMaxRows);
    rows_.reserve(kMaxRows);
}

SuggestionList::~SuggestionList() { box_.setSuggestions(nullptr); }

void SuggestionList::match(std::string_view typed) {
    begins_.clear();
    others_.clear();
    rows_.clear();
    highlighted_ = -1;
    if (typed.empty()) return;
    const std::string needle = foldCase(typed);
    const auto limit = static_cast<std::size_t>(kMaxRows);
    const std::size_t count = source_.count ? source_.count() : 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = wordStart(source_.folded(i), needle);
        if (at == std::string_view::npos) continue;
        if (at == 0) {
            begins_.push_back(i);
            if (begins_.size() == limit) break;  // the rest could only come after these
        } else if (others_.size() < limit) {
            others_.push_back(i);
        }
    }
    for (std::size_t i : begins_) rows_.push_back(source_.name(i));
    for (std::size_t i : others_) {
        if (rows_.size() == limit) break;
        rows_.push_back(source_.name(i));
    }
}

void SuggestionList::show() {
    if (rows_.empty()) {
        if (peer_) peer_->hide();
        return;
    }
    if (!box_.form().loaded()) return;
    if (!peer_) peer_ = box_.form().platform().createSuggestionPopup(*this);
    peer_->update();
}

void SuggestionList::typed() {
    match(box_.text());
    show();
}

bool SuggestionList::keyDown(int virtualKey) {
    if (!open()) return false;
    const int count = static_cast<int>(rows_.size());
    switch (virtualKey) {
        case key::kDown:
            // Past the last row back to none: the text as typed.
            highlighted_ = highlighted_ + 1 < count ? highlighted_ + 1 : -1;
            show();
            return true;
        case key::kUp:
            highlighted_ = highlighted_ < 0 ? count - 1 : highlighted_ - 1;
            show();
            return true;
        case key::kReturn:
            if (highlighted_ >= 0)
                take(highlighted_);
            else
                close();
            return true;
        case key::kEscape: close(); return true;
        default: return false;
    }
}

void SuggestionList::take(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    std::string name = rows_[static_cast<std::size_t>(row)];
    close();
    box_.setText(std::move(name));
}

void SuggestionList::close() {
    rows_.clear();
    highlighted_ = -1;
    show();
}

void SuggestionList::inputRowClicked(int row) {
    box_.form().runtime().dispatch([&] { take(row); });
}

void SuggestionList::inputRowHovered(int row) {
    box_.form().runtime().dispatch([&] {
        if (row < 0 || row >= static_cast<int>(rows_.size()) || row == highlighted_) return;
        highlighted_ = row;
        show();
    });
}

void SuggestionList::windowClosed() {
    rows_.clear();
    highlighted_ = -1;
    peer_.reset();
}

Rect placeSuggestions(const Rect& box, int width, int height, const Rect& screen) {
    Rect r{box.left, box.bottom(), width, height};
    if (r.bottom() > screen.bottom() && box.top - height >= screen.top) r.top = box.top - height;
    if (r.right() > screen.right()) r.left = std::max(screen.left, screen.right() - width);
    return r;
}

}  // namespace quorvel::ui
