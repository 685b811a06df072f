#include "bracket/bracket_file.h"

#include <array>

#include "day/readers.h"
#include "ui/error.h"
#include "ui/numtext.h"
#include "ui/text.h"

namespace quorvel::bracket {
namespace {

constexpr std::string_view kSiteAddresses[] = {"https://www.start.gg/", "https://start.gg/"};

bool slugWord(std::string_view word) {
    if (word.empty()) return false;
    for (char c : word)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    return true;
}

// "tournament/<t>/event/<e>" at the start of `path`; what follows it (/overview, a query)
// is passed over. The tournament's slug goes to `tournament`.
std::optional<std::string> eventSlug(std::string_view path, std::string& tournament) {
    path = path.substr(0, path.find_first_of("?#"));
    std::array<std::string_view, 4> parts;
    for (std::string_view& part : parts) {
        const std::size_t slash = path.find('/');
        part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    if (!ui::equalNoCase(parts[0], "tournament") || !slugWord(parts[1]) || !ui::equalNoCase(parts[2], "event") ||
        !slugWord(parts[3]))
        return std::nullopt;
    tournament = std::string(parts[1]);
    return "tournament/" + std::string(parts[1]) + "/event/" + std::string(parts[3]);
}

bool loopbackIpv4(std::string_view host) {
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = host.find('.');
        if ((part < 3) != (dot != std::string_view::npos)) return false;  // four numbers, three dots
        const std::string_view number = host.substr(0, dot);
        const auto value = ui::parseDigits(number, 3);
        if (number.empty() || !value || *value > 255 || (part == 0 && *value != 127)) return false;
        host.remove_prefix(dot == std::string_view::npos ? host.size() : dot + 1);
    }
    return true;
}

// The host of an address after its scheme, without the port; empty when it has user
// information, which could hide the host that is reached.
std::string_view hostOf(std::string_view rest) {
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    if (authority.find('@') != std::string_view::npos) return {};
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return {};
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty() && !after.starts_with(':')) return {};
        return authority.substr(0, close + 1);
    }
    return authority.substr(0, authority.find(':'));
}

[[noreturn]] void refuse(const std::string& path, std::size_t line, const std::string& why) {
    throw Error(path + ", line " + std::to_string(line) + ": " + why, path, line);
}

}  // namespace

std::string endpointRefusal(std::string_view endpoint) {
    if (ui::startsWithNoCase(endpoint, "https://")) {
        if (hostOf(endpoint.substr(8)).empty()) return "the endpoint's address has no host";
        return {};
    }
    if (ui::startsWithNoCase(endpoint, "http://")) {
        const std::string_view host = hostOf(endpoint.substr(7));
        if (ui::equalNoCase(host, "localhost") || host == "[::1]" || loopbackIpv4(host)) return {};
        return "an http:// endpoint may only be this machine (127.0.0.1, ::1 or localhost): to any other the token "
               "would cross the network in clear text; give an https:// address";
    }
    return "the endpoint is not an https:// address";
}

BracketFile parseBracketFile(std::string_view text, const std::string& path) {
    BracketFile file;
    std::array<std::size_t, 5> seen{};  // the line of each key, 0 while not given
    constexpr std::array<std::string_view, 5> kKeys = {"site", "event", "stream", "token", "endpoint"};
    std::size_t number = 0;
    for (std::string_view raw : ui::lineViews(text)) {
        ++number;
        const std::string_view line = ui::trimmed(raw);
        if (line.empty() || line.starts_with(';')) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            refuse(path, number, "a line of Bracket.ini is key=value (site, event, stream, token, endpoint)");
        const std::string key = ui::foldCase(ui::trimmed(line.substr(0, equals)));
        const std::string_view value = ui::trimmed(line.substr(equals + 1));
        std::size_t index = 0;
        while (index < kKeys.size() && kKeys[index] != key) ++index;
        // The key is named as written, at most a line's worth of it: never the value.
        std::string named(1, '"');
        named.append(ui::trimmed(line.substr(0, equals)).substr(0, 40)).push_back('"');
        if (index == kKeys.size())
            refuse(path, number, "the key " + named + " is not one of site, event, stream, token, endpoint");
        if (seen[index])
            refuse(path, number, "the key " + key + " is given twice (first on line " + std::to_string(seen[index]) + ")");
        seen[index] = number;
        switch (index) {
        case 0:
            if (!ui::equalNoCase(value, "start.gg")) refuse(path, number, "site: the one site known is start.gg");
            file.site = Site::StartGg;
            break;
        case 1: {
            std::optional<std::string> slug;
            for (std::string_view site : kSiteAddresses)
                if (ui::startsWithNoCase(value, site)) slug = eventSlug(value.substr(site.size()), file.tournament);
            if (!slug && !ui::startsWithNoCase(value, "http")) slug = eventSlug(value, file.tournament);
            if (!slug)
                refuse(path, number,
                       "event: give the event's address, https://www.start.gg/tournament/<tournament>/event/<event>, "
                       "or its slug, tournament/<tournament>/event/<event>");
            file.event = *slug;
            break;
        }
        case 2:
            if (value.empty()) refuse(path, number, "stream: the stream's name is empty (leave the key out for none)");
            file.stream = std::string(value);
            break;
        case 3:
            if (value.empty()) refuse(path, number, "token: the token is empty");
            for (char c : value)
                if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F)
                    refuse(path, number, "token: the token holds a character that no start.gg token has");
            file.token = std::string(value);
            break;
        default:
            if (const std::string why = endpointRefusal(value); !why.empty()) refuse(path, number, "endpoint: " + why);
            for (char c : value)
                if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
                    refuse(path, number, "endpoint: the address holds a blank or a control character");
            file.endpoint = std::string(value);
            break;
        }
    }
    for (std::size_t index : {0, 1, 3})
        if (!seen[index])
            throw Error(path + ": the key " + std::string(kKeys[index]) + " is missing (" +
                            (index == 0 ? "site=start.gg" : index == 1 ? "event=<the event's address>" : "token=<your personal access token>") +
                            ")",
                        path, 0);
    return file;
}

std::optional<BracketFile> readBracketFile(ui::Platform& platform, const std::string& path) {
    if (!platform.fileExists(path)) return std::nullopt;
    return parseBracketFile(day::readText(platform, path), path);
}

}  // namespace quorvel::bracket
