#include "remote/connections.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <list>
#include <string_view>
#include <system_error>
#include <thread>

namespace quorvel::remote {
namespace {

using Clock = std::chrono::steady_clock;

int milliseconds(Clock::duration duration) {
    const auto count = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
    return static_cast<int>(std::clamp<long long>(count, 0, std::numeric_limits<int>::max()));
}

// Waits until `socket` can be read (or written), at most `timeout`; false on a timeout
// or an error.
bool waitFor(socket_t socket, bool read, Clock::duration timeout) {
    const std::chrono::milliseconds ms(milliseconds(timeout));
    return read ? hooks::waitReadable(socket, ms) : hooks::waitWritable(socket, ms);
}

// A thread for each connection at once: a connection never waits for another to end
// before it is read (the library's own pool queues connections behind busy threads once
// it has started its few). A thread whose connection has ended waits a while for the next
// one, since starting a thread is most of the cost of a short connection under Wine.
// Beyond `limit` threads a connection is refused, and the library closes it.
class ConnectionThreads final : public httplib::TaskQueue {
public:
    explicit ConnectionThreads(std::size_t limit) : limit_(limit) {}
    ~ConnectionThreads() override { shutdown(); }

    bool enqueue(std::function<void()> work) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        joinFinished();
        if (shuttingDown_) return false;
        if (idle_ <= jobs_.size()) {
            if (threads_.size() >= limit_) return false;
            const auto self = threads_.emplace(threads_.end());
            // The new thread cannot end before it is stored here: ending takes the lock.
            // When the system has no thread to give, the connection is refused like one
            // over the limit.
            try {
                *self = std::thread([this, self] { serve(self); });
            } catch (const std::system_error&) {
                threads_.erase(self);
                return false;
            }
        }
        jobs_.push_back(std::move(work));
        arrived_.notify_one();
        return true;
    }

    // Waits for every connection to end (the server has shut them down first).
    void shutdown() override {
        std::unique_lock<std::mutex> lock(mutex_);
        shuttingDown_ = true;
        arrived_.notify_all();
        ended_.wait(lock, [this] { return threads_.empty(); });
        joinFinished();
    }

private:
    static constexpr auto kKeptIdle = std::chrono::seconds(30);

    void serve(std::list<std::thread>::iterator self) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ++idle_;
            const bool work = arrived_.wait_for(lock, kKeptIdle, [this] { return !jobs_.empty() || shuttingDown_; });
            --idle_;
            if (!work || jobs_.empty()) break;
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
        finished_.splice(finished_.end(), threads_, self);
        if (threads_.empty()) ended_.notify_all();
    }

    // Under the lock. Each finished thread has only its return left to run.
    void joinFinished() {
        for (std::thread& thread : finished_) thread.join();
        finished_.clear();
    }

    const std::size_t limit_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable ended_;
    std::deque<std::function<void()>> jobs_;
    std::list<std::thread> threads_;
    std::list<std::thread> finished_;
    std::size_t idle_ = 0;
    bool shuttingDown_ = false;
};

#ifdef _WIN32
// Connects to `listening`, on loopback when it listens on every address, and lets go.
void wakeAcceptLoop(socket_t listening) {
    sockaddr_storage address{};
    int length = sizeof address;
    if (::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    if (address.ss_family == AF_INET) {
        auto& in = reinterpret_cast<sockaddr_in&>(address);
        if (in.sin_addr.s_addr == htonl(INADDR_ANY)) in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    } else if (address.ss_family == AF_INET6) {
        auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
        if (IN6_IS_ADDR_UNSPECIFIED(&in6.sin6_addr)) in6.sin6_addr = in6addr_loopback;
    }
    const socket_t waker = ::socket(address.ss_family, SOCK_STREAM, IPPROTO_TCP);
    if (waker == INVALID_SOCKET) return;
    (void)::connect(waker, reinterpret_cast<const sockaddr*>(&address), length);
    hooks::close(waker);
}
#endif

}  // namespace

// The connection's bytes: one buffer for its whole life, a deadline for the request being
// read, a bound on each wait for a write and on all the writes of one answer. Once the
// connection is upgraded to a WebSocket, the library asks for a read timeout of its own,
// the deadlines go, and each read returns all it asks for (a frame's head may come in
// pieces).
class ConnectionServer::Stream final : public hooks::ConnectionBytes {
public:
    Stream(ConnectionServer& server, Connection& connection, const ConnectionLimits& limits)
        : server_(server),
          connection_(connection),
          socket_(connection.socket),
          buffer_(kMaxHead),
          writeLimit_(limits.writeLimit),
          readLimit_(limits.requestDeadline) {}

