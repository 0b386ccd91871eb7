#pragma once

#include <string>

namespace kestrel {

// How a run of an operation ended, when it returned rather than threw.
enum class OperationStatus {
    Done,       // everything was done
    Refused,    // the input cannot be used; nothing was written
    FileError,  // a file could not be opened; nothing was written
};

// What an operation returns: how it ended and the message it showed.
struct OperationOutcome {
    OperationStatus status = OperationStatus::Done;
    std::string message;  // shown to the user; empty when Done
    std::string details;  // for a FileError: "PATH: REASON", the path as given
};

}  // namespace kestrel
