#pragma once
// The remote control's HTTP connections: the library's server (cpp-httplib) with a
// connection loop of our own, which the library lets a server class replace. Each
// connection has a thread and one read buffer for its whole life, so requests written
// back to back (pipelined) are each read, answered in order and run once. A connection
// has a few seconds in all to send each request's head and body, however slowly its bytes
// come, and a few seconds of quiet between requests. An answer that closes the
// connection (every refusal does) closes it: nothing behind a refused request is read as
// a request. When one peer address, or all of them, hold too many connections that have
// not yet sent a whole request, the one waiting longest is closed, so idle and slow
// connections never keep an ordinary request out.
#include <httplib.h>

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
    // For each write of an answer to a peer that does not read.
    std::chrono::milliseconds writeLimit{5000};
    // Connections that have not sent a whole request yet: for one peer address, in all.
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

class ConnectionServer final : public httplib::Server {
public:
    explicit ConnectionServer(ConnectionLimits limits = {});
    ~ConnectionServer() override;

    // Stops listening and closes every connection; the threads end as their
    // connections do. Once called, no new connection is served.
    void shutDown();

    // On a connection's thread, from a handler: the request has been read whole, and the
    // connection is no longer one that may be closed to make room.
    void requestRead();
    // On a connection's thread, before it becomes a WebSocket: whether its peer, and the
    // server, may hold one more.
    bool socketRoom() const;
    // On a connection's thread, from a WebSocket's handler: the connection is now a socket
    // held open for pushing, which the returned function closes from any thread (so that
    // a read waiting on it ends).
    std::function<void()> socketOpened();

    // From any thread: sends `message` on `socket` as one text message whose frame goes
    // to the peer in a single write (the library writes a frame's head and payload apart,
    // and under Wine every write is a round trip to the Wine server). False when it could
    // not be sent.
    static bool sendMessage(httplib::ws::WebSocket& socket, const std::string& message);

private:
    enum class Stage { Waiting, Reading, Running, Socket };
    struct Connection {
        socket_t socket = INVALID_SOCKET;
        std::string peer;
        Stage stage = Stage::Waiting;
        std::chrono::steady_clock::time_point since;
        bool closing = false;  // told to go: its socket is shut down
        bool closeAfterAnswer = false;
    };
    class Stream;
    // The connection served by this thread.
    static thread_local Connection* current_;
    // While this thread sends a message (sendMessage): where its payload starts, and the
    // bytes written before it, held to go out with it.
    struct Held {
        const char* payload = nullptr;
        std::string bytes;
    };
    static thread_local Held held_;

    bool process_and_close_socket(socket_t socket) override;
    void serve(Connection& connection, Stream& stream, int remotePort);

    // Registers a new connection, closing waiting ones to make room; false when there is
    // no room or the server is shutting down.
    bool enter(Connection& connection);
    void leave(Connection& connection);
    // False when the connection is being closed.
    bool setStage(Connection& connection, Stage stage);
    // Under the lock: shuts down the waiting connection of `peer` (any peer when empty)
    // that has waited longest, and at least `atLeast`, idle ones before those still
    // sending; false when there is none.
    bool closeOldestWaiting(const std::string& peer, std::chrono::steady_clock::duration atLeast);

    ConnectionLimits limits_;
    mutable std::mutex mutex_;
    std::vector<Connection*> open_;
    bool shuttingDown_ = false;
};

}  // namespace quorvel::remote
