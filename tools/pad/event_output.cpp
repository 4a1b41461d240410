#include "tools/pad/event_output.h"

#include <cstdio>

namespace quillory::pad {

void EventOutput::event(std::string_view name, Json fields, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (json_) {
        Json line{{"event", name}};
        for (auto& [key, value] : fields.items()) {
            line[key] = std::move(value);
        }
        std::fputs((dumpJSON(line) + "\n").c_str(), stdout);
    } else if (!text.empty()) {
        std::fputs((text + "\n").c_str(), stdout);
    }
    std::fflush(stdout);
}

void EventOutput::error(const std::string& message) {
    if (json_) {
        event("error", {{"message", message}}, {});
        return;
    }
    std::lock_guard lock(mutex_);
    std::fputs((message + "\n").c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace quillory::pad
