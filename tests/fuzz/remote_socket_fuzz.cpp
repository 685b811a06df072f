// What a WebSocket's peer sends, fed to the real server on loopback: the first byte picks
// the socket (its low bit: the overlay's or the state's) and the size of the writes the
// rest goes in (its other bits: 1 to 127 bytes, 0 for one write), so that a frame's head
// may arrive in pieces; the rest is the frames as they stand (masked or not, fragmented,
// control frames, any length, any close code). The server must open the socket, then
// send nothing but whole frames of its own (unmasked; text that is a JSON object, a ping,
// the pong of a ping, a close), nothing after a close, and end the connection within
// 10 s of the peer's end.
//
// Built as remote_frames (QUORVEL_FUZZ_FRAMES_IN_MEMORY), the same inputs go without
// sockets or threads to the library's request handling and WebSocket frame reader, whose
// handler reads as the server's sockets do, through a stream in memory that gives each
// read all it asks for as the server's own stream does: many times the inputs a second,
// with the server's stream, bounds, pushing thread and feed left out.
#include <httplib.h>

#include <nlohmann/json.hpp>

#include "app/app.h"
#include "fuzz_support.h"
#include "remote/api.h"
#include "remote/server.h"
#include "start/start_dialog.h"
#include "support/raw_http.h"

using namespace quorvel;

namespace {

struct Match {
    sim::SimPlatform platform{QUORVEL_SOURCE_DIR "/data/program"};
    app::App app{platform, day::Release::R099};
    std::unique_ptr<remote::Server> server;
    Match() {
        app.start();
        auto& dialog = app.startDialog();
        dialog.inputButtonClicked(dialog.Command1);
        fuzz::require(!platform.quitCalled() && app.tableLoaded(), "the program did not start on the shipped folder");
        server = std::make_unique<remote::Server>(app, remote::Endpoint{"127.0.0.1", 0, ""});
    }
};

// The frames the server sent after its 101, each whole and of its own kind.
void requireServerFrames(const std::string& back) {
    const std::size_t headEnd = back.find("\r\n\r\n");
    fuzz::require(back.rfind("HTTP/1.1 101 ", 0) == 0 && headEnd != std::string::npos,
                  "the socket was not opened: " + back.substr(0, 200));
    bool closed = false;
    for (std::size_t at = headEnd + 4; at < back.size();) {
        fuzz::require(!closed, "a frame after the server's close");
        fuzz::require(back.size() - at >= 2, "a frame's head cut short");
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(back[at + i]); };
        const unsigned opcode = byte(0) & 0x0F;
        fuzz::require((byte(0) & 0xF0) == 0x80, "a fragment or reserved bits from the server");
        fuzz::require((byte(1) & 0x80) == 0, "a masked frame from the server");
        std::size_t length = byte(1) & 0x7F;
        std::size_t head = 2;
        fuzz::require(length != 127, "a frame of 64 KB or more from the server");
        if (length == 126) {
            fuzz::require(back.size() - at >= 4, "a frame's length cut short");
            length = static_cast<std::size_t>(byte(2) << 8 | byte(3));
            head = 4;
        }
        fuzz::require(back.size() - at - head >= length, "a frame's payload cut short");
        const std::string payload = back.substr(at + head, length);
        switch (opcode) {
            case 0x1:
                fuzz::require(nlohmann::json::parse(payload, nullptr, false).is_object(), "text that is not JSON");
                break;
            case 0x8: closed = true; break;
            case 0x9:
            case 0xA: fuzz::require(length <= 125, "a control frame over 125 bytes"); break;
            default: fuzz::fail("a frame of opcode " + std::to_string(opcode) + " from the server");
        }
        at += head + length;
    }
}

#ifdef QUORVEL_FUZZ_FRAMES_IN_MEMORY
// The peer's bytes in, the server's bytes out.
struct MemoryStream final : httplib::Stream {
    std::string in, out;
    std::size_t at = 0;
    bool is_readable() const override { return at < in.size(); }
    bool wait_readable() const override { return is_readable(); }
    bool wait_writable() const override { return true; }
    ssize_t read(char* to, size_t size) override {
        const std::size_t taken = in.copy(to, size, at);
        return at += taken, static_cast<ssize_t>(taken);
    }
    ssize_t write(const char* from, size_t size) override { return out.append(from, size), static_cast<ssize_t>(size); }
    void get_remote_ip_and_port(std::string& ip, int& port) const override { ip = "127.0.0.1", port = 1; }
    void get_local_ip_and_port(std::string& ip, int& port) const override { ip = "127.0.0.1", port = 2; }
    socket_t socket() const override { return INVALID_SOCKET; }
    time_t duration() const override { return 0; }
};

// Both sockets read as the server's do, every message taken and dropped; no pings.
struct Frames final : httplib::Server {
    Frames() {
        set_websocket_ping_interval(0);
        for (const auto path : {remote::kOverlaySocket, remote::kEventsSocket})
            WebSocket(std::string(path), [](const httplib::Request&, httplib::ws::WebSocket& socket) {
                for (std::string message; socket.read(message) != httplib::ws::Fail;) {
                }
            });
    }
    using httplib::Server::process_request;
};
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
#ifdef QUORVEL_FUZZ_FRAMES_IN_MEMORY
    static Frames frames;
    if (size == 0) return 0;
    MemoryStream stream;
    stream.in = std::string(data[0] & 1 ? "GET /overlay/socket" : "GET /api/events") +
                " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n" +
                std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
    bool closed = false;
    frames.process_request(stream, "127.0.0.1", 1, "127.0.0.1", 2, false, closed, nullptr);
    requireServerFrames(stream.out);
    return 0;
#else
    static Match match;
    if (size == 0) return 0;
    const std::string path = data[0] & 1 ? "/overlay/socket" : "/api/events";
    const std::string upgrade = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                                std::to_string(match.server->port()) +
                                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
    const std::string frames(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string back = testing::exchangeRaw(
        match.server->port(), upgrade + frames, true,
        [] {
            match.platform.waitForPosted(std::chrono::milliseconds(1));
            match.platform.runPosted();
        },
        data[0] >> 1 ? static_cast<std::size_t>(data[0] >> 1) : 0);
    fuzz::require(back.rfind('\x01', 0) != 0, "the server did not end the connection within 10 s");
    requireServerFrames(back);
    return 0;
#endif
}
