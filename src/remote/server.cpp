#include "remote/server.h"

#include <cerrno>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <variant>

#include "app/app.h"
#include "remote/api.h"
#include "remote/connections.h"
#include "remote/table_feed.h"
#include "ui/error.h"
#include "ui/numtext.h"

namespace quorvel::remote {
namespace {

// The shortest time between two messages to a socket: a display frame.
constexpr auto kFrame = std::chrono::milliseconds(16);

// The last socket error of this thread.
int lastSocketError() {
#ifdef _WIN32
    return WSAGetLastError();
#else
    return errno;
#endif
}

// The reason a bind failed, in words.
std::string bindFailure(int code) {
#ifdef _WIN32
    switch (code) {
        case WSAEADDRINUSE: return "the port is already in use by another program";
        case WSAEACCES: return "access to the port is denied";
        case WSAEADDRNOTAVAIL: return "the address is not one of this computer's";
        default: return "socket error " + std::to_string(code);
    }
#else
    switch (code) {
        case EADDRINUSE: return "the port is already in use by another program";
        case EACCES: return "access to the port is denied";
        case EADDRNOTAVAIL: return "the address is not one of this computer's";
        default: return std::strerror(code) + std::string(" (error ") + std::to_string(code) + ")";
    }
#endif
}

}  // namespace

// A command handed to the UI thread, and its answer. The UI thread takes it only while
// the request still waits, so a request answered 503 never changes anything afterwards.
struct Handover {
    enum class Stage { Waiting, Running, Done, Dropped };
    Stage stage = Stage::Waiting;
    Response response;
};

// What the work posted to the UI thread shares with the server: it may still be queued
// when the server has gone, and then finds `closing` set and does nothing.
struct Shared {
    explicit Shared(app::App& a) : app(a) {}
    app::App& app;
    // Guards every handover's stage and `closing`.
    std::mutex mutex;
    std::condition_variable changed;
    bool closing = false;
};

struct Server::Impl {
    Impl(app::App& app, const Endpoint& endpoint)
        : shared(std::make_shared<Shared>(app)), api(endpoint), feed(std::make_unique<TableFeed>(app)) {}

    void serve(const httplib::Request& in, httplib::Response& out);
    Response runOnUiThread(const Command& command);
    void push(FeedStore::Kind kind, httplib::ws::WebSocket& socket);

    std::shared_ptr<Shared> shared;
    Api api;
    // Made and destroyed on the UI thread; the sockets' threads read its store.
    std::unique_ptr<TableFeed> feed;
    std::shared_ptr<FeedStore> store = feed->store();
    ConnectionServer http;
    std::thread thread;
    int port = 0;
    int bindError = 0;
    std::chrono::milliseconds uiWait = Server::kUiWait;
};

Response Server::Impl::runOnUiThread(const Command& command) {
    auto handover = std::make_shared<Handover>();
    shared->app.platform().postToUiThread([shared = shared, handover, command] {
        {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->closing || handover->stage != Handover::Stage::Waiting) return;
            handover->stage = Handover::Stage::Running;
        }
        app::App& app = shared->app;
        // An action that fails ends the program, as it would from the keyboard.
        Response response = Api::refusal(503, "the program is ending");
        app.runtime().dispatch([&] { response = Api::run(app, command); });
        {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            handover->response = std::move(response);
            handover->stage = Handover::Stage::Done;
        }
        shared->changed.notify_all();
    });

    std::unique_lock<std::mutex> lock(shared->mutex);
    const auto deadline = std::chrono::steady_clock::now() + uiWait;
    shared->changed.wait_until(lock, deadline,
                               [&] { return handover->stage == Handover::Stage::Done || shared->closing; });
    // Once running, the action completes: wait for it whatever the time.
    shared->changed.wait(lock, [&] { return handover->stage != Handover::Stage::Running; });
    if (handover->stage == Handover::Stage::Done) {
        // An action that ran is answered whatever comes: the state and the roster only read.
        if (command.kind != Command::Kind::State && command.kind != Command::Kind::RosterList) http.requestApplied();
        return handover->response;
    }
    handover->stage = Handover::Stage::Dropped;
    if (shared->closing) return Api::refusal(503, "the program is closing the remote control");
    return Api::refusal(503, "the program did not take the request within " +
                                 ui::formatNumber(static_cast<double>(uiWait.count()) / 1000) + " s (" +
                                 (shared->app.runtime().modalOpen() ? "a dialog of the program is open"
                                                                    : "the program is busy") +
                                 "); it was not applied: send it again");
}

