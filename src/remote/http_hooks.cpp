#include "remote/http_hooks.h"

#include <algorithm>

namespace quorvel::remote::hooks {

// The hooks rely on this version's internals (see http_hooks.h): another one is checked
// point by point before this line moves.
static_assert(std::string_view(CPPHTTPLIB_VERSION) == "0.53.1",
              "cpp-httplib changed: check what src/remote/http_hooks.h relies on");

namespace {

// Whole seconds and microseconds, as the library's calls take them.
struct Split {
    time_t sec;
    time_t usec;
};
Split split(std::chrono::microseconds duration) {
    const long long us = std::max<long long>(0, duration.count());
    return {static_cast<time_t>(us / 1000000), static_cast<time_t>(us % 1000000)};
}

// While this thread sends a message (sendInOneWrite): where its payload starts, and the
// bytes written before it, held to go out with it.
struct HeldFrame {
    const char* payload = nullptr;
    std::string bytes;
};
thread_local HeldFrame held;

// The library's stream over the connection's bytes, for one request.
class BytesStream final : public httplib::Stream {
public:
    explicit BytesStream(ConnectionBytes& bytes) : bytes_(bytes) {}

    bool is_readable() const override { return bytes_.holdsBytes(); }
    bool wait_readable() const override { return bytes_.waitReadable(); }
    bool wait_writable() const override { return bytes_.waitWritable(); }
    bool is_peer_alive() const override { return bytes_.peerAlive(); }

    ssize_t read(char* out, size_t size) override {
        const ssize_t got = bytes_.read(out, size);
        if (got <= 0) {
            switch (bytes_.failure()) {
                case ConnectionBytes::Failure::Timeout: error_ = httplib::Error::Timeout; break;
                case ConnectionBytes::Failure::Closed: error_ = httplib::Error::ConnectionClosed; break;
                case ConnectionBytes::Failure::Read: error_ = httplib::Error::Read; break;
                case ConnectionBytes::Failure::None: break;
            }
        }
        return got;
    }

    // While this thread sends a message, the frame's head is held and goes out with its
    // payload in one write.
    ssize_t write(const char* data, size_t size) override {
        HeldFrame& frame = held;
        if (!frame.payload) return bytes_.write(data, size);
        frame.bytes.append(data, size);
        if (data != frame.payload) return static_cast<ssize_t>(size);
        frame.payload = nullptr;
        const bool sent = bytes_.write(frame.bytes.data(), frame.bytes.size()) >= 0;
        frame.bytes.clear();
        return sent ? static_cast<ssize_t>(size) : -1;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { peerAddress(bytes_.socket(), ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { localAddress(bytes_.socket(), ip, port); }
    socket_t socket() const override { return bytes_.socket(); }
    time_t duration() const override { return static_cast<time_t>(bytes_.elapsed().count()); }

    // Asked for by the library when the connection becomes a WebSocket.
    void set_read_timeout(time_t sec, time_t usec) override {
        bytes_.becameSocket(std::chrono::seconds(sec) + std::chrono::microseconds(usec));
    }

    const char* buffered_data(size_t& size) const override {
        const std::string_view bytes = bytes_.held();
        size = bytes.size();
        return size ? bytes.data() : nullptr;
    }
    void consume_buffered(size_t size) override { bytes_.consume(size); }

private:
    ConnectionBytes& bytes_;
};

}  // namespace

bool waitReadable(socket_t socket, std::chrono::milliseconds limit) {
    const auto [sec, usec] = split(limit);
    return httplib::detail::select_read(socket, sec, usec) > 0;
}

bool waitWritable(socket_t socket, std::chrono::milliseconds limit) {
    const auto [sec, usec] = split(limit);
    return httplib::detail::select_write(socket, sec, usec) > 0;
}

ssize_t receive(socket_t socket, char* into, std::size_t size) {
    return httplib::detail::read_socket(socket, into, size, 0);
}

ssize_t send(socket_t socket, const char* data, std::size_t size) {
    return httplib::detail::send_socket(socket, data, size, 0);
}

void setSendTimeout(socket_t socket, std::chrono::microseconds timeout) {
    const auto [sec, usec] = split(timeout);
    httplib::detail::set_socket_opt_time(socket, SOL_SOCKET, SO_SNDTIMEO, sec, usec);
}

bool peerAlive(socket_t socket) { return httplib::detail::is_socket_alive(socket); }

void peerAddress(socket_t socket, std::string& ip, int& port) {
    httplib::detail::get_remote_ip_and_port(socket, ip, port);
}

void localAddress(socket_t socket, std::string& ip, int& port) {
    httplib::detail::get_local_ip_and_port(socket, ip, port);
}

void shutDown(socket_t socket) { httplib::detail::shutdown_socket(socket); }

void close(socket_t socket) { httplib::detail::close_socket(socket); }

void drainAndClose(socket_t socket) { httplib::detail::drain_and_close_socket(socket); }

bool isWebSocketUpgrade(const httplib::Request& request) { return httplib::detail::is_websocket_upgrade(request); }

bool HookedServer::sendInOneWrite(httplib::ws::WebSocket& socket, const std::string& message) {
    held.payload = message.data();
    const bool sent = socket.send(message);
    // The library wrote the frame otherwise than relied on (or not at all): what is held
    // is not a whole frame, and sending it now could split another thread's frame.
    const bool whole = held.bytes.empty() && !held.payload;
    held.payload = nullptr;
    held.bytes.clear();
    return sent && whole;
}

HookedServer::Served HookedServer::serveRequest(ConnectionBytes& bytes, const std::string& peer, int peerPort,
                                                const std::string& local, int localPort, bool last) {
    BytesStream stream(bytes);
    Served served;
    served.answered =
        process_request(stream, peer, peerPort, local, localPort, last, served.closed, nullptr, &served.upgraded);
    return served;
}

socket_t HookedServer::takeListeningSocket() { return svr_sock_.exchange(INVALID_SOCKET); }

bool HookedServer::process_and_close_socket(socket_t socket) {
    serveConnection(socket);
    drainAndClose(socket);
    return true;
}

}  // namespace quorvel::remote::hooks
