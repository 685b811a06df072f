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
#include <memory>
#include <string>
#include <vector>

#include "remote/feed_store.h"
#include "ui/observer.h"

namespace quorvel::app {
class App;
}

namespace quorvel::remote {

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
    TableText text_;          // as last published
    std::vector<PartRef> changed_;
};

}  // namespace quorvel::remote
