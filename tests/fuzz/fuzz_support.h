#pragma once
// Shared by the fuzz targets: a headless platform whose program folder holds one file
// with the fuzzer's bytes, and the checks every target makes. A target feeds the bytes
// to the program's own reader; the reader must give a filled result or quorvel::Error
// naming the file. Anything else (another exception, a wrong result) aborts, which
// libFuzzer reports as a finding together with the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sim/sim_platform.h"
#include "ui/error.h"

namespace quorvel::fuzz {

constexpr const char* kProgramFolder = "C:\\Quorvel";

// Reads the file at `path` from the bytes given; every other file is missing.
class FuzzPlatform final : public sim::SimPlatform {
public:
    FuzzPlatform(std::string path, const std::uint8_t* data, std::size_t size)
        : sim::SimPlatform(kProgramFolder), path_(std::move(path)), bytes_(reinterpret_cast<const char*>(data), size) {}

    std::string readFile(const std::string& path) override {
        if (path == path_) return bytes_;
        return sim::SimPlatform::readFile(path);
    }

private:
    std::string path_;
    std::string bytes_;
};

[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

inline void require(bool condition, const std::string& what) {
    if (!condition) fail(what);
}

// Runs `read`. True when it returned; false when it threw quorvel::Error whose message
// names `file`. Any other exception escapes to libFuzzer, which reports it.
template <class Read>
bool readsOrFailsNaming(const std::string& file, Read&& read) {
    try {
        read();
        return true;
    } catch (const Error& error) {
        const std::string message = error.what();
        require(message.find(file) != std::string::npos, "the message \"" + message + "\" does not name " + file);
        return false;
    }
}

}  // namespace quorvel::fuzz