    // Waits for the first byte of the next request, at most `idle`; true when it is there.
    bool awaitRequest(Clock::duration idle) const { return holdsBytes() || waitFor(socket_, true, idle); }
    // The head and body of the request now starting must arrive by `deadline`.
    void setDeadline(Clock::time_point deadline) {
        deadline_ = deadline;
        started_ = Clock::now();
        answering_ = false;
        restoreSendTimeout();
    }
    // Reads until the buffer holds the request's whole head (true), or it is full, the
    // deadline has passed or the peer has gone (false).
    bool readHead() {
        for (std::size_t searched = begin_;;) {
            const auto* const from = buffer_.data() + std::max(begin_, searched);
            const auto* const to = buffer_.data() + end_;
            if (std::search(from, to, kHeadEnd.begin(), kHeadEnd.end()) != to) return true;
            searched = end_ > begin_ + 3 ? end_ - 3 : begin_;
            if (end_ - begin_ == buffer_.size()) return false;
            if (end_ == buffer_.size()) {
                std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
                searched -= begin_;
                end_ -= begin_;
                begin_ = 0;
            }
            if (!waitFor(socket_, true, readWait())) return false;
            const ssize_t got = hooks::receive(socket_, buffer_.data() + end_, buffer_.size() - end_);
            if (got <= 0) return false;
            end_ += static_cast<std::size_t>(got);
        }
    }
    // The buffered bytes of the request now starting.
    std::string_view buffered() const { return {buffer_.data() + begin_, end_ - begin_}; }

    bool holdsBytes() const override { return begin_ < end_; }
    bool waitReadable() const override { return holdsBytes() || waitFor(socket_, true, readWait()); }
    bool waitWritable() const override { return waitFor(socket_, false, writeLimit_); }
    bool peerAlive() const override { return hooks::peerAlive(socket_); }

    ssize_t read(char* out, size_t size) override {
        if (!socketMode_) {
            // A read after an answer's first write (its 100 Continue) starts the answer's
            // time again.
            answering_ = false;
            return readSome(out, size);
        }
        for (size_t taken = 0; taken < size;) {
            const ssize_t got = readSome(out + taken, size - taken);
            if (got <= 0) return got;
            taken += static_cast<size_t>(got);
        }
        return static_cast<ssize_t>(size);
    }

    Failure failure() const override { return failure_; }

    ssize_t write(const char* data, size_t size) override {
        if (!socketMode_ && !answering_) {
            answering_ = true;
            answerDeadline_ = Clock::now() + writeLimit_;
            if (!server_.beginAnswer(connection_)) return -1;
        }
        return sendAll(data, size) ? static_cast<ssize_t>(size) : -1;
    }

    socket_t socket() const override { return socket_; }
    std::chrono::milliseconds elapsed() const override {
        return std::chrono::milliseconds(milliseconds(Clock::now() - started_));
    }

    // From now on each read waits up to `readWait`, with no deadline for a request.
    void becameSocket(std::chrono::microseconds readWait) override {
        deadline_ = Clock::time_point::max();
        readLimit_ = readWait;
        socketMode_ = true;
    }

    std::string_view held() const override { return buffered(); }
    void consume(size_t size) override { begin_ += std::min(size, end_ - begin_); }

private:
    static constexpr std::string_view kHeadEnd = "\r\n\r\n";
    // A send waits at most the answer's time left, give or take this much.
    static constexpr auto kSendSlack = std::chrono::milliseconds(500);

    ssize_t readSome(char* out, size_t size) {
        if (!holdsBytes()) {
            if (!waitFor(socket_, true, readWait())) {
                failure_ = Failure::Timeout;
                return -1;
            }
            const ssize_t got = hooks::receive(socket_, buffer_.data(), buffer_.size());
            if (got <= 0) {
                failure_ = got == 0 ? Failure::Closed : Failure::Read;
                return got;
            }
            begin_ = 0;
            end_ = static_cast<std::size_t>(got);
        }
        const std::size_t taken = std::min(size, end_ - begin_);
        std::memcpy(out, buffer_.data() + begin_, taken);
        begin_ += taken;
        return static_cast<ssize_t>(taken);
    }