namespace {

// The request as the API reads it; the body only once it has been read.
Request requestOf(const httplib::Request& in) {
    Request request;
    request.method = in.method;
    request.path = in.path;
    request.target = in.target;
    request.host = in.get_header_value("Host");
    request.origin = in.get_header_value("Origin");
    request.contentType = in.get_header_value("Content-Type");
    request.authorization = in.get_header_value("Authorization");
    if (in.has_header("Content-Length") && !in.has_header("Transfer-Encoding"))
        request.contentLength = static_cast<std::size_t>(in.get_header_value_u64("Content-Length"));
    return request;
}

// A Content-Length that is not a number of bytes, which the library passes over on a
// request that takes no body: the body's end, and so the next request's start, would be
// unknown. Refused, and the connection closed with the refusal.
std::optional<Response> badLength(const httplib::Request& in) {
    if (!in.has_header("Content-Length")) return std::nullopt;
    const std::string length = in.get_header_value("Content-Length");
    if (length.size() <= 19 && ui::parseSize(length)) return std::nullopt;
    return Api::refusal(400, "Content-Length: \"" + length.substr(0, 40) + "\" is not a number of bytes");
}

// On every answer, the library's own refusals included: nothing is cached, and no page of
// another site may show the control page in a frame and lead a click onto its buttons.
httplib::Headers defaultHeaders() {
    return {{"Cache-Control", "no-store"},
            {"X-Frame-Options", "DENY"},
            {"Content-Security-Policy", "frame-ancestors 'none'"},
            {"X-Content-Type-Options", "nosniff"}};
}

// A method as sent, quoted for a message: a few dozen capitals at most.
std::string excerptOf(const std::string& method) { return "\"" + method.substr(0, 32) + "\""; }

void answer(Response response, httplib::Response& out) {
    out.status = response.status;
    // The API's own headers take the place of the defaults of the same name.
    for (const auto& [name, value] : response.headers) out.headers.erase(name);
    for (const auto& [name, value] : response.headers) out.set_header(name, value);
    out.set_content(std::move(response.body), response.contentType);
}

}  // namespace

void Server::Impl::serve(const httplib::Request& in, httplib::Response& out) {
    // A connection chosen for closing while its request was read: the request does not
    // run, so a client that sends it again after the reset has it applied once.
    if (!http.requestRead()) {
        answer(Api::refusal(503, "the connection was closed to make room for others; send the request again"), out);
        return;
    }
    Request request = requestOf(in);
    request.body = in.body;
    // The pre-routing handler has screened the request's head already.
    auto admitted = api.admitScreened(request);
    answer(std::holds_alternative<Response>(admitted) ? std::get<Response>(std::move(admitted))
                                                      : runOnUiThread(std::get<Command>(admitted)),
           out);
}

// A WebSocket's life: the connection's thread reads what the peer sends (nothing but
// control frames, which the library answers), while a thread of its own sends the latest
// description whenever it changes, at most once a display frame: a peer that reads slowly
// gets the latest state when it reads again, and one that stops reading is closed once a
// send has waited the write bound. When the peer goes, the sender is woken at once, so a
// closed socket's threads end with it.
void Server::Impl::push(FeedStore::Kind kind, httplib::ws::WebSocket& socket) {
    const auto close = http.socketOpened();
    FeedStore::Reader reader(store, kind);
    std::atomic<bool> done{false};
    const auto send = [&] {
        auto sent = std::chrono::steady_clock::now() - kFrame;
        while (!reader.ended()) {
            // Woken by a change or the socket's end, never by a clock.
            if (!reader.wait(std::chrono::hours(24))) continue;
            std::this_thread::sleep_until(sent + kFrame);
            const FeedStore::Message message = reader.take();
            if (message && !ConnectionServer::sendMessage(socket, *message)) break;
            sent = std::chrono::steady_clock::now();
        }
        if (!done.exchange(true)) close();
    };
    std::thread sender;
    try {
        sender = std::thread(send);
    } catch (const std::system_error&) {
        return;  // no thread to send with: the socket closes at once
    }
    std::string incoming;
    try {
        while (socket.read(incoming) != httplib::ws::Fail) {
        }
    } catch (const std::exception&) {
        // A message the library could not take in: the socket ends like any failed read.
    }
    done = true;
    reader.stop();
    sender.join();
}

