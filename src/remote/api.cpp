#include "remote/api.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <string_view>

#include "app/app.h"
#include "day/readers.h"
#include "control/control_menu.h"
#include "day/palette.h"
#include "start/start_dialog.h"
#include "table/score_table.h"
#include "ui/error.h"
#include "ui/numtext.h"
#include "ui/text.h"

namespace quorvel::remote {
namespace {

using nlohmann::json;
using Kind = Command::Kind;

constexpr std::string_view kActionPrefix = "/api/action/";
constexpr std::string_view kPicturePrefix = "/pic/";
// Far above the program's flags, portraits and emblem.
constexpr std::size_t kMaxPictureBytes = 16u << 20;
constexpr std::size_t kMaxQuotedValue = 60;

// Each action, the fields its body takes, and how it reads them.
struct Action {
    const char* name;
    Kind kind;
    const char* fields;  // for messages: the fields the body takes
};

constexpr std::array<Action, 19> kActions = {{
    {"score-up", Kind::ScoreUp, "player"},
    {"score-down", Kind::ScoreDown, "player"},
    {"score-reset", Kind::ScoreReset, ""},
    {"portrait-next", Kind::PortraitNext, "player"},
    {"portraits-hide", Kind::PortraitsHide, ""},
    {"names", Kind::Names, "player1, player2"},
    {"series", Kind::Series, "caption"},
    {"country", Kind::Country, "player, index"},
    {"colour", Kind::Colour, "index"},
    {"pulse-series", Kind::PulseSeries, "on"},
    {"pulse-countries", Kind::PulseCountries, "on"},
    {"topmost", Kind::Topmost, ""},
    {"show-all", Kind::ShowAll, ""},
    {"roster", Kind::RosterPlayer, "player, name"},
    {"swap", Kind::Swap, ""},
    {"next", Kind::NextMatch, ""},
    {"match", Kind::GoToMatch, "index"},
    {"reload", Kind::Reload, ""},
    {"bracket-refresh", Kind::BracketRefresh, ""},
}};

std::string actionList() {
    std::string list;
    for (const Action& action : kActions) list += (list.empty() ? "" : ", ") + std::string(action.name);
    return list;
}

// Text from the request for a message: at most a few dozen bytes, control characters
// (a NUL among them, which would cut the message short) and bytes beyond ASCII shown as
// '?', so never a broken UTF-8 sequence at the cut.
std::string cleaned(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && out.size() < kMaxQuotedValue; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += c < 0x20 || c == 0x7F || c >= 0x80 ? '?' : static_cast<char>(c);
    }
    if (out.size() < text.size()) out += "...";
    return out;
}

std::string excerpt(std::string_view text) {
    // Built by insertion: GCC 12 warns falsely (-Wrestrict) on "\"" + ... here.
    std::string quoted = cleaned(text);
    quoted.insert(quoted.begin(), '"');
    quoted += '"';
    return quoted;
}

// A JSON value for a message.
std::string shown(const json& value) {
    std::string text = value.dump(-1, ' ', true, json::error_handler_t::replace);
    if (text.size() > kMaxQuotedValue) {
        text.resize(kMaxQuotedValue);
        text += "...";
    }
    return text;
}

const json& field(const json& body, const char* name) {
    const auto it = body.find(name);
    if (it == body.end()) throw Error(std::string(name) + ": the field is missing");
    return *it;
}

int wholeNumber(const json& body, const char* name, int high, const char* what) {
    const json& value = field(body, name);
    if (!value.is_number_integer() || value.get<long long>() < 0 || value.get<long long>() > high) {
        throw Error(std::string(name) + ": " + shown(value) + " is not " + what + " (a whole number from 0 to " +
                    std::to_string(high) + ")");
    }
    return static_cast<int>(value.get<long long>());
}

int player(const json& body) {
    const json& value = field(body, "player");
    if (!value.is_number_integer() || (value != 1 && value != 2))
        throw Error("player: " + shown(value) + " is not a player (1 or 2)");
    return value.get<int>();
}

// Text shown on the table: a string without control characters.
std::string tableText(const json& body, const char* name) {
    const json& value = body.at(name);
    if (!value.is_string()) throw Error(std::string(name) + ": " + shown(value) + " is not a string");
    std::string text = value.get<std::string>();
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            throw Error(std::string(name) + ": " + shown(value) + " holds a control character");
    }
    return text;
}

