#pragma once

#include <string>

namespace quillory {

// A logger for one subsystem and category: journald with those as fields when the journal
// is there, stderr otherwise. Safe from any thread.
class Logger {
  public:
    Logger(std::string subsystem, std::string category);

    void debug(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    void info(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    void error(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    const std::string& subsystem() const { return subsystem_; }
    const std::string& category() const { return category_; }

  private:
    std::string subsystem_;
    std::string category_;
};

}  // namespace quillory
