#pragma once
// Layer bracket/: the day from a bracket site; it includes only day/ and ui/, never a window.
// Bracket.ini, the optional file in the program folder that takes the day from a bracket
// site: `key=value` lines, `;` comments and blank lines; keys site, event, stream, token and
// endpoint. The token is kept here and sent to the endpoint only; no message names it.
#include <optional>
#include <string>
#include <string_view>

#include "ui/platform.h"

namespace quorvel::bracket {

// The bracket sites the program knows.
enum class Site { StartGg };

struct BracketFile {
    Site site = Site::StartGg;
    std::string tournament;             // the tournament's slug, the <t> of its address
    std::string event;                  // "tournament/<t>/event/<e>"
    std::optional<std::string> stream;  // the stream whose queue is the day; none: the event's sets
    std::string token;
    std::string endpoint = "https://api.start.gg/gql/alpha";
};

// The file at `path`, none without it. Text through day::readText (UTF-8 or the ANSI code
// page). Throws as parseBracketFile does.
std::optional<BracketFile> readBracketFile(ui::Platform& platform, const std::string& path);

// Reads the text of Bracket.ini. Throws quorvel::Error naming `path`, the line and the key at
// fault: an unknown key, a key given twice, a line without '=', a site other than start.gg,
// an event that is neither the event's address nor its slug, an endpoint that is not
// https:// (http:// only to this machine: 127.0.0.0/8, ::1, localhost), and a missing site,
// event or token.
BracketFile parseBracketFile(std::string_view text, const std::string& path);

// Whether `endpoint` may be sent the token: https:// to any host, http:// only to this
// machine. Empty when it may, else why not.
std::string endpointRefusal(std::string_view endpoint);

}  // namespace quorvel::bracket
