#pragma once
// A connection to the remote control on loopback that writes bytes as they stand, for
// requests no HTTP client would send; `pump` runs the UI thread's posted work meanwhile.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>

namespace quorvel::testing {

// A connection to `port` that has sent nothing; its reads give up after 10 s.
// A receive buffer of `receiveBuffer` bytes, when given, makes a reader that holds up the
// server's writes soon.
inline int connectLoopback(int port, int receiveBuffer = 0) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer) ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{AF_INET, htons(static_cast<std::uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    const timeval limit{10, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return s;
}

// Writes `bytes` on a new connection (in writes of `piece` bytes when given), ends its
// sending side unless told not to, and returns what came back until the server closed it
// ("\x01" first if it kept it open past 10 s).
template <class Pump>
std::string exchangeRaw(int port, const std::string& bytes, bool endSending, Pump&& pump, std::size_t piece = 0) {
    auto back = std::async(std::launch::async, [&] {
        const int s = connectLoopback(port);
        // Each piece goes at once, not held back until the last one is acknowledged.
        const int noDelay = 1;
        if (piece) ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        const std::size_t step = piece ? piece : bytes.size() + 1;
        for (std::size_t at = 0; at < bytes.size(); at += step)
            (void)::send(s, bytes.data() + at, std::min(step, bytes.size() - at), MSG_NOSIGNAL);
        if (endSending) ::shutdown(s, SHUT_WR);
        std::string got;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::recv(s, buffer, sizeof buffer, 0)) > 0) got.append(buffer, static_cast<std::size_t>(n));
        ::close(s);
        return n == 0 ? got : "\x01" + got;
    });
    while (back.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) pump();
    return back.get();
}

}  // namespace quorvel::testing
