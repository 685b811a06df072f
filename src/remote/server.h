#pragma once
// Layer remote/: above the windows, beside the application object that it drives; no
// window includes it.
// The remote control's HTTP server: its own threads accept and read requests, the API
// admits them, and each command runs on the UI thread through the platform's one
// thread-safe call; the server thread waits for it and answers with the state it left.
// While no request comes the threads block in the system's wait for a connection:
// nothing is added to the UI thread's key poll.
#include <chrono>
#include <memory>

#include "remote/options.h"

namespace quorvel::app {
class App;
}

namespace quorvel::remote {

class Server {
public:
    // How long a request waits for the UI thread before it is answered 503 and dropped: a
    // deck's press is answered within 5 s whatever the program is doing.
    static constexpr std::chrono::milliseconds kUiWait{4000};

    // Binds the endpoint's address and starts listening. Throws quorvel::Error naming the
    // address and the reason when it cannot be bound. Port 0 takes any free port.
    // `uiWait`: as kUiWait, for tests that hold the UI thread on purpose.
    Server(app::App& app, const Endpoint& endpoint, std::chrono::milliseconds uiWait = kUiWait);
    // Stops listening and waits for the server's threads; runs on the UI thread.
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // The port listened on.
    int port() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quorvel::remote
