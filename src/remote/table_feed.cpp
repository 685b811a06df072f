#include "remote/table_feed.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <string_view>

#include "app/app.h"
#include "remote/api.h"
#include "table/score_table.h"
#include "ui/form.h"

namespace quorvel::remote {
namespace {

using nlohmann::json;

constexpr unsigned kAllChanges = ~0u;

const char* kindName(ui::ControlKind kind) {
    switch (kind) {
        case ui::ControlKind::Label: return "label";
        case ui::ControlKind::Shape: return "shape";
        case ui::ControlKind::Image: return "image";
        case ui::ControlKind::PictureBox: return "picturebox";
        case ui::ControlKind::Frame: return "frame";
        case ui::ControlKind::TextBox: return "textbox";
        case ui::ControlKind::ComboBox: return "combobox";
        case ui::ControlKind::Button: return "button";
    }
    return "unknown";
}

const char* alignmentName(ui::Alignment alignment) {
    switch (alignment) {
        case ui::Alignment::Left: return "left";
        case ui::Alignment::Right: return "right";
        case ui::Alignment::Center: return "center";
    }
    return "left";
}

// The members of a JSON object, without its braces. Captions from the operator's files that
// are not UTF-8 have their bad bytes replaced rather than failing the description.
std::string members(const json& object) {
    const std::string text = object.dump(-1, ' ', false, json::error_handler_t::replace);
    return text.substr(1, text.size() - 2);
}

std::string hex(ui::Color colour) {
    static const char digits[] = "0123456789abcdef";
    std::string text = "#";
    for (const unsigned channel : {ui::redOf(colour), ui::greenOf(colour), ui::blueOf(colour)}) {
        text += digits[channel >> 4];
        text += digits[channel & 15];
    }
    return text;
}

// A picture's address and size in pixels; a picture from outside the pic folder has no
// address (the page leaves it out).
json pictureOf(const ui::PicturePtr& picture, const std::string& folder) {
    if (!picture) return nullptr;
    const std::string_view source = picture->source();
    const bool underPic = source.size() > folder.size() && source.substr(0, folder.size()) == folder;
    return {{"src", underPic ? json(pictureAddress(source.substr(folder.size()))) : json(nullptr)},
            {"width", picture->width()},
            {"height", picture->height()}};
}

// The parts that a control's change flags touch.
unsigned partsOf(unsigned changes) {
    unsigned parts = 0;
    if (changes & ui::change::kGeometry) parts |= 1u << part::kRect;
    if (changes & ui::change::kVisibility) parts |= 1u << part::kShown;
    if (changes & (ui::change::kText | ui::change::kItems | ui::change::kSelection)) parts |= 1u << part::kText;
    if (changes & (ui::change::kAppearance | ui::change::kEnabled)) parts |= 1u << part::kLook;
    if (changes & ui::change::kPicture) parts |= 1u << part::kPicture;
    return parts;
}

unsigned formPartsOf(unsigned changes) {
    unsigned parts = 0;
    if (changes & ui::change::kGeometry) parts |= 1u << part::kFormSize;
    if (changes & ui::change::kAppearance) parts |= 1u << part::kFormLook;
    if (changes & ui::change::kPicture) parts |= 1u << part::kFormPicture;
    return parts;
}

bool inside(const ui::Control& control, const ui::Control& container) {
    for (const ui::Control* c = control.container(); c != nullptr; c = c->container())
        if (c == &container) return true;
    return false;
}

}  // namespace

std::string pictureAddress(std::string_view path) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "/pic/";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '/') {
            out += '/';
        } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                   c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += digits[byte >> 4];
            out += digits[byte & 15];
        }
    }
    return out;
}

TableFeed::TableFeed(app::App& app) : app_(app), pictureFolder_(app.path("\\pic\\")) {
    ui::Platform& platform = app.platform();
    store_->connect([this, alive = std::weak_ptr<int>(alive_), &platform](FeedStore::Kind kind) {
        platform.postToUiThread([this, alive, kind] {
            if (!alive.expired()) app_.runtime().dispatch([&] { refresh(kind); });
        });
    });
    app.runtime().addObserver(*this);
    if (app.tableLoaded()) attach(app.table());
}

TableFeed::~TableFeed() {
    store_->disconnect();
    app_.runtime().removeObserver(*this);
    if (table_) table_->removeObserver(*this);
}

void TableFeed::formLoaded(ui::Form& form) {
    if (app_.tableLoaded() && &form == static_cast<ui::Form*>(&app_.table())) attach(form);
}

