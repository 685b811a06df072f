#pragma once
// Shared by the fuzz targets: a headless platform whose program folder holds one file
// with the fuzzer's bytes, and the checks every target makes. A target feeds the bytes
// to the program's own reader; the reader must give a filled result or quorvel::Error
// naming the file. Anything else (another exception, a wrong result) aborts, which
// libFuzzer reports as a finding together with the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
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
        if (const auto other = others_.find(path); other != others_.end()) return other->second;
        return sim::SimPlatform::readFile(path);
    }
    bool fileExists(const std::string& path) override { return path == path_ || others_.contains(path); }
    // Another file the reader may consult, with fixed bytes.
    void addFile(const std::string& path, std::string bytes) { others_[path] = std::move(bytes); }

private:
    std::string path_;
    std::string bytes_;
    std::map<std::string, std::string> others_;
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
