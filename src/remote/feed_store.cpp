#include "remote/feed_store.h"

namespace quorvel::remote {

void FeedStore::connect(std::function<void(Kind)> wake) {
    const std::lock_guard<std::mutex> lock(mutex_);
    wake_ = std::move(wake);
    ended_ = false;
}

void FeedStore::disconnect() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        wake_ = nullptr;
        ended_ = true;
    }
    changed_.notify_all();
}

bool FeedStore::wanted(Kind kind) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return slot(kind).readers > 0;
}

void FeedStore::published(Slot& published) {
    published.fresh = true;
    published.cached.reset();
    if (!publishing_) changed_.notify_all();
}

FeedStore::Publication::Publication(FeedStore& store) : store_(store) {
    const std::lock_guard<std::mutex> lock(store_.mutex_);
    store_.publishing_ = true;
}

FeedStore::Publication::~Publication() {
    {
        const std::lock_guard<std::mutex> lock(store_.mutex_);
        store_.publishing_ = false;
    }
    store_.changed_.notify_all();
}

void FeedStore::openTable(const TableText& table) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Slot& s = slot(Kind::Table);
    const std::uint64_t version = ++s.version;
    table_ = table;
    for (PartText& p : table_.form) p.version = version;
    for (ControlText& c : table_.controls)
        for (PartText& p : c.parts) p.version = version;
    open_ = true;
    openVersion_ = version;
    published(s);
}

void FeedStore::closeTable() {
    const std::lock_guard<std::mutex> lock(mutex_);
    Slot& s = slot(Kind::Table);
    if (open_ || !s.fresh) {
        ++s.version;
        open_ = false;
        table_ = TableText{};
    }
    published(s);
}

void FeedStore::changeTable(const TableText& table, const std::vector<PartRef>& changed) {
    if (changed.empty()) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    Slot& s = slot(Kind::Table);
    const std::uint64_t version = ++s.version;
    for (const auto& [control, which] : changed) {
        PartText& to = control == kFormPart ? table_.form[which] : table_.controls.at(control).parts[which];
        to.text = control == kFormPart ? table.form[which].text : table.controls[control].parts[which].text;
        to.version = version;
        if (control != kFormPart) table_.controls[control].shown = table.controls[control].shown;
    }
    published(s);
}

void FeedStore::setState(std::string json) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Slot& s = slot(Kind::State);
    if (!state_ || *state_ != json) {
        state_ = std::make_shared<const std::string>(std::move(json));
        ++s.version;
    }
    published(s);
}

void FeedStore::setSchedule(std::string json) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (json == schedule_) return;
    Slot& s = slot(Kind::Table);
    schedule_ = std::move(json);
    scheduleVersion_ = ++s.version;
    published(s);
}

bool FeedStore::newer(Kind kind, std::uint64_t seen) const {
    const Slot& s = slot(kind);
    return !publishing_ && s.fresh && s.version > seen;
}

FeedStore::Message FeedStore::message(Kind kind, std::uint64_t seen) {
    if (kind == Kind::State) return state_;
    Slot& s = slot(kind);
    // Readers that took the same version before get the same message: made once.
    if (!s.cached || s.cachedFrom != seen || s.cachedVersion != s.version) {
        s.cached = std::make_shared<const std::string>(tableMessage(seen));
        s.cachedFrom = seen;
        s.cachedVersion = s.version;
    }
    return s.cached;
}

// {"type":"table","version":N,"form":{...},"controls":[{"i":0,...},...]} for a reader that
// has not seen this opening of the table; {"type":"delta",...} with the parts newer than
// `seen` otherwise; {"type":"closed","version":N} while it is closed. Each carries the
// schedule ("schedule":{...}) when the reader has not seen it as it is.
std::string FeedStore::tableMessage(std::uint64_t seen) const {
    const std::string version = std::to_string(slot(Kind::Table).version);
    const bool whole = !open_ || seen < openVersion_;
    const std::string schedule =
        !schedule_.empty() && (whole || scheduleVersion_ > seen) ? R"(,"schedule":)" + schedule_ : std::string();
    if (!open_) return R"({"type":"closed","version":)" + version + schedule + "}";
    const auto due = [&](const PartText& p) { return !p.text.empty() && (whole || p.version > seen); };
    const auto append = [](std::string& to, const std::string& members) {
        if (!to.empty() && to.back() != '{') to += ',';
        to += members;
    };

    std::string out = std::string(R"({"type":")") + (whole ? "table" : "delta") + R"(","version":)" + version;
    std::string form = "{";
    for (const PartText& p : table_.form)
        if (due(p)) append(form, p.text);
    if (form.size() > 1) out += R"(,"form":)" + form + "}";
    out += R"(,"controls":[)";
    bool first = true;
    for (std::size_t i = 0; i < table_.controls.size(); ++i) {
        const ControlText& c = table_.controls[i];
        std::string entry = "{";
        if (whole) {
            append(entry, c.identity);
            append(entry, c.parts[part::kShown].text);
            for (std::size_t p = 0; c.shown && p < c.parts.size(); ++p)
                if (p != part::kShown && due(c.parts[p])) append(entry, c.parts[p].text);
        } else {
            // A hidden control tells only that it is hidden.
            for (std::size_t p = 0; p < c.parts.size(); ++p)
                if ((c.shown || p == part::kShown) && due(c.parts[p])) append(entry, c.parts[p].text);
            if (entry.size() > 1) entry.insert(1, R"("i":)" + std::to_string(i) + ",");
        }
        if (entry.size() == 1) continue;
        if (!first) out += ',';
        first = false;
        out += entry + "}";
    }
    out += "]" + schedule + "}";
    return out;
}

FeedStore::Reader::Reader(std::shared_ptr<FeedStore> store, Kind kind) : store_(std::move(store)), kind_(kind) {
    const std::lock_guard<std::mutex> lock(store_->mutex_);
    Slot& s = store_->slot(kind_);
    if (s.readers++ == 0) {
        // What was published before has not been kept up: wait for the whole of it again.
        s.fresh = false;
        if (store_->wake_) store_->wake_(kind_);
    }
}

FeedStore::Reader::~Reader() {
    const std::lock_guard<std::mutex> lock(store_->mutex_);
    --store_->slot(kind_).readers;
}

bool FeedStore::Reader::wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(store_->mutex_);
    return store_->changed_.wait_for(lock, timeout,
                                     [&] { return store_->ended_ || stopped_ || store_->newer(kind_, seen_); }) &&
           !store_->ended_ && !stopped_;
}

FeedStore::Message FeedStore::Reader::take() {
    const std::lock_guard<std::mutex> lock(store_->mutex_);
    if (store_->ended_ || stopped_ || !store_->newer(kind_, seen_)) return nullptr;
    Message taken = store_->message(kind_, seen_);
    seen_ = store_->slot(kind_).version;
    return taken;
}

FeedStore::Message FeedStore::Reader::next(std::chrono::milliseconds timeout) {
    return wait(timeout) ? take() : nullptr;
}

bool FeedStore::Reader::ended() const {
    const std::lock_guard<std::mutex> lock(store_->mutex_);
    return store_->ended_ || stopped_;
}

void FeedStore::Reader::stop() {
    {
        const std::lock_guard<std::mutex> lock(store_->mutex_);
        stopped_ = true;
    }
    store_->changed_.notify_all();
}

}  // namespace quorvel::remote
