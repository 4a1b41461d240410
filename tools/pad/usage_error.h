#pragma once

#include <string>

namespace quillory::pad {

// A command line or typed command that does not fit; the message tells the user what would.
struct UsageError {
    std::string message;
};

}  // namespace quillory::pad