    // Each send waits at most the socket's own send timeout, with no wait for room before
    // it: under Wine such a wait is one more round trip to the Wine server. An answer's
    // sends wait no longer in all than the write bound: once less than that is left, the
    // send timeout is cut to what is left (so only a slow answer pays for the change).
    // Whole, or false.
    bool sendAll(const char* data, size_t size) {
        for (size_t sent = 0; sent < size;) {
            if (!socketMode_) {
                const auto left = answerDeadline_ - Clock::now();
                if (left <= Clock::duration::zero()) return false;
                if (left + kSendSlack < sendTimeout_) setSendTimeout(left);
            }
            const ssize_t n = hooks::send(socket_, data + sent, size - sent);
            if (n <= 0) return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }

    // Puts the socket's send timeout back to the write bound after a slow answer cut it.
    void restoreSendTimeout() {
        if (sendTimeout_ != writeLimit_) setSendTimeout(writeLimit_);
    }

    void setSendTimeout(Clock::duration timeout) {
        const auto us = std::max<long long>(1000, std::chrono::duration_cast<std::chrono::microseconds>(timeout).count());
        hooks::setSendTimeout(socket_, std::chrono::microseconds(us));
        sendTimeout_ = timeout;
    }

    // How long a read may wait now: up to the request's deadline.
    Clock::duration readWait() const {
        if (deadline_ == Clock::time_point::max()) return readLimit_;
        return std::max(Clock::duration::zero(), deadline_ - Clock::now());
    }

    ConnectionServer& server_;
    Connection& connection_;
    socket_t socket_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    Clock::duration writeLimit_;
    Clock::duration readLimit_;
    Clock::time_point deadline_ = Clock::time_point::max();
    Clock::time_point started_ = Clock::now();
    bool socketMode_ = false;
    Failure failure_ = Failure::None;
    // Whether the answer to the request being served has begun, and by when it must end.
    bool answering_ = false;
    Clock::time_point answerDeadline_ = Clock::time_point::max();
    // The socket's send timeout as last set (the library sets the write bound on accept).
    Clock::duration sendTimeout_ = writeLimit_;
};

ConnectionServer::ConnectionServer(ConnectionLimits limits) : limits_(limits) {
    const std::size_t threads = limits_.connectionsInAll + 16;
    new_task_queue = [threads] { return new ConnectionThreads(threads); };
    const auto idle = std::chrono::duration_cast<std::chrono::seconds>(limits_.idleLimit).count();
    set_keep_alive_timeout(std::max<time_t>(1, static_cast<time_t>(idle)));
    set_keep_alive_max_count(limits_.requestsPerConnection);
    // The socket's own send timeout, set by the library on accept, bounds each write.
    set_write_timeout(limits_.writeLimit);
    // The library announces "Connection: close" on every refusal and on a request that
    // asks for it; the connection is then closed once the answer is written.
    set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
        Connection* connection = current_;
        if (connection && response.get_header_value("Connection") == "close") connection->closeAfterAnswer = true;
    });
}

ConnectionServer::~ConnectionServer() { shutDown(); }

void ConnectionServer::shutDown() {
#ifdef _WIN32
    // The accept loop waits on the listening socket without a time limit that matters:
    // once the socket is no longer the server's, a connection to it wakes the loop, which
    // then ends (the library's own stop() leaves the wait to its time limit there).
    if (const socket_t listening = takeListeningSocket(); listening != INVALID_SOCKET) {
        wakeAcceptLoop(listening);
        hooks::close(listening);
    }
#endif
    stop();
    const std::lock_guard<std::mutex> lock(mutex_);
    shuttingDown_ = true;
    for (Connection* connection : open_) {
        connection->closing = true;
        hooks::shutDown(connection->socket);
    }
}

thread_local ConnectionServer::Connection* ConnectionServer::current_ = nullptr;

bool ConnectionServer::requestRead() { return !current_ || setStage(*current_, Stage::Running); }

void ConnectionServer::requestApplied() {
    if (!current_) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    current_->applied = true;
}

bool ConnectionServer::admitSocket() {
    if (!current_) return false;
    const std::lock_guard<std::mutex> lock(mutex_);
    std::size_t ofPeer = 0;
    std::size_t inAll = 0;
    for (const Connection* c : open_) {
        if (c->stage != Stage::Socket || c->closing) continue;
        ++inAll;
        if (c->peer == current_->peer) ++ofPeer;
    }
    if (current_->closing || ofPeer >= limits_.socketsPerPeer || inAll >= limits_.socketsInAll) return false;
    current_->stage = Stage::Socket;
    return true;
}

bool ConnectionServer::beginAnswer(Connection& connection) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (connection.stage != Stage::Socket) {
        connection.stage = connection.applied ? Stage::Answering : Stage::Writing;
        connection.since = Clock::now();
    }
    return !connection.closing;
}

std::function<void()> ConnectionServer::socketOpened() {
    if (!current_) return [] {};
    return [this, connection = current_] {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (connection->closing) return;
        connection->closing = true;
        hooks::shutDown(connection->socket);
    };
}

bool ConnectionServer::closeOldestWaiting(const std::string& peer, Clock::duration atLeast) {
    const auto latest = Clock::now() - atLeast;
    Connection* oldest = nullptr;
    for (Connection* candidate : open_) {
        if (candidate->closing || candidate->stage >= Stage::Running || candidate->since > latest) continue;
        if (!peer.empty() && candidate->peer != peer) continue;
        // Idle connections go before those still sending a request, the longest waiting first.
        const auto rank = [](const Connection* c) { return std::make_pair(c->stage != Stage::Waiting, c->since); };
        if (!oldest || rank(candidate) < rank(oldest)) oldest = candidate;
    }
    if (!oldest) return false;
    oldest->closing = true;
    hooks::shutDown(oldest->socket);
    return true;
}