void onlyFields(const json& body, const Action& action) {
    const std::string_view fields = action.fields;
    for (const auto& [key, value] : body.items()) {
        bool known = false;
        std::string_view rest = fields;
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            if (ui::trimmed(rest.substr(0, comma)) == key) known = true;
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
        if (!known) {
            throw Error(cleaned(key) + ": " + action.name + " takes no such field" +
                        (fields.empty() ? std::string(" (send {})") : " (it takes " + std::string(fields) + ")"));
        }
    }
}

Command readBody(const Action& action, const std::string& text) {
    if (ui::trimmed(text).empty())
        throw Error("the body is empty; " + std::string(action.name) + " takes a JSON object such as {}");
    json body;
    try {
        body = json::parse(text);
    } catch (const json::exception& failure) {
        // "[json.exception.parse_error.101] parse error at line 1, column 2: ...", or a
        // number too large for any type: "[json.exception.out_of_range.406] number overflow ..."
        std::string reason = failure.what();
        const auto bracket = reason.find("] ");
        if (bracket != std::string::npos) reason = reason.substr(bracket + 2);
        throw Error("the body is not JSON: " + reason);
    }
    if (!body.is_object()) throw Error("the body is " + shown(body) + ", not a JSON object");
    onlyFields(body, action);

    Command command;
    command.kind = action.kind;
    switch (action.kind) {
        case Kind::ScoreUp:
        case Kind::ScoreDown:
        case Kind::PortraitNext: command.player = player(body); break;
        case Kind::Names:
            if (body.contains("player1")) command.name1 = tableText(body, "player1");
            if (body.contains("player2")) command.name2 = tableText(body, "player2");
            if (!command.name1 && !command.name2) throw Error("player1, player2: give at least one of the names");
            break;
        case Kind::RosterPlayer:
            command.player = player(body);
            field(body, "name");
            command.rosterName = tableText(body, "name");
            break;
        case Kind::Series:
            field(body, "caption");
            command.seriesCaption = tableText(body, "caption");
            break;
        case Kind::Country:
            command.player = player(body);
            // The list's length is known on the UI thread: the country file may hold up to
            // 301 names. The list itself is checked there.
            command.country = wholeNumber(body, "index", day::kMaxCountries - 1, "a country's place in the list");
            break;
        case Kind::Colour:
            command.swatch = wholeNumber(body, "index", day::kPaletteSize - 1, "a swatch of the palette");
            break;
        case Kind::GoToMatch:
            command.matchNumber = wholeNumber(body, "index", day::kMaxMatches, "a match of the day (its number, from 1)");
            break;
        case Kind::PulseSeries:
        case Kind::PulseCountries: {
            const json& value = field(body, "on");
            if (!value.is_boolean()) throw Error("on: " + shown(value) + " is not true or false");
            command.on = value.get<bool>();
            break;
        }
        default: break;
    }
    return command;
}

bool isJson(std::string_view contentType) {
    return ui::equalNoCase(ui::trimmed(contentType.substr(0, contentType.find(';'))), "application/json");
}

// Constant time for tokens of the same length, so the answer's timing does not tell how
// much of a guess was right.
bool sameToken(std::string_view given, std::string_view token) {
    if (given.size() != token.size()) return false;
    unsigned difference = 0;
    for (std::size_t i = 0; i < token.size(); ++i)
        difference |= static_cast<unsigned char>(given[i]) ^ static_cast<unsigned char>(token[i]);
    return difference == 0;
}

// The target's path, not decoded.
std::string_view rawPath(const Request& request) {
    const std::string_view target = request.target.empty() ? std::string_view(request.path) : request.target;
    return target.substr(0, target.find('?'));
}

// Text with its %XX escapes decoded by the library, or nothing when an escape is broken:
// the library's decoder keeps a "%" that two hex digits do not follow as it stands, which
// would let "%zz" or "%u002e" pass for plain text.
std::optional<std::string> percentDecoded(std::string_view text) {
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    for (std::size_t at = text.find('%'); at != std::string_view::npos; at = text.find('%', at + 3))
        if (at + 2 >= text.size() || !hex(text[at + 1]) || !hex(text[at + 2])) return std::nullopt;
    return httplib::decode_uri_component(std::string(text));
}

