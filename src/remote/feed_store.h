#pragma once
// Finished descriptions of the score table and of the remote control's state, for the
// threads that push them to web pages and decks. The UI thread's TableFeed publishes them
// here as text, once per event that changed something; any thread reads them through a
// Reader. Nothing queues up: each part of the table keeps only its latest text and the
// version that last changed it, so a reader that last took version V gets, in one message,
// everything changed since V, however many events that was, and memory stays the size of
// one table. A kind is described only while it has readers: the first reader asks the UI
// thread for the whole of it, and is answered once that has been published.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::remote {

// The parts of a control's description, each published when it changed.
namespace part {
constexpr std::size_t kRect = 0;     // place and size
constexpr std::size_t kShown = 1;    // shown or not
constexpr std::size_t kText = 2;     // caption or text
constexpr std::size_t kLook = 3;     // colours, font, alignment, wrap, fill
constexpr std::size_t kPicture = 4;  // the picture
constexpr std::size_t kControlParts = 5;
// The form's own parts.
constexpr std::size_t kFormSize = 0;
constexpr std::size_t kFormLook = 1;  // back colour, see-through key, frame
constexpr std::size_t kFormPicture = 2;
constexpr std::size_t kFormParts = 3;
}  // namespace part

// One part: JSON object members without the braces ("" for a part the kind has not), and
// the version that last changed it.
struct PartText {
    std::string text;
    std::uint64_t version = 0;
};

struct ControlText {
    std::string identity;  // "i", "name" and "kind" members
    bool shown = false;
    std::array<PartText, part::kControlParts> parts;
};

// The table as a list of parts: the form's, then each control's in drawing order.
struct TableText {
    std::array<PartText, part::kFormParts> form;
    std::vector<ControlText> controls;
};

// A part that changed: a control's index and part, or (kFormPart, part) for the form's.
using PartRef = std::pair<std::size_t, std::size_t>;
constexpr std::size_t kFormPart = static_cast<std::size_t>(-1);

class FeedStore {
public:
    enum class Kind { Table, State };
    using Message = std::shared_ptr<const std::string>;

    // --- The UI thread's feed ---
    // `wake` is called, with the store locked, when a kind gets its first reader: the feed
    // is to publish that kind whole soon (from the UI thread).
    void connect(std::function<void(Kind)> wake);
    // The feed has gone: readers get nothing more.
    void disconnect();
    // Whether a kind has readers, and so is to be described.
    bool wanted(Kind kind) const;
    // The table whole, as it opened or for a first reader: every part takes the new version.
    void openTable(const TableText& table);
    // The table is closed, or not shown: readers are told so.
    void closeTable();
    // The parts named changed in `table`; the other parts are as published before.
    void changeTable(const TableText& table, const std::vector<PartRef>& changed);
    // The state JSON; a new version only when it differs from the last.
    void setState(std::string json);
    // The day's schedule (Api::scheduleJson), carried to the table's readers as their
    // messages' "schedule" member; a new version of the table only when it differs.
    void setSchedule(std::string json);

    // While one lives, readers take nothing new: what the feed publishes for one event (the
    // table's parts, the schedule) reaches a reader in one message, never in two frames.
    class Publication {
    public:
        explicit Publication(FeedStore& store);
        ~Publication();
        Publication(const Publication&) = delete;
        Publication& operator=(const Publication&) = delete;

    private:
        FeedStore& store_;
    };

    // --- Any thread ---
    // A reader of one kind, holding the version it last took. While readers of a kind
    // exist, the feed describes it.
    class Reader {
    public:
        Reader(std::shared_ptr<FeedStore> store, Kind kind);
        ~Reader();
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;

        // Blocks until there is something newer than what this reader last took, the feed
        // has gone, or `timeout` has passed; returns whether there is something to take.
        bool wait(std::chrono::milliseconds timeout);
        // Takes what is new without waiting, or nullptr when nothing is. A table reader gets
        // {"type":"table",...} (the whole table) first and after each opening,
        // {"type":"delta",...} (everything changed since its last take) afterwards, and
        // {"type":"closed",...} while the table is closed; a state reader gets the state
        // JSON, whole.
        Message take();
        // wait, then take.
        Message next(std::chrono::milliseconds timeout);
        // The feed has gone, or this reader was stopped: nothing more will come.
        bool ended() const;
        // From any thread: ends this reader's waits at once, this one and every later one,
        // so that a thread waiting for the next change of a peer that has gone ends now.
        void stop();
        // The version last taken (0 for none).
        std::uint64_t seen() const { return seen_; }

    private:
        std::shared_ptr<FeedStore> store_;
        Kind kind_;
        std::uint64_t seen_ = 0;
        bool stopped_ = false;  // guarded by the store's mutex
    };

private:
    struct Slot {
        int readers = 0;
        bool fresh = false;  // published since its readers came
        std::uint64_t version = 0;
        // The last message made, and the version it was made from, shared by the readers
        // that take the same.
        std::uint64_t cachedFrom = 0;
        std::uint64_t cachedVersion = 0;
        Message cached;
    };
    Slot& slot(Kind kind) { return slots_[kind == Kind::Table ? 0 : 1]; }
    const Slot& slot(Kind kind) const { return slots_[kind == Kind::Table ? 0 : 1]; }
    bool newer(Kind kind, std::uint64_t seen) const;
    // With the store locked.
    Message message(Kind kind, std::uint64_t seen);
    std::string tableMessage(std::uint64_t seen) const;
    void published(Slot& slot);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool publishing_ = false;  // a Publication lives
    std::function<void(Kind)> wake_;
    bool ended_ = false;
    std::array<Slot, 2> slots_;
    TableText table_;
    bool open_ = false;
    std::uint64_t openVersion_ = 0;
    Message state_;
    std::string schedule_;  // "" while there is none
    std::uint64_t scheduleVersion_ = 0;
};

}  // namespace quorvel::remote
