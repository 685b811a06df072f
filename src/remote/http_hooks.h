#pragma once
// Everything the remote control takes from cpp-httplib beyond its public API, in one
// place: the rest of src/remote uses these hooks and the library's public API only.
//
// Written against cpp-httplib 0.53.1 (CPPHTTPLIB_VERSION; http_hooks.cpp stops the build
// on any other version, so an upgrade starts by checking each point below). It relies on:
//  - Server::process_and_close_socket(socket_t), virtual and private: called on a thread
//    of the task queue for each accepted connection, which it must close. Replaced here by
//    HookedServer::serveConnection, so the program runs its own connection loop.
//  - Server::process_request(Stream&, ...), protected: reads, routes and answers one
//    request from the stream, and says whether the connection closed or became a
//    WebSocket (whose handler it runs before it returns).
//  - Server::svr_sock_, protected: the listening socket; taken from the accept loop on
//    Windows to wake and end it (HookedServer::takeListeningSocket).
//  - Stream: the library reads and writes a request only through the stream's virtual
//    functions; on a WebSocket upgrade it calls set_read_timeout once, before the socket's
//    handler runs; a read failure is told through the protected member error_.
//  - ws::WebSocket::send(text) writes the frame's head in one or more writes, then its
//    payload in one write that passes the message's own bytes (the string's data()), on the
//    sending thread: that write ends the frame (sendInOneWrite).
//  - detail:: socket functions (select_read/select_write, read_socket, send_socket,
//    set_socket_opt_time, is_socket_alive, the address getters, close_socket,
//    shutdown_socket, drain_and_close_socket) and detail::is_websocket_upgrade.
// tests/scenario/remote_test.cpp (ConnectionHooks) checks these behaviours on a real socket.
#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::remote::hooks {

// --- The library's socket functions ---

// Whether `socket` can be read (or written) within `limit`.
bool waitReadable(socket_t socket, std::chrono::milliseconds limit);
bool waitWritable(socket_t socket, std::chrono::milliseconds limit);
// One receive or send: the bytes moved, 0 when the peer has closed, below 0 on an error.
ssize_t receive(socket_t socket, char* into, std::size_t size);
ssize_t send(socket_t socket, const char* data, std::size_t size);
// The socket's own bound on each send.
void setSendTimeout(socket_t socket, std::chrono::microseconds timeout);
bool peerAlive(socket_t socket);
void peerAddress(socket_t socket, std::string& ip, int& port);
void localAddress(socket_t socket, std::string& ip, int& port);
// Ends both directions: a thread waiting on the socket wakes.
void shutDown(socket_t socket);
void close(socket_t socket);
// Reads what the peer still sends, briefly, then closes: the peer sees the answer before
// the reset.
void drainAndClose(socket_t socket);

bool isWebSocketUpgrade(const httplib::Request& request);

// --- A connection's bytes, as the library's request handling reads and writes them ---

class ConnectionBytes {
public:
    enum class Failure { None, Timeout, Closed, Read };

    virtual ~ConnectionBytes() = default;
    // Whether bytes of the request are held, read from the socket already.
    virtual bool holdsBytes() const = 0;
    virtual bool waitReadable() const = 0;
    virtual bool waitWritable() const = 0;
    virtual bool peerAlive() const = 0;
    // Up to `size` bytes; at most 0 when it failed, `failure()` saying why.
    virtual ssize_t read(char* out, std::size_t size) = 0;
    virtual Failure failure() const = 0;
    // All `size` bytes, or below 0.
    virtual ssize_t write(const char* data, std::size_t size) = 0;
    // The bytes held, which the library may take without a read.
    virtual std::string_view held() const = 0;
    virtual void consume(std::size_t size) = 0;
    // The connection has become a WebSocket: each read from now on waits up to `readWait`.
    virtual void becameSocket(std::chrono::microseconds readWait) = 0;
    // Since the request now served began.
    virtual std::chrono::milliseconds elapsed() const = 0;
    virtual socket_t socket() const = 0;
};

// A server of the library whose accepted connections are served by serveConnection, a
// request at a time through serveRequest, instead of by the library's own loop.
class HookedServer : public httplib::Server {
public:
    // From any thread: sends `message` on `socket` as one text message whose frame goes to
    // the peer in a single write of its connection's bytes (the library writes a frame's
    // head and payload apart). False when it could not be sent, or the library wrote the
    // frame otherwise than relied on (nothing of it is then sent).
    static bool sendInOneWrite(httplib::ws::WebSocket& socket, const std::string& message);

protected:
    // On a thread of the task queue, for each accepted connection; the socket is drained
    // and closed once it returns.
    virtual void serveConnection(socket_t socket) = 0;

    struct Served {
        bool answered = false;
        bool closed = false;    // the library closed the connection
        bool upgraded = false;  // it became a WebSocket, whose life has ended
    };
    // Reads, routes and answers one request from `bytes`; `last`: the connection closes
    // after it.
    Served serveRequest(ConnectionBytes& bytes, const std::string& peer, int peerPort, const std::string& local,
                        int localPort, bool last);

    // Takes the listening socket from the accept loop, which then ends once woken.
    socket_t takeListeningSocket();

private:
    bool process_and_close_socket(socket_t socket) final;
};

}  // namespace quorvel::remote::hooks
