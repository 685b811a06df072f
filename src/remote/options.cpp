#include "remote/options.h"

#include <array>
#include <cstddef>
#include <string_view>

#include "ui/error.h"
#include "ui/numtext.h"

namespace quorvel::remote {
namespace {

constexpr std::string_view kRemote = "--remote";
constexpr std::string_view kToken = "--remote-token=";
constexpr std::size_t kMaxTokenLength = 256;

// The four parts of a dotted IPv4 address, or nothing. A part with a leading zero is
// refused: the system's resolver reads "010" as octal 8, so the program would listen on
// another address than the one its Host check expects.
std::optional<std::array<int, 4>> ipv4Parts(std::string_view text) {
    std::array<int, 4> parts{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::size_t dot = i + 1 < parts.size() ? text.find('.') : text.size();
        if (dot == std::string_view::npos) return std::nullopt;
        if (dot > 1 && text[0] == '0') return std::nullopt;
        const auto part = ui::parseDigits(text.substr(0, dot), 3);
        if (!part || *part > 255) return std::nullopt;
        parts[i] = *part;
        text = dot < text.size() ? text.substr(dot + 1) : std::string_view();
    }
    return parts;
}

Endpoint parseAddress(std::string_view option, std::string_view value) {
    const std::string quoted = std::string(option) + "=" + std::string(value);
    const std::size_t colon = value.rfind(':');
    if (colon == std::string_view::npos)
        throw Error(quoted + ": give the address and the port as ADDRESS:PORT, for example 127.0.0.1:8421");
    const std::string_view address = value.substr(0, colon);
    const std::string_view port = value.substr(colon + 1);
    if (!ipv4Parts(address))
        throw Error(quoted + ": \"" + std::string(address) +
                    "\" is not an IPv4 address such as 127.0.0.1 (this computer only) or 0.0.0.0 (every network)");
    const auto number = ui::parseDigits(port, 5);
    if (!number || *number < 1 || *number > 65535)
        throw Error(quoted + ": \"" + std::string(port) + "\" is not a port number from 1 to 65535");
    Endpoint endpoint;
    endpoint.address = std::string(address);
    endpoint.port = *number;
    return endpoint;
}

// A character of a token for a message: itself in quotes, or its code when it is not
// printable.
std::string tokenCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > ' ' && byte < 0x7F) return std::string("\"") + c + "\"";
    constexpr std::string_view kHex = "0123456789ABCDEF";
    return std::string("the byte 0x") + kHex[byte >> 4] + kHex[byte & 0xF] + (byte == ' ' ? " (a blank)" : "");
}

}  // namespace

bool isIpv4Address(const std::string& text) { return ipv4Parts(text).has_value(); }

bool isLoopback(const std::string& address) {
    const auto parts = ipv4Parts(address);
    return parts && (*parts)[0] == 127;
}

bool isWildcard(const std::string& address) { return address == "0.0.0.0"; }

std::optional<Endpoint> parseOptions(const std::vector<std::string>& arguments) {
    std::optional<Endpoint> endpoint;
    std::optional<std::string> token;
    for (const std::string& argument : arguments) {
        const std::string_view text = argument;
        if (text.substr(0, kToken.size()) == kToken) {
            token = std::string(text.substr(kToken.size()));
            if (token->empty()) throw Error("--remote-token= needs a token after the equals sign");
            if (token->size() > kMaxTokenLength)
                throw Error("--remote-token: the token is " + std::to_string(token->size()) +
                            " characters long; at most " + std::to_string(kMaxTokenLength) + " are taken");
            // The token is written into addresses by hand (a browser source, a phone, a
            // deck): only these characters mean the same in every part of an address and
            // to every program that reads one, so the token arrives as it was written.
            for (char c : *token) {
                const bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                  std::string_view("-._~").find(c) != std::string_view::npos;
                if (!safe)
                    throw Error("--remote-token: the token holds " + tokenCharacter(c) +
                                ", which an address changes; use only letters, digits and - . _ ~");
            }
        } else if (text == kRemote) {
            endpoint = Endpoint{};
        } else if (text.substr(0, kRemote.size() + 1) == std::string(kRemote) + "=") {
            endpoint = parseAddress(kRemote, text.substr(kRemote.size() + 1));
        } else if (text.substr(0, kRemote.size()) == kRemote) {
            throw Error(argument + ": not an option of the remote control (--remote, --remote=ADDRESS:PORT, "
                                   "--remote-token=TOKEN)");
        }
    }
    if (!endpoint) {
        if (token) throw Error("--remote-token is given without --remote, which turns the remote control on");
        return std::nullopt;
    }
    if (token) endpoint->token = *token;
    if (!isLoopback(endpoint->address) && endpoint->token.empty())
        throw Error("--remote=" + endpoint->address + ":" + std::to_string(endpoint->port) +
                    ": other computers can reach this address, so --remote-token=TOKEN is needed as well");
    return endpoint;
}

}  // namespace quorvel::remote
