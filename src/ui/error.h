#pragma once
// The one exception type of the program. Readers, loaders and handlers throw it with a
// message that names the file, the line and the value at fault; the backend's event loop
// shows the message and ends the program with a non-zero exit code.
#include <stdexcept>
#include <string>

namespace quorvel {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quorvel
