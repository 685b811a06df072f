// The remote control's request handling, without sockets: the first byte picks the method
// and the type (G: GET, P: POST as JSON, T: POST as plain text, U: PUT as JSON), the
// bytes up to the first line end are the target (the path, and a query after "?"), the
// rest is the body. The program runs
// once on the shipped program folder with the table shown, and every input goes through
// the admission the server thread makes and, when admitted, the action the UI thread runs.
// Every answer must be a JSON object (the control page aside), a refusal must carry its
// error and change nothing, and no action may end the program. The path is also read as a
// command-line option, which must give an endpoint or a quorvel::Error.
//
// An input that begins with R goes as it stands ("$HOST" the listening address) over one
// connection to the real server, which must close it within 10 s having sent back whole
// answers framed by their lengths, none after one that said it closes the connection.
// Each of those costs a connection and about a hundred inputs of the others: with
// QUORVEL_FUZZ_NO_SOCKET set they are passed over (and kept out of the corpus), for long
// runs of the handling itself; remote_socket and remote_frames fuzz the connections.
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <variant>

#include "app/app.h"
#include "fuzz_support.h"
#include "remote/api.h"
#include "remote/options.h"
#include "remote/server.h"
#include "support/raw_http.h"
#include "start/start_dialog.h"

using namespace quorvel;