bool ConnectionServer::enter(Connection& connection) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (shuttingDown_) return false;
    const auto waiting = [&](const std::string& peer) {
        return static_cast<std::size_t>(std::count_if(open_.begin(), open_.end(), [&](const Connection* c) {
            return !c->closing && c->stage < Stage::Running && (peer.empty() || c->peer == peer);
        }));
    };
    if (waiting(connection.peer) >= limits_.waitingPerPeer) closeOldestWaiting(connection.peer, limits_.grace);
    if (waiting({}) >= limits_.waitingInAll) closeOldestWaiting({}, limits_.grace);
    // At the bound on all connections, the oldest waiting one goes whatever its age.
    const auto live = std::count_if(open_.begin(), open_.end(), [](const Connection* c) { return !c->closing; });
    if (static_cast<std::size_t>(live) >= limits_.connectionsInAll && !closeOldestWaiting({}, {})) return false;
    connection.since = Clock::now();
    open_.push_back(&connection);
    return true;
}

void ConnectionServer::leave(Connection& connection) {
    const std::lock_guard<std::mutex> lock(mutex_);
    open_.erase(std::remove(open_.begin(), open_.end(), &connection), open_.end());
}

bool ConnectionServer::setStage(Connection& connection, Stage stage) {
    const std::lock_guard<std::mutex> lock(mutex_);
    connection.stage = stage;
    if (stage == Stage::Reading) connection.applied = false;
    connection.since = Clock::now();
    return !connection.closing;
}

void ConnectionServer::serveConnection(socket_t socket) {
    Connection connection;
    connection.socket = socket;
    int port = 0;
    hooks::peerAddress(socket, connection.peer, port);
    if (enter(connection)) {
        Stream stream(*this, connection, limits_);
        current_ = &connection;
        try {
            serve(connection, stream, port);
        } catch (const std::system_error&) {
            // The library could not start a WebSocket's thread: the socket is closed
            // rather than the program ended.
        }
        current_ = nullptr;
        leave(connection);
    }
}

void ConnectionServer::serve(Connection& connection, Stream& stream, int remotePort) {
    std::string localAddress;
    int localPort = 0;
    hooks::localAddress(connection.socket, localAddress, localPort);
    for (std::size_t served = 1; served <= limits_.requestsPerConnection; ++served) {
        if (!stream.awaitRequest(limits_.idleLimit)) return;
        if (!setStage(connection, Stage::Reading)) return;
        stream.setDeadline(Clock::now() + limits_.requestDeadline);
        if (refuseHead(stream, stream.readHead())) return;
        const Served request = serveRequest(stream, connection.peer, remotePort, localAddress, localPort,
                                            served == limits_.requestsPerConnection);
        if (!request.answered || request.closed || request.upgraded || connection.closeAfterAnswer) return;
        if (!setStage(connection, Stage::Waiting)) return;
    }
}

bool ConnectionServer::refuseHead(Stream& stream, bool whole) {
    const std::string_view head = stream.buffered();
    if (!whole) {
        // Cut short by the peer or the deadline: the library answers what it can read.
        if (head.size() < kMaxHead) return false;
    }
    const std::size_t space = head.find(' ');
    const std::string method(head.substr(0, std::min(space, std::size_t{32})));
    int status = whole ? 0 : 431;
    // A method made of capitals that the library does not know: not one of ours either.
    static constexpr std::array<std::string_view, 10> kKnown = {"GET",     "HEAD",    "POST",  "PUT",   "DELETE",
                                                                "CONNECT", "OPTIONS", "TRACE", "PATCH", "PRI"};
    if (whole && space != std::string_view::npos && !method.empty() &&
        std::all_of(method.begin(), method.end(), [](char c) { return c >= 'A' && c <= 'Z'; }) &&
        std::find(kKnown.begin(), kKnown.end(), method) == kKnown.end())
        status = 405;
    if (status == 0 || !refusal_) return false;
    httplib::Response out;
    refusal_(status, method, out);
    std::string bytes = "HTTP/1.1 " + std::to_string(status) + " " + httplib::status_message(status) + "\r\n";
    for (const auto& [name, value] : out.headers) bytes += name + ": " + value + "\r\n";
    bytes += "Content-Length: " + std::to_string(out.body.size()) + "\r\nConnection: close\r\n\r\n" + out.body;
    stream.write(bytes.data(), bytes.size());
    return true;
}

}  // namespace quorvel::remote
