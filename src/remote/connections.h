#pragma once
// The remote control's HTTP connections: the library's server (cpp-httplib) with a
// connection loop of our own, hooked into it by remote/http_hooks.h. Each
// connection has a thread and one read buffer for its whole life, so requests written
// back to back (pipelined) are each read, answered in order and run once. A connection
// has a few seconds in all to send each request's head and body, however slowly its bytes
// come, and a few seconds of quiet between requests. An answer that closes the
// connection (every refusal does) closes it: nothing behind a refused request is read as
// a request. A request's head is read whole (at most kMaxHead bytes, else 431) before the
// library parses it, and an answer has a few seconds in all to be written, however slowly
// its peer reads. When one peer address, or all of them, hold too many connections that
// are waiting for a request, still sending one or still being written the answer to one
// that changed nothing, the one waiting longest is closed, so idle, slow and slowly reading
// connections never keep an ordinary request out, and an applied action is always answered.
#include "remote/http_hooks.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace quorvel::remote {

struct ConnectionLimits {
    // For the head and body of one request, from its first byte.
    std::chrono::milliseconds requestDeadline{5000};
    // Between two requests on a connection, and before the first.
    std::chrono::milliseconds idleLimit{5000};
    // For each write of an answer to a peer that does not read, and for one answer's
    // writes in all.
    std::chrono::milliseconds writeLimit{5000};
    // Connections that have not sent a whole request yet, or are being written the answer
    // to one that changed nothing: for one peer address, in all.
    // Beyond either bound, the one of them waiting longest is closed for a new one, if it
    // has had `grace` to send its request: a burst of new connections never closes the
    // newest of them, an ordinary request among them.
    std::size_t waitingPerPeer = 32;
    std::size_t waitingInAll = 128;
    std::chrono::milliseconds grace{250};
    // Every connection; beyond it a new one is closed at once when no waiting one can go.
    std::size_t connectionsInAll = 384;
    // Connections that have become WebSockets: for one peer address, in all.
    std::size_t socketsPerPeer = 100;
    std::size_t socketsInAll = 200;
    // Requests answered on one connection before it is closed.
    std::size_t requestsPerConnection = 1000;
};

class ConnectionServer final : public hooks::HookedServer {
public:
    explicit ConnectionServer(ConnectionLimits limits = {});
    ~ConnectionServer() override;

    // Stops listening and closes every connection; the threads end as their
    // connections do. Once called, no new connection is served.
    void shutDown();

    // The largest request head taken: beyond it the request is answered 431.
    static constexpr std::size_t kMaxHead = 16 * 1024;

    // The answer to a request refused before the library has read it (405 for a method
    // it does not know, 431 for a head over kMaxHead): set once, before listening.
    using Refusal = std::function<void(int status, const std::string& method, httplib::Response& out)>;
    void setRefusal(Refusal refusal) { refusal_ = std::move(refusal); }

    // On a connection's thread, from a handler: the request has been read whole, and the
    // connection is no longer one that may be closed to make room. False when it has been
    // chosen for closing already: the request must then not run.
    bool requestRead();
    // On a connection's thread, from a handler: the request changed the program. Its
    // answer is then never dropped to make room for others: the connection stays until
    // the answer is written or its write bound is up, so that a client never sees a lost
    // connection for an action that was applied (and applies it twice by sending it again).
    void requestApplied();
    // On a connection's thread, before it becomes a WebSocket: whether its peer, and the
    // server, may hold one more; when they may, the connection counts as a socket from now
    // on, so that a burst of upgrades never passes the bounds.
    bool admitSocket();
    // On a connection's thread, from a WebSocket's handler: the socket held open for
    // pushing, which the returned function closes from any thread (so that a read waiting
    // on it ends).
    std::function<void()> socketOpened();

    // From any thread: sends `message` on `socket` as one text message whose frame goes
    // to the peer in a single write (under Wine every write is a round trip to the Wine
    // server). False when it could not be sent.
    static bool sendMessage(httplib::ws::WebSocket& socket, const std::string& message) {
        return sendInOneWrite(socket, message);
    }

private:
    // Those before Running may be closed to make room: Writing is the answer to a request
    // that changed nothing, Answering that to one that changed the program.
    enum class Stage { Waiting, Reading, Writing, Running, Answering, Socket };
    struct Connection {
        socket_t socket = INVALID_SOCKET;
        std::string peer;
        Stage stage = Stage::Waiting;
        std::chrono::steady_clock::time_point since;
        bool closing = false;  // told to go: its socket is shut down
        bool closeAfterAnswer = false;
        bool applied = false;  // the request being served changed the program
    };
    class Stream;
    // The connection served by this thread.
    static thread_local Connection* current_;

    void serveConnection(socket_t socket) override;
    void serve(Connection& connection, Stream& stream, int remotePort);
    // Answers a request whose head the library would not read as it should; false when
    // the head may go to the library.
    bool refuseHead(Stream& stream, bool whole);

    // Registers a new connection, closing waiting ones to make room; false when there is
    // no room or the server is shutting down.
    bool enter(Connection& connection);
    void leave(Connection& connection);
    // False when the connection is being closed.
    bool setStage(Connection& connection, Stage stage);
    // The connection's answer is being written: unless its request changed the program,
    // it may be closed to make room (a socket stays one). False when the connection is
    // being closed.
    bool beginAnswer(Connection& connection);
    // Under the lock: shuts down the waiting connection of `peer` (any peer when empty)
    // that has waited longest, and at least `atLeast`, idle ones before those still
    // sending; false when there is none.
    bool closeOldestWaiting(const std::string& peer, std::chrono::steady_clock::duration atLeast);

    ConnectionLimits limits_;
    Refusal refusal_;
    mutable std::mutex mutex_;
    std::vector<Connection*> open_;
    bool shuttingDown_ = false;
};

}  // namespace quorvel::remote
