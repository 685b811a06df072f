#pragma once
// The remote control's requests, handled without sockets: the server hands each one over
// as plain data, so the tests and the fuzz target drive the very handling it uses. A
// request is first admitted off the UI thread (its Host, token, method, type, size and
// body checked); what it asks is then run on the UI thread, inside one event, through the
// same code as the chord, gesture or menu action it mirrors, and the answer is the state
// that the action left. A refused request changes nothing.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "remote/options.h"

namespace quorvel::app {
class App;
}
namespace quorvel::day {
class MatchDay;
}

namespace quorvel::remote {

// The largest body taken.
constexpr std::size_t kMaxBody = 4096;
// The WebSockets: the overlay page's descriptions of the table, and the state for decks.
constexpr std::string_view kOverlaySocket = "/overlay/socket";
constexpr std::string_view kEventsSocket = "/api/events";

struct Request {
    std::string method;
    std::string path;  // without the query, its %XX escapes decoded
    std::string host;  // the Host header, "" when there is none
    std::string contentType;
    std::string authorization;
    std::string body;
    // The length the head announces, when it announces one (a body sent in chunks does not).
    std::optional<std::size_t> contentLength{};
    // The request target as sent: the path before decoding, then "?" and the query. ""
    // when it is not known: the path then stands for it, without a query.
    std::string target{};
    std::string origin{};  // the Origin header, "" when there is none
};

struct Response {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // beyond the type
};

// What an admitted request asks for, its values checked as far as they can be without
// the program's windows.
struct Command {
    enum class Kind {
        State,
        ScoreUp,
        ScoreDown,
        ScoreReset,
        PortraitNext,
        PortraitsHide,
        Names,
        Series,
        Country,
        Colour,
        PulseSeries,
        PulseCountries,
        Topmost,
        ShowAll,
        RosterList,   // GET /api/roster
        RosterPlayer,  // player, name
        Swap,
        ScheduleList,  // GET /api/schedule
        NextMatch,
        GoToMatch,     // matchNumber
        Reload,        // the day's files read again where they changed
        BracketRefresh,  // the day fetched from the bracket site now
    };
    Kind kind = Kind::State;
    int player = 0;       // 1 or 2
    int country = 0;      // Country: the place in the player's country list, from 0
    int swatch = 0;       // Colour: the palette's swatch, from 0
    int matchNumber = 0;  // GoToMatch: the match of the day, from 1
    bool on = false;      // PulseSeries, PulseCountries: the pulse wanted on
    std::optional<std::string> name1;  // Names: player 1's name when given
    std::optional<std::string> name2;
    std::string seriesCaption;  // Series
    std::string rosterName;     // RosterPlayer: the name as given, found apart from case
};

class Api {
public:
    // `endpoint` names the address and port the server listens on (the port it bound);
    // the GIF and JPEG pictures below `programFolder`'s pic folder are served at /pic/
    // (none when it is "").
    // The scenes of the day's schedule are served only `withSchedule` (release 0.99).
    explicit Api(Endpoint endpoint, std::string programFolder = {}, bool withSchedule = true);

    // Off the UI thread, once the head of a request has been read and before its body
    // is: the refusal of everything that can be refused without the body (its Host, token,
    // path, method, type and announced length), or nothing.
    std::optional<Response> screen(const Request& request) const;
    // Off the UI thread: a response at once (a refusal, the control page, the overlay page
    // or a picture), or the command to run on the UI thread.
    std::variant<Response, Command> admit(const Request& request) const;
    // The same for a request that `screen` has let through already.
    std::variant<Response, Command> admitScreened(const Request& request) const;

    // The Origin header names no other site: none at all (a deck, a script) or
    // http://HOST:PORT of the request's own Host header (the port 80 may be left out).
    static bool originAllowed(std::string_view origin, std::string_view host);

    // On the UI thread, inside an event: runs the command and answers with the state it
    // left, or refuses it (changing nothing) when the windows do not allow it.
    static Response run(app::App& app, const Command& command);

    // A refusal: {"error": message}.
    static Response refusal(int status, const std::string& message);
    // The refusal of a body of `size` bytes.
    static Response tooLarge(std::size_t size);

    // The program state that GET /api/state reports, as JSON text.
    static std::string stateJson(app::App& app);
    // The roster that GET /api/roster lists, as JSON text.
    static std::string rosterJson(const app::App& app);
    // The day's schedule that GET /api/schedule lists, as JSON text: {"current": N or
    // null, "matches": [{"index", "player1", "player2", "series", "round", "time",
    // "state" ("played", "current", "upcoming"), and once played "score1", "score2",
    // "winner" (null on a tie), "ended"}], "source": "file" or "start.gg"}; a bracket's
    // match also has "set" and "report" ({"state": "none", "waiting", "confirmed" or
    // "refused", "reason"}), and the day "site" ({"event", "stream", "fetched",
    // "offlineSince", "waiting"}). Each player's name is spelled as the roster
    // spells it, with "flag1" / "flag2": the address of the roster country's flag or null.
    static std::string scheduleJson(const app::App& app);
    // The same from each match's entry as scheduleEntryJson made it, so that a feed makes
    // again only the entries that changed.
    static std::string scheduleJson(const app::App& app, const std::vector<std::string>& entries);
    static std::string scheduleEntryJson(const app::App& app, std::size_t index);

private:
    bool hostAllowed(const std::string& host) const;
    std::string listening() const;  // ADDRESS:PORT
    // The refusal of a missing or wrong token, or nothing; ?token= counts when `inQuery`.
    std::optional<Response> tokenRefusal(const Request& request, bool inQuery) const;
    // GET /pic/...: the picture, or 404 for anything but a GIF or JPEG file below pic.
    Response picture(const Request& request) const;

    Endpoint endpoint_;
    std::string programFolder_;
    bool withSchedule_ = true;
};

// The control page served at "/": static HTML with its script.
extern const std::string kControlPage;
// The overlay page served at "/overlay": the score table drawn from the descriptions that
// its WebSocket at /overlay/socket pushes (TableFeed).
extern const std::string kOverlayPage;
// The pages for the breaks at "/scene/upnext" and "/scene/results": the day's schedule
// drawn from the same socket as the overlay.
extern const std::string kScenePage;

}  // namespace quorvel::remote