// The value of the first parameter `name` of the query, decoded; nothing when there is
// none. A broken escape gives a value that is no token and no number.
std::optional<std::string> queryValue(const Request& request, std::string_view name) {
    const std::size_t mark = request.target.find('?');
    if (mark == std::string::npos) return std::nullopt;
    std::string_view query = std::string_view(request.target).substr(mark + 1);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view parameter = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (parameter.size() <= name.size() || parameter.substr(0, name.size()) != name ||
            parameter[name.size()] != '=')
            continue;
        return percentDecoded(parameter.substr(name.size() + 1)).value_or(std::string(1, '\0'));
    }
    return std::nullopt;
}

std::optional<std::string> queryToken(const Request& request) { return queryValue(request, "token"); }

// The overlay's scale as its page reads it: a number from 0.5 to 4, 1 when not given.
constexpr double kSmallestScale = 0.5;
constexpr double kLargestScale = 4;

// The refusal of an overlay address whose scale the page could not draw at, or nothing.
// The answer is one plain line: a streaming program's preview shows it to the operator.
std::optional<Response> scaleRefusal(const Request& request) {
    const std::optional<std::string> scale = queryValue(request, "scale");
    if (!scale) return std::nullopt;
    const std::optional<double> value = ui::parseNumber(*scale);
    if (value && *value >= kSmallestScale && *value <= kLargestScale) return std::nullopt;
    Response response;
    response.status = 400;
    response.contentType = "text/plain; charset=utf-8";
    response.body = "scale: " + excerpt(*scale) + " is not a number from 0.5 to 4 (the table's size times it)\n";
    return response;
}

// A name Windows gives to a device in every folder, whatever its extension.
bool deviceName(std::string_view name) {
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (ui::equalNoCase(stem, device)) return true;
    return stem.size() == 4 && (ui::startsWithNoCase(stem, "COM") || ui::startsWithNoCase(stem, "LPT")) &&
           stem[3] >= '0' && stem[3] <= '9';
}

// The names below pic that a picture's address names, or nothing when it names anything
// but a GIF or JPEG file below it. Decided on the address alone, before the disk is asked:
// every name must be a plain file or folder name of its own, so no "..", no separator
// written as an escape, no drive, stream or device, no name that Windows would read as
// another one (a trailing dot or blank).
std::optional<std::vector<std::string>> pictureFile(std::string_view address) {
    std::vector<std::string> names;
    while (true) {
        const std::size_t slash = address.find('/');
        auto name = percentDecoded(address.substr(0, slash));
        if (!name || name->empty() || *name == "." || *name == ".." || name->back() == '.' || name->back() == ' ' ||
            !ui::isValidUtf8(*name) || deviceName(*name))
            return std::nullopt;
        for (const char c : *name) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7F || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
                return std::nullopt;
        }
        names.push_back(*std::move(name));
        if (slash == std::string_view::npos) break;
        address.remove_prefix(slash + 1);
    }
    const std::string& file = names.back();
    if (!ui::endsWithNoCase(file, ".gif") && !ui::endsWithNoCase(file, ".jpg") && !ui::endsWithNoCase(file, ".jpeg"))
        return std::nullopt;
    return names;
}

// The bytes of the file, or "" when it is not a readable file of at most kMaxPictureBytes.
std::string readPicture(const std::string& folder, const std::vector<std::string>& names) {
    const auto utf8 = [](const std::string& text) {
        return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
    };
    std::filesystem::path path = utf8(folder) / "pic";
    for (const std::string& name : names) path /= utf8(name);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return {};
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxPictureBytes) return {};
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    // A file cut short while it was read is not served half.
    return in.gcount() == static_cast<std::streamsize>(bytes.size()) ? bytes : std::string();
}