Server::Server(app::App& app, const Endpoint& endpoint, std::chrono::milliseconds uiWait)
    : impl_(std::make_unique<Impl>(app, endpoint)) {
    impl_->uiWait = uiWait;
    Impl& impl = *impl_;
    httplib::Server& http = impl.http;
    // A request that can be refused from its head alone is refused before its body is
    // read: a body that is too large or of the wrong type is never taken in. A WebSocket
    // counts against the bounds on sockets from the moment it is admitted.
    const auto screened = [&impl](const httplib::Request& in) {
        auto refused = badLength(in);
        return refused ? refused : impl.api.screen(requestOf(in));
    };
    http.set_pre_routing_handler([&impl, screened](const httplib::Request& in, httplib::Response& out) {
        auto refused = screened(in);
        if (!refused && hooks::isWebSocketUpgrade(in) && !impl.http.admitSocket())
            refused = Api::refusal(503, "this address holds as many sockets as it may; close one first");
        if (!refused) return httplib::Server::HandlerResponse::Unhandled;
        answer(*std::move(refused), out);
        return httplib::Server::HandlerResponse::Handled;
    });
    // A client that waits to be told to send its body is told its refusal instead, when
    // the head alone refuses it.
    http.set_expect_100_continue_handler([screened](const httplib::Request& in, httplib::Response& out) {
        auto refused = screened(in);
        if (!refused) return 100;
        const int status = refused->status;
        answer(*std::move(refused), out);
        return status;
    });
    // Requests refused before the library reads them: a method it does not know, a head
    // too large.
    impl.http.setRefusal([](int status, const std::string& method, httplib::Response& out) {
        out.headers = defaultHeaders();
        if (status == 405) {
            Response response = Api::refusal(405, excerptOf(method) + ": only GET and POST are answered here");
            response.headers.emplace_back("Allow", "GET, POST");
            answer(std::move(response), out);
        } else {
            answer(Api::refusal(status, "the request's head is over " + std::to_string(ConnectionServer::kMaxHead) +
                                            " bytes"),
                   out);
        }
    });
    const auto handler = [&impl](const httplib::Request& in, httplib::Response& out) { impl.serve(in, out); };
    // Every path and method goes to the API, which answers unknown ones itself.
    const char* const everything = ".*";
    http.Get(everything, handler);
    http.Post(everything, handler);
    http.Put(everything, handler);
    http.Patch(everything, handler);
    http.Delete(everything, handler);
    http.Options(everything, handler);
    http.WebSocket(std::string(kOverlaySocket), [&impl](const httplib::Request&, httplib::ws::WebSocket& socket) {
        impl.push(FeedStore::Kind::Table, socket);
    });
    http.WebSocket(std::string(kEventsSocket), [&impl](const httplib::Request&, httplib::ws::WebSocket& socket) {
        impl.push(FeedStore::Kind::State, socket);
    });
    http.set_payload_max_length(kMaxBody);
    http.set_default_headers(defaultHeaders());
    // Each answer is one small write: sent at once rather than held back for more.
    http.set_tcp_nodelay(true);
    // Answers that the library makes itself (a body too large, a request it cannot read)
    // are JSON like every other refusal.
    http.set_error_handler([](const httplib::Request& in, httplib::Response& out) {
        if (!out.body.empty()) return;  // the API's own refusal
        Response response = out.status == 413
                                ? Api::tooLarge(static_cast<std::size_t>(
                                      ui::parseSize(in.get_header_value("Content-Length")).value_or(0)))
                                : Api::refusal(out.status, "the request cannot be read");
        out.set_content(response.body, response.contentType);
    });
    http.set_error_logger([&impl](const httplib::Error& error, const httplib::Request*) {
        if (error == httplib::Error::BindIPAddress || error == httplib::Error::Listen)
            impl.bindError = lastSocketError();
    });
    // The library's default shares the port (SO_REUSEPORT; SO_REUSEADDR on Windows, where
    // it lets a second program take a port in use): a second copy of the program would
    // then take some of the requests meant for the first, silently. The port is ours
    // alone, and a second bind fails with "in use".
    http.set_socket_options([](socket_t sock) {
#ifdef _WIN32
        httplib::set_socket_opt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1);
#else
        httplib::set_socket_opt(sock, SOL_SOCKET, SO_REUSEADDR, 1);
#endif
    });
#ifdef _WIN32
    // The accept loop waits for a connection an hour at a time (the library's loop there
    // always waits in steps, by default of a millisecond): a server nobody talks to never
    // wakes. Shutting down wakes it at once (ConnectionServer::shutDown).
    http.set_idle_interval(std::chrono::hours(1));
#endif

    const std::string where = endpoint.address + ":" + std::to_string(endpoint.port);
    if (endpoint.port == 0) {
        impl.port = http.bind_to_any_port(endpoint.address);
    } else if (http.bind_to_port(endpoint.address, endpoint.port)) {
        impl.port = endpoint.port;
    } else {
        impl.port = -1;
    }
    if (impl.port <= 0) {
        throw Error("The remote control cannot listen on " + where + ": " +
                    (impl.bindError ? bindFailure(impl.bindError) : std::string("the address cannot be bound")));
    }
    // The API checks Host against the port actually bound.
    Endpoint bound = endpoint;
    bound.port = impl.port;
    impl.api = Api(bound, app.platform().programFolder(), app.features().hasSchedule());
    impl.thread = std::thread([&http] { http.listen_after_bind(); });
    http.wait_until_ready();
}

Server::~Server() {
    {
        const std::lock_guard<std::mutex> lock(impl_->shared->mutex);
        impl_->shared->closing = true;
    }
    impl_->shared->changed.notify_all();
    // The sockets' readers end at once, then every connection.
    impl_->feed.reset();
    impl_->http.shutDown();
    if (impl_->thread.joinable()) impl_->thread.join();
}

int Server::port() const { return impl_->port; }

}  // namespace quorvel::remote
