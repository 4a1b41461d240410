#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "protocol/json_codec.h"

namespace quillory::pad {

// What a command-line program tells its user: readable lines, or with --json one JSON object per
// line on standard output for scripts. Safe from any thread.
class EventOutput {
  public:
    explicit EventOutput(bool json) : json_(json) {}

    bool json() const { return json_; }
    // {"event":name, ...fields} as a JSON line; else `text` as a line when not empty.
    void event(std::string_view name, Json fields, const std::string& text);
    // An "error" event, or the message on standard error.
    void error(const std::string& message);

  private:
    const bool json_;
    std::mutex mutex_;
};

}  // namespace quillory::pad
