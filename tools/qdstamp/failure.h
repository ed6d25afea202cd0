// Failures that stop the current command.
//
// Low-level code throws Failure with a message that describes the problem
// inside the data being read; the command layer adds the file name (and the
// line, where there is one) and prints "error: <file>:<line>: <message>".
#pragma once

#include <stdexcept>
#include <string>

namespace qdstamp {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] inline void fail(const std::string& message) { throw Failure(message); }

}  // namespace qdstamp