// The type of a GIF or JPEG file from its first bytes, or "" for anything else.
std::string_view pictureType(std::string_view bytes) {
    if (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a") return "image/gif";
    if (bytes.substr(0, 3) == "\xFF\xD8\xFF") return "image/jpeg";
    return {};
}

Response page(std::string_view html) {
    Response response;
    response.contentType = "text/html; charset=utf-8";
    response.body = html;
    return response;
}

Response methodNotAllowed(const Request& request, const char* allowed) {
    Response response =
        Api::refusal(405, request.method + " " + excerpt(request.path) + ": only " + allowed + " is answered here");
    response.headers.emplace_back("Allow", allowed);
    return response;
}

bool isScene(std::string_view path) { return path == "/scene/upnext" || path == "/scene/results"; }

// The table as others see it: the overlay page, the scenes, their pictures and the two
// sockets.
bool isView(std::string_view path) {
    return path == "/overlay" || isScene(path) || path == kOverlaySocket || path == kEventsSocket ||
           path.rfind(kPicturePrefix, 0) == 0;
}

const Action* findAction(std::string_view path) {
    if (path.substr(0, kActionPrefix.size()) != kActionPrefix) return nullptr;
    const std::string_view name = path.substr(kActionPrefix.size());
    const auto action = std::find_if(kActions.begin(), kActions.end(), [&](const Action& a) { return name == a.name; });
    return action == kActions.end() ? nullptr : &*action;
}

}  // namespace

Api::Api(Endpoint endpoint, std::string programFolder, bool withSchedule)
    : endpoint_(std::move(endpoint)), programFolder_(std::move(programFolder)), withSchedule_(withSchedule) {}

std::string Api::listening() const { return endpoint_.address + ":" + std::to_string(endpoint_.port); }

namespace {

// HOST:PORT with the port of http written out when it is left out, as clients do for 80.
std::string withPort(std::string_view host) {
    std::string full(host);
    if (full.find(':') == std::string::npos) full += ":80";
    return full;
}

}  // namespace

bool Api::hostAllowed(const std::string& given) const {
    const std::string host = withPort(given);
    // Built by insertion: GCC 12 warns falsely (-Wrestrict) on ":" + std::to_string here.
    std::string port = std::to_string(endpoint_.port);
    port.insert(port.begin(), ':');
    if (given.empty() || host.size() <= port.size() || host.compare(host.size() - port.size(), port.size(), port) != 0)
        return false;
    const std::string name = host.substr(0, host.size() - port.size());
    if (name == endpoint_.address) return true;
    // A name that a web page's own server could point here (DNS rebinding) is refused;
    // "localhost" always means this computer.
    if (isLoopback(endpoint_.address) || isWildcard(endpoint_.address)) {
        if (ui::equalNoCase(name, "localhost")) return true;
    }
    // Listening on every address, any IPv4 address written as a number is taken: a page
    // that points a name of its own at this computer sends that name, never a number.
    return isWildcard(endpoint_.address) && isIpv4Address(name);
}

bool Api::originAllowed(std::string_view origin, std::string_view host) {
    if (origin.empty()) return true;
    // The page that sent the request came from this very address: the scheme, the host and
    // the port of its Origin are the request's own (whose Host has been checked).
    constexpr std::string_view kHttp = "http://";
    if (origin.size() <= kHttp.size() || !ui::startsWithNoCase(origin, kHttp)) return false;
    return !host.empty() && ui::equalNoCase(withPort(origin.substr(kHttp.size())), withPort(host));
}

std::optional<Response> Api::tokenRefusal(const Request& request, bool inQuery) const {
    if (endpoint_.token.empty()) return std::nullopt;
    constexpr std::string_view kBearer = "Bearer ";
    const std::string_view given = request.authorization;
    const std::optional<std::string> queried = inQuery && given.empty() ? queryToken(request) : std::nullopt;
    if (given.empty() && !queried) {
        Response response = refusal(401, inQuery ? "the token is missing (send \"Authorization: Bearer TOKEN\" or "
                                                   "add ?token=TOKEN to the address)"
                                                 : "Authorization: the token is missing (send \"Authorization: "
                                                   "Bearer TOKEN\")");
        response.headers.emplace_back("WWW-Authenticate", "Bearer");
        return response;
    }
    const bool right = queried ? sameToken(*queried, endpoint_.token)
                               : ui::startsWithNoCase(given, kBearer) &&
                                     sameToken(given.substr(kBearer.size()), endpoint_.token);
    if (right) return std::nullopt;
    // The message never repeats what was given.
    Response response = refusal(401, queried ? "token: the token is wrong" : "Authorization: the token is wrong");
    response.headers.emplace_back("WWW-Authenticate", "Bearer error=\"invalid_token\"");
    return response;
}

