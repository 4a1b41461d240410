#include "platform/log/logger.h"

#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace quillory {

namespace {

bool journalPresent() {
    // journald owns this socket; without it sd_journal_send would fail silently.
    static const bool present = access("/run/systemd/journal/socket", W_OK) == 0;
    return present;
}

std::string formatted(const char* format, va_list arguments) {
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

void emit(const Logger& logger, int priority, const char* level, const std::string& message) {
    if (journalPresent()) {
        sd_journal_send("MESSAGE=%s", message.c_str(), "PRIORITY=%i", priority,
                        "QUILLORY_SUBSYSTEM=%s", logger.subsystem().c_str(), "QUILLORY_CATEGORY=%s",
                        logger.category().c_str(), nullptr);
        return;
    }
    std::fprintf(stderr, "[%s %s] %s: %s\n", logger.subsystem().c_str(), logger.category().c_str(),
                 level, message.c_str());
}

bool debugNamed(const std::string& subsystem, const std::string& category) {
    const char* list = std::getenv("QUILLORY_DEBUG");
    if (list == nullptr) {
        return false;
    }
    const std::string qualified = subsystem + "." + category;
    std::string_view rest = list;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view name = rest.substr(0, comma);
        if (name == "*" || name == subsystem || name == qualified) {
            return true;
        }
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return false;
}

}  // namespace

Logger::Logger(std::string subsystem, std::string category)
    : subsystem_(std::move(subsystem)),
      category_(std::move(category)),
      debug_(debugNamed(subsystem_, category_)) {}

#define QUILLORY_LOG_LEVEL(name, priority, enabled)               \
    void Logger::name(const char* format, ...) const {            \
        if (!(enabled)) {                                         \
            return;                                               \
        }                                                         \
        va_list arguments;                                        \
        va_start(arguments, format);                              \
        const std::string message = formatted(format, arguments); \
        va_end(arguments);                                        \
        emit(*this, priority, #name, message);                    \
    }

QUILLORY_LOG_LEVEL(debug, LOG_DEBUG, debug_)
QUILLORY_LOG_LEVEL(info, LOG_INFO, true)
QUILLORY_LOG_LEVEL(error, LOG_ERR, true)

#undef QUILLORY_LOG_LEVEL

}  // namespace quillory
