#include "platform/log/logger.h"

#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <string>
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

}  // namespace

Logger::Logger(std::string subsystem, std::string category)
    : subsystem_(std::move(subsystem)), category_(std::move(category)) {}

#define QUILLORY_LOG_LEVEL(name, priority)                        \
    void Logger::name(const char* format, ...) const {            \
        va_list arguments;                                        \
        va_start(arguments, format);                              \
        const std::string message = formatted(format, arguments); \
        va_end(arguments);                                        \
        emit(*this, priority, #name, message);                    \
    }

QUILLORY_LOG_LEVEL(debug, LOG_DEBUG)
QUILLORY_LOG_LEVEL(info, LOG_INFO)
QUILLORY_LOG_LEVEL(error, LOG_ERR)

#undef QUILLORY_LOG_LEVEL

}  // namespace quillory
