#pragma once
// The score table as a web page sees it, and the remote control's state, published for
// other threads (FeedStore). The feed is a second observer of the table's form beside its
// window: told the same changes, it describes, at the end of each UI event that changed
// something, only the parts of the controls that changed, once for all readers, in the
// terms the window draws them (pixels at 96 DPI, resolved colours, fonts, captions,
// pictures as addresses under /pic/). The state JSON (GET /api/state) is made at the same
// moments, and only while it has readers. An idle event changes nothing and costs nothing.
//
// Lives on the UI thread, made and destroyed there; readers hold the store, which outlives
// it and tells them when it has gone.
//
// A table reader takes JSON objects (FeedStore::Reader::take):
//   {"type":"table","version":N,"form":F,"controls":[C,...]}   the whole table
//   {"type":"delta","version":N,"form":F,"controls":[C,...]}   only the parts changed since
//       the reader's last take ("form" only when one of its parts changed)
//   {"type":"closed","version":N}                               closed, or not shown
// With a schedule (release 0.99), each message also carries "schedule": Api::scheduleJson,
// whole, when it changed since the reader's last take (or the message is whole).
// F: "width", "height" (client pixels), "back" ("#rrggbb"), "seeThrough" (the key colour
//    when the window is see-through where it shows that colour, else null), "frame" (0 for
//    none, 1 to 5), "picture" (P or null, drawn at its own size at the top-left corner).
// C: "i" (its place in the drawing order, back to front); in the whole table also "name",
//    "kind" (label, shape, image, picturebox, frame, textbox, combobox, button) and
//    "index" for a member of a control array. Then its parts, each sent whole when any of
//    it changed: "shown"; "x", "y", "width", "height" (pixels); "caption"; the look:
//    "fore", "back", "font" {"name", "points", "pixels", "bold", "italic"}, "align"
//    (left, right, center), and for labels "transparent" and "wrap" (lines broken between
//    words; false for a one-line label, whose font is the size it is drawn at), for shapes "fill", for picture boxes "back"; "picture" (P or null: images
//    stretch it to their rectangle, picture boxes show it at its own size). A hidden
//    control is {"i", ..., "shown": false} and nothing more until it is shown again.
// P: "src" (its address below /pic/, null for a picture from outside the pic folder),
//    "width", "height" (its own pixels).
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "remote/feed_store.h"
#include "ui/observer.h"

namespace quorvel::app {
class App;
}

namespace quorvel::remote {

// A path below the pic folder (backslashes) as the address a page loads it from: each
// byte outside the unreserved characters of an address written as %XX.
std::string pictureAddress(std::string_view path);

class TableFeed final : ui::RuntimeObserver, ui::FormObserver {
public:
    explicit TableFeed(app::App& app);
    ~TableFeed();
    TableFeed(const TableFeed&) = delete;
    TableFeed& operator=(const TableFeed&) = delete;

    const std::shared_ptr<FeedStore>& store() const { return store_; }

private:
    void formLoaded(ui::Form& form) override;
    void eventEnded() override;
    void formChanged(const ui::Form& form, unsigned changes) override;
    void controlChanged(const ui::Control& control, unsigned changes) override;
    void formClosed(const ui::Form& form) override;

    void attach(ui::Form& table);
    // A kind's first reader came: publish it whole.
    void refresh(FeedStore::Kind kind);
    void publishTable();
    void publishState();
    // The day's schedule, when it changed since it was last published.
    void publishSchedule(bool force);
    // Describes every part anew into text_.
    void describeAll();
    // Describes the parts of control `i` that `changes` touch; records those that differ
    // (all of them when `force`) in changed_.
    void describe(std::size_t i, unsigned changes, bool force);
    std::string controlPart(const ui::Control& control, std::size_t which) const;
    std::string formPart(std::size_t which) const;

    app::App& app_;
    std::shared_ptr<FeedStore> store_ = std::make_shared<FeedStore>();
    // Expires with the feed: work posted to the UI thread finds it gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::string pictureFolder_;  // the program folder's pic folder, ending in a backslash

    ui::Form* table_ = nullptr;                 // while loaded
    std::vector<const ui::Control*> controls_;  // in drawing order
    std::vector<unsigned> dirty_;               // change flags since the last description
    unsigned formDirty_ = 0;
    bool anyDirty_ = false;
    bool tableStale_ = true;  // the next description is the whole table
    bool tableOpen_ = false;  // as last published
    // The next description is whole, so what changes until then need not be marked (as
    // while nobody reads the table).
    bool wholeNext() const { return tableStale_ || !tableOpen_; }
    TableText text_;          // as last published
    std::uint64_t scheduleRevision_ = 0;  // of the day, as last published
    std::uint64_t rosterRevision_ = 0;    // of the roster the entries were made with
    std::vector<std::string> scheduleEntries_;  // each match's, as last published
    bool schedulePublished_ = false;
    std::vector<PartRef> changed_;
};

}  // namespace quorvel::remote