void TableFeed::attach(ui::Form& table) {
    table_ = &table;
    table.addObserver(*this);
    // As the window draws them: the drawn controls back to front, then the native ones
    // above them all.
    controls_.clear();
    for (const bool native : {false, true})
        for (const auto& control : table.controls())
            if (control->windowless() != native) controls_.push_back(control.get());
    dirty_.assign(controls_.size(), 0);
    tableStale_ = true;
}

void TableFeed::formClosed(const ui::Form& form) {
    if (&form != table_) return;
    table_ = nullptr;
    controls_.clear();
    dirty_.clear();
}

void TableFeed::formChanged(const ui::Form&, unsigned changes) {
    if (wholeNext()) return;
    formDirty_ |= changes;
    anyDirty_ = true;
}

void TableFeed::controlChanged(const ui::Control& control, unsigned changes) {
    if (wholeNext()) return;
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i] == &control) {
            dirty_[i] |= changes;
        } else if ((changes & (ui::change::kGeometry | ui::change::kVisibility)) && inside(*controls_[i], control)) {
            // A frame takes the controls inside it along.
            dirty_[i] |= changes & (ui::change::kGeometry | ui::change::kVisibility);
        }
    }
    anyDirty_ = true;
}

void TableFeed::eventEnded() {
    const FeedStore::Publication one(*store_);
    if (store_->wanted(FeedStore::Kind::Table)) {
        publishSchedule(false);
        publishTable();
    }
    else
        tableStale_ = true;  // not kept up while nobody reads
    if (store_->wanted(FeedStore::Kind::State)) publishState();
}

void TableFeed::refresh(FeedStore::Kind kind) {
    const FeedStore::Publication one(*store_);
    if (kind == FeedStore::Kind::State) {
        publishState();
        return;
    }
    tableStale_ = true;
    publishSchedule(true);
    publishTable();
}

void TableFeed::publishSchedule(bool force) {
    const day::MatchDay& day = app_.day();
    if (!force && day.revision() == scheduleRevision_) return;
    // Only the matches that changed are described again (a next match: two or three of
    // them), unless the schedule or the roster is new.
    const bool all = force || scheduleEntries_.size() != day.matches().size() || rosterRevision_ != app_.rosterRevision();
    scheduleEntries_.resize(day.matches().size());
    for (std::size_t i = 0; i < scheduleEntries_.size(); ++i)
        if (all || day.revisionOf(i) > scheduleRevision_) scheduleEntries_[i] = Api::scheduleEntryJson(app_, i);
    scheduleRevision_ = day.revision();
    rosterRevision_ = app_.rosterRevision();
    // Without a schedule the messages stay as they were.
    if (day.empty() && !schedulePublished_) return;
    store_->setSchedule(Api::scheduleJson(app_, scheduleEntries_));
    schedulePublished_ = true;
}

void TableFeed::publishState() { store_->setState(Api::stateJson(app_)); }

void TableFeed::publishTable() {
    const bool open = table_ != nullptr && table_->visible();
    const bool whole = !open || !tableOpen_ || tableStale_;
    if (whole) {
        if (open) {
            describeAll();
            store_->openTable(text_);
        } else if (tableOpen_ || tableStale_) {
            store_->closeTable();
        }
        tableOpen_ = open;
        tableStale_ = false;
    } else if (anyDirty_) {
        changed_.clear();
        const unsigned formParts = formPartsOf(formDirty_);
        for (std::size_t p = 0; p < part::kFormParts; ++p) {
            if (!(formParts & (1u << p))) continue;
            std::string text = formPart(p);
            if (text == text_.form[p].text) continue;
            text_.form[p].text = std::move(text);
            changed_.emplace_back(kFormPart, p);
        }
        for (std::size_t i = 0; i < controls_.size(); ++i)
            if (dirty_[i] != 0) describe(i, dirty_[i], false);
        store_->changeTable(text_, changed_);
    }
    std::fill(dirty_.begin(), dirty_.end(), 0u);
    formDirty_ = 0;
    anyDirty_ = false;
}

void TableFeed::describeAll() {
    for (std::size_t p = 0; p < part::kFormParts; ++p) text_.form[p].text = formPart(p);
    text_.controls.assign(controls_.size(), ControlText{});
    changed_.clear();
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const ui::Control& control = *controls_[i];
        json identity = {{"i", i}, {"name", control.name()}, {"kind", kindName(control.kind())}};
        if (control.index() >= 0) identity["index"] = control.index();
        text_.controls[i].identity = members(identity);
        text_.controls[i].shown = !control.shown();  // so that describe() sees it change
        describe(i, kAllChanges, true);
    }
    changed_.clear();
}