namespace {

struct Match {
    sim::SimPlatform platform{QUORVEL_SOURCE_DIR "/data/program"};
    app::App app{platform, day::Release::R099};
    remote::Api api{remote::Endpoint{"127.0.0.1", 8421, "t"}, QUORVEL_SOURCE_DIR "/data/program"};
    Match() {
        app.start();
        auto& dialog = app.startDialog();
        dialog.inputButtonClicked(dialog.Command1);
        fuzz::require(!platform.quitCalled() && app.tableLoaded(), "the program did not start on the shipped folder");
    }
};

// Every answer whole and framed by its Content-Length; nothing after one that closes. The
// answer to a HEAD request gives the length of the body it leaves out, so where the input
// holds a HEAD an answer may end at its head when the next answer or the end follows.
// After a WebSocket's opening (101) come its frames, not answers.
void requireFramedAnswers(const std::string& back, bool headSent) {
    for (std::size_t at = 0; at < back.size();) {
        const std::size_t headEnd = back.find("\r\n\r\n", at);
        const std::string head = back.substr(at, headEnd == std::string::npos ? std::string::npos : headEnd - at);
        if (head.rfind("HTTP/1.1 101 ", 0) == 0) return;  // a WebSocket's frames follow
        const std::size_t length = head.find("\r\nContent-Length: ");
        fuzz::require(head.rfind("HTTP/1.1 ", 0) == 0 && length != std::string::npos, "not a whole answer: " + head);
        at = headEnd + 4;
        const bool bodiless = headSent && (at == back.size() || back.compare(at, 9, "HTTP/1.1 ") == 0);
        if (!bodiless) at += std::stoul(head.substr(length + 18));
        fuzz::require(at <= back.size(), "an answer's body cut short");
        fuzz::require(at == back.size() || head.find("Connection: close") == std::string::npos,
                      "an answer after one that closes the connection");
    }
}

void requireAnswer(const remote::Request& request, const remote::Response& response) {
    if (response.contentType.rfind("image/", 0) == 0) {
        // A picture: only a GIF or JPEG file below the program folder's pic folder.
        fuzz::require(response.status == 200 && request.path.rfind("/pic/", 0) == 0 &&
                          request.path.find("..") == std::string::npos &&
                          (response.body.rfind("GIF8", 0) == 0 || response.body.rfind("\xFF\xD8\xFF", 0) == 0),
                      "a picture served for " + request.path);
        return;
    }
    if (response.contentType.rfind("text/plain", 0) == 0) {
        // The overlay's refusal of a scale it cannot draw at: one line for OBS's preview.
        fuzz::require(response.status == 400 && request.path == "/overlay" && response.body.rfind("scale: ", 0) == 0,
                      "a plain-text answer for " + request.path + ": " + response.body);
        return;
    }
    if (response.contentType != "application/json") {
        fuzz::require(response.status == 200 &&
                          (response.body == remote::kControlPage || response.body == remote::kOverlayPage ||
                           response.body == remote::kScenePage),
                      "an answer that is not JSON");
        return;
    }
    const auto body = nlohmann::json::parse(response.body, nullptr, false);
    fuzz::require(body.is_object(), "an answer that is not a JSON object: " + response.body);
    if (response.status == 200) {
        // The roster and the schedule answer with themselves; every other action with the state.
        fuzz::require(request.path == "/api/schedule" ? body.contains("matches") : body.contains("players"),
                      "a 200 without what was asked: " + response.body);
        return;
    }
    fuzz::require(response.status >= 400 && response.status < 500, "status " + std::to_string(response.status));
    fuzz::require(body.contains("error") && body["error"].is_string() && !body["error"].get<std::string>().empty(),
                  "a refusal without its error: " + response.body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Match match;
    if (size == 0) return 0;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes[0] == 'R') {
        static const bool noSocket = std::getenv("QUORVEL_FUZZ_NO_SOCKET") != nullptr;
        if (noSocket) return -1;
        static remote::Server server(match.app, remote::Endpoint{"127.0.0.1", 0, ""});
        const std::string host = "127.0.0.1:" + std::to_string(server.port());
        for (auto at = bytes.find("$HOST"); at != std::string::npos; at = bytes.find("$HOST", at + host.size()))
            bytes.replace(at, 5, host);
        const std::string back = testing::exchangeRaw(server.port(), bytes.substr(1), true, [] {
            match.platform.waitForPosted(std::chrono::milliseconds(2));
            match.platform.runPosted();
        });
        fuzz::require(back.rfind('\x01', 0) != 0, "the server did not end the connection within 10 s");
        requireFramedAnswers(back, bytes.find("HEAD") != std::string::npos);
        return 0;
    }
    remote::Request request;
    switch (bytes[0]) {
        case 'G': request.method = "GET"; break;
        case 'T':
            request.method = "POST";
            request.contentType = "text/plain";
            break;
        case 'U':
            request.method = "PUT";
            request.contentType = "application/json";
            break;
        default:
            request.method = "POST";
            request.contentType = "application/json; charset=utf-8";
            break;
    }
    const std::size_t line = bytes.find('\n', 1);
    // The line is the target as sent; the path is its part before the query.
    request.target = bytes.substr(1, line == std::string::npos ? std::string::npos : line - 1);
    request.path = request.target.substr(0, request.target.find('?'));
    if (line != std::string::npos) request.body = bytes.substr(line + 1);
    request.host = "127.0.0.1:8421";
    request.authorization = "Bearer t";

    try {
        (void)remote::parseOptions({request.path});
    } catch (const Error&) {
    }

    const std::string before = remote::Api::stateJson(match.app);
    auto admitted = match.api.admit(request);
    if (auto* refused = std::get_if<remote::Response>(&admitted)) {
        requireAnswer(request, *refused);
        fuzz::require(remote::Api::stateJson(match.app) == before, "an admission changed the state");
        return 0;
    }
    remote::Response response;
    const auto& command = std::get<remote::Command>(admitted);
    match.app.runtime().dispatch([&] { response = remote::Api::run(match.app, command); });
    if (match.app.runtime().ended()) {
        const auto& boxes = match.platform.messageBoxes();
        fuzz::fail("an action ended the program: " + (boxes.empty() ? std::string() : boxes.back().text));
    }
    requireAnswer(request, response);
    const bool list = command.kind == remote::Command::Kind::RosterList ||
                      command.kind == remote::Command::Kind::ScheduleList;
    if (response.status != 200 || list)
        fuzz::require(remote::Api::stateJson(match.app) == before, "a refused action or a list changed the state");
    else
        fuzz::require(response.body == remote::Api::stateJson(match.app), "the answer is not the state left");
    return 0;
}
