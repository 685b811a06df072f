#pragma once
// The remote control's command-line options. Without --remote the program opens no socket.
//   --remote                  listen on 127.0.0.1 port 8421
//   --remote=ADDRESS:PORT     listen on an IPv4 address of this computer (0.0.0.0: all)
//   --remote-token=TOKEN      every request must carry "Authorization: Bearer TOKEN";
//                             required for an address other than loopback; letters,
//                             digits and - . _ ~ only
#include <optional>
#include <string>
#include <vector>

namespace quorvel::remote {

// Where the remote control listens, and the token it asks for ("" for none).
struct Endpoint {
    std::string address = "127.0.0.1";
    int port = 8421;  // 0 in tests: any free port
    std::string token;
};

// A dotted IPv4 address such as 192.168.1.20.
bool isIpv4Address(const std::string& text);
// The address is one of this computer's loopback addresses (127.x.x.x).
bool isLoopback(const std::string& address);
// The address stands for every address of the computer (0.0.0.0).
bool isWildcard(const std::string& address);

// The remote control's endpoint from the command line's arguments (the program's name not
// among them), or nothing when --remote is not given. Arguments that are not the remote
// control's are left to others. Throws quorvel::Error naming the option and the value at
// fault.
std::optional<Endpoint> parseOptions(const std::vector<std::string>& arguments);

}  // namespace quorvel::remote