Response Api::picture(const Request& request) const {
    const std::string_view raw = rawPath(request);
    const auto file = raw.rfind(kPicturePrefix, 0) == 0 ? pictureFile(raw.substr(kPicturePrefix.size())) : std::nullopt;
    std::string bytes;
    if (file && !programFolder_.empty()) bytes = readPicture(programFolder_, *file);
    const std::string_view type = pictureType(bytes);
    if (type.empty()) return refusal(404, "there is no picture at " + excerpt(request.path));
    Response response;
    response.contentType = std::string(type);
    response.body = std::move(bytes);
    return response;
}

Response Api::refusal(int status, const std::string& message) {
    Response response;
    response.status = status;
    response.body = json{{"error", message}}.dump(-1, ' ', false, json::error_handler_t::replace);
    return response;
}

Response Api::tooLarge(std::size_t size) {
    // A body sent in chunks announces no size: it is known only to be over the bound.
    const std::string body = size > kMaxBody ? "the body is " + std::to_string(size) + " bytes"
                                             : "the body is over " + std::to_string(kMaxBody) + " bytes";
    return refusal(413, body + "; at most " + std::to_string(kMaxBody) + " are taken");
}

std::optional<Response> Api::screen(const Request& request) const {
    if (!hostAllowed(request.host)) {
        return refusal(403, "Host: " + excerpt(request.host) + " is not the address this program listens on (" +
                                listening() + ")");
    }
    // A page of another site may not read the table, hold a connection to it nor post to it.
    if (!originAllowed(request.origin, request.host)) {
        return refusal(403, "Origin: " + excerpt(request.origin) + " is another site than this program's (http://" +
                                request.host + ")");
    }
    // Methods that no path answers.
    if (request.method == "TRACE" || request.method == "CONNECT") return methodNotAllowed(request, "GET, POST");
    const bool read = request.method == "GET" || request.method == "HEAD";
    // The page itself is static and holds no state, so a browser can open it without the
    // token; its script sends the token with every request to the interface.
    if (request.path == "/") return read ? std::nullopt : std::optional(methodNotAllowed(request, "GET"));

    // The overlay page, its pictures and the sockets take the token in the address too: a
    // streaming program's browser source sends no header of its own.
    if (isView(request.path)) {
        if (auto refused = tokenRefusal(request, true)) return *std::move(refused);
        return read ? std::nullopt : std::optional(methodNotAllowed(request, "GET"));
    }
    if (auto refused = tokenRefusal(request, false)) return *std::move(refused);

    if (request.path == "/api/state" || request.path == "/api/roster" || request.path == "/api/schedule")
        return read ? std::nullopt : std::optional(methodNotAllowed(request, "GET"));
    if (request.path.compare(0, kActionPrefix.size(), kActionPrefix) != 0)
        return refusal(404, "there is nothing at " + excerpt(request.path));
    if (!findAction(request.path)) {
        return refusal(404, "action: there is no action " + excerpt(request.path.substr(kActionPrefix.size())) +
                                " (the actions: " + actionList() + ")");
    }
    if (request.method != "POST") return methodNotAllowed(request, "POST");
    // A page on another site can post only forms and plain text without asking first.
    if (!isJson(request.contentType))
        return refusal(415, "Content-Type: " + excerpt(request.contentType) + " is not application/json");
    if (request.contentLength && *request.contentLength > kMaxBody) return tooLarge(*request.contentLength);
    return std::nullopt;
}

std::variant<Response, Command> Api::admit(const Request& request) const {
    if (auto refused = screen(request)) return *std::move(refused);
    return admitScreened(request);
}

std::variant<Response, Command> Api::admitScreened(const Request& request) const {
    if (request.path == "/") return page(kControlPage);
    if (isScene(request.path) && !withSchedule_) return refusal(404, "there is nothing at " + excerpt(request.path));
    if (request.path == "/overlay" || isScene(request.path)) {
        if (auto refused = scaleRefusal(request)) return *std::move(refused);
        // Unlike every other answer, the overlay may be shown in a frame by a page of this
        // server's own, as the control page shows it; never by another site's.
        Response overlay = page(request.path == "/overlay" ? kOverlayPage : kScenePage);
        overlay.headers = {{"X-Frame-Options", "SAMEORIGIN"}, {"Content-Security-Policy", "frame-ancestors 'self'"}};
        return overlay;
    }
    if (request.path.rfind(kPicturePrefix, 0) == 0) return picture(request);
    if (request.path == kOverlaySocket || request.path == kEventsSocket)
        return refusal(426, excerpt(request.path) + " is a WebSocket: open it as one");
    if (request.path == "/api/state") return Command{};
    if (request.path == "/api/roster" || request.path == "/api/schedule") {
        Command list;
        list.kind = request.path == "/api/roster" ? Kind::RosterList : Kind::ScheduleList;
        return list;
    }
    if (request.body.size() > kMaxBody) return tooLarge(request.body.size());
    try {
        return readBody(*findAction(request.path), request.body);
    } catch (const Error& failure) {
        return refusal(400, failure.what());
    }
}

