#pragma once

#include <string>

namespace quillory {

// A logger for one subsystem and category: journald with those as fields when the journal
// is there, stderr otherwise. Safe from any thread.
//
// Debug messages are off unless the environment variable QUILLORY_DEBUG, read when the logger is
// made, names it: "*" for every logger, else a comma-separated list of subsystems and
// "subsystem.category" pairs ("video", "video.encoder").
class Logger {
  public:
    Logger(std::string subsystem, std::string category);

    void debug(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    void info(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    void error(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    const std::string& subsystem() const { return subsystem_; }
    const std::string& category() const { return category_; }
    bool debugEnabled() const { return debug_; }

  private:
    std::string subsystem_;
    std::string category_;
    bool debug_ = false;
};

}  // namespace quillory
