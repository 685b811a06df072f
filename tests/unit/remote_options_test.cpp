// The remote control's command-line options, and the Host names its interface accepts
// for each kind of address (checked without sockets).
#include <gtest/gtest.h>

#include <variant>

#include "remote/api.h"
#include "remote/options.h"
#include "ui/error.h"

namespace quorvel::testing {
namespace {

using remote::Endpoint;
using remote::parseOptions;

std::string failure(const std::vector<std::string>& arguments) {
    try {
        parseOptions(arguments);
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

TEST(RemoteOptions, WithoutRemoteNoEndpointAndOtherArgumentsAreLeftAlone) {
    EXPECT_FALSE(parseOptions({}));
    EXPECT_FALSE(parseOptions({"/safe", "file.txt"}));
}

TEST(RemoteOptions, RemoteAloneListensOnLoopbackPort8421AndAnAddressMayBeGiven) {
    const auto plain = parseOptions({"--remote"});
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->address, "127.0.0.1");
    EXPECT_EQ(plain->port, 8421);
    EXPECT_EQ(plain->token, "");
    const auto other = parseOptions({"--remote=127.0.0.5:9000"});
    ASSERT_TRUE(other);
    EXPECT_EQ(other->address, "127.0.0.5");
    EXPECT_EQ(other->port, 9000);
    const auto wide = parseOptions({"--remote-token=abc.DEF-123", "--remote=0.0.0.0:8421"});
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->address, "0.0.0.0");
    EXPECT_EQ(wide->token, "abc.DEF-123");
}

TEST(RemoteOptions, BadValuesAreFailuresNamingTheOptionAndTheValue) {
    EXPECT_EQ(failure({"--remote=192.168.1.20:8421"}),
              "--remote=192.168.1.20:8421: other computers can reach this address, so --remote-token=TOKEN is "
              "needed as well");
    EXPECT_EQ(failure({"--remote=127.0.0.1"}),
              "--remote=127.0.0.1: give the address and the port as ADDRESS:PORT, for example 127.0.0.1:8421");
    EXPECT_EQ(failure({"--remote=127.0.0.1:0"}), "--remote=127.0.0.1:0: \"0\" is not a port number from 1 to 65535");
    EXPECT_EQ(failure({"--remote=127.0.0.1:65536"}),
              "--remote=127.0.0.1:65536: \"65536\" is not a port number from 1 to 65535");
    EXPECT_NE(failure({"--remote=localhost:8421"}).find("\"localhost\" is not an IPv4 address"), std::string::npos);
    EXPECT_NE(failure({"--remote=256.0.0.1:8421"}).find("\"256.0.0.1\" is not an IPv4 address"), std::string::npos);
    EXPECT_NE(failure({"--remote=1.2.3:8421"}).find("is not an IPv4 address"), std::string::npos);
    // The resolver would read it as octal and listen on 127.0.0.8.
    EXPECT_NE(failure({"--remote=127.0.0.010:8421"}).find("\"127.0.0.010\" is not an IPv4 address"),
              std::string::npos);
    EXPECT_EQ(failure({"--remote-token=abc"}),
              "--remote-token is given without --remote, which turns the remote control on");
    EXPECT_EQ(failure({"--remote", "--remote-token="}), "--remote-token= needs a token after the equals sign");
    EXPECT_NE(failure({"--remote", "--remote-token=a b"}).find("0x20 (a blank)"), std::string::npos);
    // What an address would change, whatever the tool that reads it.
    for (const char* bad : {"K7+2", "K7%2", "K7&2", "K7#2", "K7/2"})
        EXPECT_NE(failure({"--remote", std::string("--remote-token=") + bad}).find(std::string("\"") + bad[2] + "\""),
                  std::string::npos)
            << bad;
    EXPECT_EQ(parseOptions({"--remote", "--remote-token=K7-._~2"})->token, "K7-._~2");
    EXPECT_NE(failure({"--remotes"}).find("--remotes: not an option"), std::string::npos);
}

int hostStatus(const Endpoint& endpoint, const std::string& host) {
    remote::Request request{"GET", "/api/state", host, "", "Bearer t", "", {}};
    const auto admitted = remote::Api(endpoint).admit(request);
    return std::holds_alternative<remote::Response>(admitted) ? std::get<remote::Response>(admitted).status : 200;
}

TEST(RemoteHosts, OnlyTheListeningAddressIsAcceptedAndOnEveryAddressOnlyNumbersAndLocalhost) {
    const Endpoint lan{"192.168.1.20", 8421, "t"};
    EXPECT_EQ(hostStatus(lan, "192.168.1.20:8421"), 200);
    EXPECT_EQ(hostStatus(lan, "localhost:8421"), 403) << "the address listened on is not loopback";
    EXPECT_EQ(hostStatus(lan, "192.168.1.21:8421"), 403);
    const Endpoint all{"0.0.0.0", 8421, "t"};
    EXPECT_EQ(hostStatus(all, "10.0.0.7:8421"), 200);
    EXPECT_EQ(hostStatus(all, "localhost:8421"), 200);
    EXPECT_EQ(hostStatus(all, "caster-pc.example:8421"), 403) << "a name that another site's server could point here";
    EXPECT_EQ(hostStatus(all, ""), 403);
}

}  // namespace
}  // namespace quorvel::testing
