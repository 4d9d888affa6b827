#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace dravel::port {

// Thrown by a backend factory that cannot start: the message is one German
// line naming the cause and the fix. The command line prints it and ends the
// program before any window opens; there is no silent fallback.
class StartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where backends say the few things a user must know while the program runs
// (a shadowed register bit, an address refused). One line per call, without
// the line end.
using MessageSink = std::function<void(const std::string&)>;

// Writes "dravel: <line>" to standard error.
MessageSink stderrSink();

}  // namespace dravel::port
