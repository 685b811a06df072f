#pragma once
// The one exception type of the program. Readers, loaders and handlers throw it with a
// message that names the file, the line and the value at fault; the backend's event loop
// shows the message and ends the program with a non-zero exit code. A reader that knows
// the file and the line at fault also gives them apart, so a notice can name them to a
// page or a deck without taking the message apart.
#include <cstddef>
#include <stdexcept>
#include <string>

namespace quorvel {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
    Error(const std::string& message, std::string file, std::size_t line = 0)
        : std::runtime_error(message), file_(std::move(file)), line_(line) {}

    // The file at fault and its line (from 1), "" and 0 when not known.
    const std::string& file() const { return file_; }
    std::size_t line() const { return line_; }

private:
    std::string file_;
    std::size_t line_ = 0;
};

}  // namespace quorvel