namespace {

using Refusal = std::optional<Response>;

// How each action runs on the UI thread: whether it is of the operator's day (the roster,
// the swap, the schedule: release 0.99's), whether it changes the match on the table, the
// method of the window that owns what it changes, and its answer. Rows in Kind's order.
struct Run {
    Kind kind;
    bool ofTheDay;
    bool onTable;
    Refusal (*act)(app::App& app, const Command& command);
    std::string (*answer)(app::App& app);
};

Refusal none() { return std::nullopt; }
table::ScoreTable& on(app::App& app) { return app.table(); }
control::ControlMenu& menu(app::App& app) { return app.controlMenu(); }

Refusal pickCountry(app::App& app, const Command& command) {
    const ui::ComboBox& list = on(app).countryList(command.player);
    if (command.country >= list.listCount()) {
        return Api::refusal(400, "index: " + std::to_string(command.country) + " is not a country of the list (" +
                                     (list.listCount() == 0 ? std::string("the list is empty")
                                                            : "0 to " + std::to_string(list.listCount() - 1)) +
                                     ")");
    }
    on(app).pickCountry(command.player, command.country);
    return none();
}

Refusal stepDay(app::App& app, const Command& command) {
    table::ScoreTable& table = on(app);
    const std::size_t count = app.day().matches().size();
    if (command.kind == Kind::GoToMatch && count > 0 &&
        (command.matchNumber < 1 || static_cast<std::size_t>(command.matchNumber) > count)) {
        return Api::refusal(400, "index: " + std::to_string(command.matchNumber) + " is not a match of the day (1 to " +
                                     std::to_string(count) + ")");
    }
    const auto step = command.kind == Kind::NextMatch ? table.nextMatch()
                                                      : table.goToMatch(static_cast<std::size_t>(command.matchNumber) - 1);
    if (step == table::ScoreTable::MatchStep::NoSchedule)
        return Api::refusal(409, "there is no schedule: Matches.csv in the program folder lists the day's "
                                 "matches, read at the start dialog's load");
    if (step == table::ScoreTable::MatchStep::PlayerNotKnown)
        return Api::refusal(409, "match " + std::to_string(command.matchNumber) +
                                     ": a player of the set is not known yet; the bracket names them when the "
                                     "set before is decided");
    if (step == table::ScoreTable::MatchStep::DayOver)
        return Api::refusal(409, "the day's end: every match of the schedule has its result, no match is "
                                 "left to load (\"match\" loads any match again)");
    return none();
}

Refusal putRosterPlayer(app::App& app, const Command& command) {
    table::ScoreTable& table = on(app);
    const day::RosterPlayer* entry = app.roster().find(command.rosterName);
    if (!entry) return Api::refusal(400, "name: " + shown(json(command.rosterName)) + " is not a name of the roster");
    if (entry->colour && day::swatchOnSide(*entry->colour, command.player) < 0) {
        return Api::refusal(400, "colour: " + shown(json(entry->colourText)) + " of " + shown(json(entry->name)) +
                                     " is not a colour of player " + std::to_string(command.player) +
                                     "'s half of the palette");
    }
    if (entry->country) {
        try {
            const ui::ComboBox& list = table.countryList(command.player);
            day::rosterCountryPlace(app.platform(), app.platform().programFolder(), app.roster(), *entry,
                                    table.countryLanguage, list.items());
        } catch (const Error& error) {
            return Api::refusal(400, std::string("country: ") + error.what());
        }
    }
    // As "OK" with that name in the player's box: applied unless the player is already on
    // that side.
    const std::string before1 = table.playerName(1).caption();
    const std::string before2 = table.playerName(2).caption();
    const bool first = command.player == 1;
    menu(app).applyNames(first ? entry->name : before1, first ? before2 : entry->name);
    menu(app).applyRosterChanges(before1, before2);
    return none();
}

std::string state(app::App& app) { return Api::stateJson(app); }

using A = app::App&;
using C = const Command&;
Refusal refreshBracket(app::App& app, const Command&) {
    if (!app.bracket())
        return Api::refusal(409, "there is no bracket: Bracket.ini in the program folder names the event, read at "
                                 "the start dialog's load");
    app.bracket()->refresh();
    return none();
}

constexpr std::array<Run, 22> kRuns = {{
    {Kind::State, false, false, nullptr, state},
    {Kind::ScoreUp, false, true, [](A a, C c) { return on(a).stepScore(c.player, +1), none(); }, state},
    {Kind::ScoreDown, false, true, [](A a, C c) { return on(a).stepScore(c.player, -1), none(); }, state},
    {Kind::ScoreReset, false, true, [](A a, C) { return on(a).resetMatchScores(), none(); }, state},
    {Kind::PortraitNext, false, true, [](A a, C c) { return on(a).showNextPortrait(c.player), none(); }, state},
    // Release 0.94's chord "V" shows a hidden portrait again; the action hides both, as its
    // name says, in every release.
    {Kind::PortraitsHide, false, true, [](A a, C) { return on(a).hidePortraits(), none(); }, state},
    // "OK" hands both boxes over: a name not given stays as the table shows it.
    {Kind::Names, false, true,
     [](A a, C c) {
         const table::ScoreTable& table = on(a);
         menu(a).applyNames(c.name1.value_or(table.playerName(1).caption()),
                            c.name2.value_or(table.playerName(2).caption()));
         return none();
     },
     state},
    {Kind::Series, false, true, [](A a, C c) { return menu(a).applySeries(c.seriesCaption), none(); }, state},
    {Kind::Country, false, true, pickCountry, state},
    {Kind::Colour, false, true, [](A a, C c) { return menu(a).pickColour(c.swatch), none(); }, state},
    {Kind::PulseSeries, false, true, [](A a, C c) { return on(a).setSeriesPulse(c.on), none(); }, state},
    {Kind::PulseCountries, false, true, [](A a, C c) { return on(a).setCountryPulse(c.on), none(); }, state},
    {Kind::Topmost, false, true, [](A a, C) { return on(a).placeTopmost(), none(); }, state},
    {Kind::ShowAll, false, true, [](A a, C) { return on(a).showAll(), none(); }, state},
    {Kind::RosterList, false, false, nullptr, [](A a) { return Api::rosterJson(a); }},
    {Kind::RosterPlayer, true, true, putRosterPlayer, state},
    {Kind::Swap, true, true, [](A a, C) { return on(a).swapSides(), none(); }, state},
    {Kind::ScheduleList, true, false, nullptr, [](A a) { return Api::scheduleJson(a); }},
    {Kind::NextMatch, true, true, stepDay, state},
    {Kind::GoToMatch, true, true, stepDay, state},
    {Kind::Reload, true, true, [](A a, C) { return a.readDayFiles(true), none(); }, state},
    {Kind::BracketRefresh, true, false, refreshBracket, [](A a) { return Api::scheduleJson(a); }},
}};

constexpr bool inKindOrder() {
    for (std::size_t i = 0; i < kRuns.size(); ++i)
        if (static_cast<std::size_t>(kRuns[i].kind) != i) return false;
    return true;
}
static_assert(inKindOrder(), "kRuns lists every action in Kind's order");

}  // namespace

Response Api::run(app::App& app, const Command& command) {
    const auto remote = app.remoteAction();
    const Run& run = kRuns[static_cast<std::size_t>(command.kind)];
    if (run.ofTheDay && !app.features().hasRoster())
        return refusal(404, "action: " + app.features().title() + " has no roster, no swap and no schedule");
    if (run.onTable && !app.tableLoaded())
        return refusal(409, "the score table is not open; the start dialog's GO!!! opens it");
    // While the start dialog is in front the table waits hidden behind it: GO!!! sets it up
    // anew, so nothing is done to it before then.
    if (run.onTable && app.startDialogLoaded() && app.startDialog().visible())
        return refusal(409, "the start dialog is open; its GO!!! starts the match");
    if (run.act)
        if (Refusal refused = run.act(app, command)) return *refused;
    Response response;
    response.body = run.answer(app);
    return response;
}

}  // namespace quorvel::remote
