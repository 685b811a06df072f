// What a WebSocket's peer sends, fed to the real server on loopback: the first byte picks
// the socket (its low bit: the overlay's or the state's) and the size of the writes the
// rest goes in (its other bits: 1 to 127 bytes, 0 for one write), so that a frame's head
// may arrive in pieces; the rest is the frames as they stand (masked or not, fragmented,
// control frames, any length, any close code). The server must open the socket, then
// send nothing but whole frames of its own (unmasked; text that is a JSON object, a ping,
// the pong of a ping, a close), nothing after a close, and end the connection within
// 10 s of the peer's end.
#include <nlohmann/json.hpp>

#include "app/app.h"
#include "fuzz_support.h"
#include "remote/server.h"
#include "start/start_dialog.h"
#include "support/raw_http.h"

using namespace quorvel;

namespace {

struct Match {
    sim::SimPlatform platform{QUORVEL_SOURCE_DIR "/data/program"};
    app::App app{platform, app::Release::R099};
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
}