void TableFeed::describe(std::size_t i, unsigned changes, bool force) {
    const ui::Control& control = *controls_[i];
    ControlText& text = text_.controls[i];
    const bool shown = control.shown();
    if (shown != text.shown) {
        // Shown again, it is described whole: a reader may have come while it was hidden.
        if (shown) force = true;
        changes = shown ? kAllChanges : ui::change::kVisibility;
        text.shown = shown;
    }
    const unsigned parts = partsOf(changes);
    for (std::size_t p = 0; p < part::kControlParts; ++p) {
        // A hidden control tells only that it is hidden.
        if (!(parts & (1u << p)) || (!shown && p != part::kShown)) continue;
        std::string now = controlPart(control, p);
        if (now.empty() || (!force && now == text.parts[p].text)) continue;
        text.parts[p].text = std::move(now);
        changed_.emplace_back(i, p);
    }
}

std::string TableFeed::formPart(std::size_t which) const {
    const ui::Form& form = *table_;
    const ui::Platform& platform = app_.platform();
    switch (which) {
        case part::kFormSize:
            return members({{"width", ui::twipsToPixels(form.clientWidth())},
                            {"height", ui::twipsToPixels(form.clientHeight())}});
        case part::kFormLook:
            return members({{"back", hex(platform.resolveColor(form.backColor()))},
                            {"seeThrough", form.seeThroughKey() ? json(hex(platform.resolveColor(*form.seeThroughKey())))
                                                             : json(nullptr)},
                            {"frame", static_cast<int>(form.borderStyle())}});
        default: break;
    }
    return members({{"picture", pictureOf(form.picture(), pictureFolder_)}});
}

std::string TableFeed::controlPart(const ui::Control& control, std::size_t which) const {
    const ui::Platform& platform = app_.platform();
    const auto colour = [&](ui::Color c) { return hex(platform.resolveColor(c)); };
    const ui::ControlKind kind = control.kind();
    const bool text = kind == ui::ControlKind::Label || kind == ui::ControlKind::Frame ||
                      kind == ui::ControlKind::Button || kind == ui::ControlKind::TextBox ||
                      kind == ui::ControlKind::ComboBox;
    switch (which) {
        case part::kRect: {
            const ui::Rect r = control.formRect();
            const int left = ui::twipsToPixels(r.left);
            const int top = ui::twipsToPixels(r.top);
            return members({{"x", left},
                            {"y", top},
                            {"width", ui::twipsToPixels(r.right()) - left},
                            {"height", ui::twipsToPixels(r.bottom()) - top}});
        }
        case part::kShown: return members({{"shown", control.shown()}});
        case part::kText:
            switch (kind) {
                case ui::ControlKind::Label: return members({{"caption", static_cast<const ui::Label&>(control).caption()}});
                case ui::ControlKind::Frame: return members({{"caption", static_cast<const ui::Frame&>(control).caption()}});
                case ui::ControlKind::Button: return members({{"caption", static_cast<const ui::Button&>(control).caption()}});
                case ui::ControlKind::TextBox: return members({{"caption", static_cast<const ui::TextBox&>(control).text()}});
                case ui::ControlKind::ComboBox: return members({{"caption", static_cast<const ui::ComboBox&>(control).text()}});
                default: return {};
            }
        case part::kLook: {
            if (kind == ui::ControlKind::Shape)
                return members({{"fill", colour(static_cast<const ui::Shape&>(control).fillColor())}});
            if (kind == ui::ControlKind::PictureBox)
                return members({{"back", colour(static_cast<const ui::PictureBox&>(control).backColor())}});
            if (!text) return {};
            const auto& box = static_cast<const ui::TextControl&>(control);
            const ui::Font& font =
                kind == ui::ControlKind::Label ? static_cast<const ui::Label&>(control).drawnFont() : box.font();
            json look = {
                // A disabled control's text is grey, as the window draws it.
                {"fore", colour(box.enabled() ? box.foreColor() : ui::system_color::kGrayText)},
                {"back", colour(box.backColor())},
                {"font",
                 {{"name", font.name},
                  {"points", font.size},
                  // The window asks for a character height of this many pixels (96 DPI).
                  {"pixels", std::lround(font.size * 96.0 / 72.0)},
                  {"bold", font.bold},
                  {"italic", font.italic}}},
                {"align", alignmentName(box.alignment())},
            };
            if (kind == ui::ControlKind::Label) {
                look["transparent"] = static_cast<const ui::Label&>(control).transparent();
                // Labels break their lines between words, but for one-line labels; the other
                // controls keep one line.
                look["wrap"] = !static_cast<const ui::Label&>(control).oneLine();
            }
            return members(look);
        }
        case part::kPicture: {
            if (kind != ui::ControlKind::Image && kind != ui::ControlKind::PictureBox) return {};
            return members({{"picture", pictureOf(static_cast<const ui::Image&>(control).picture(), pictureFolder_)}});
        }
        default: return {};
    }
}

}  // namespace quorvel::remote
