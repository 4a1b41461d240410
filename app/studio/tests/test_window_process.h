#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillory::testing {

// quillory-test-window as a child process: commands go to its stdin, its JSON lines come back.
// The executable is named by $QUILLORY_TEST_WINDOW.
class TestWindowProcess {
  public:
    explicit TestWindowProcess(const std::vector<std::string>& arguments);
    ~TestWindowProcess();
    TestWindowProcess(const TestWindowProcess&) = delete;
    TestWindowProcess& operator=(const TestWindowProcess&) = delete;

    bool running() const { return pid_ > 0; }
    std::uint32_t window() const { return window_; }

    void send(const std::string& command);
    // Reads lines until one contains `text`; that line, or nothing after the timeout.
    std::optional<std::string> waitFor(const std::string& text, double timeoutSeconds = 10);
    // Sends a command and waits for its acknowledgement; the lines read on the way.
    std::vector<std::string> command(const std::string& command);
    // The value of an integer field of a JSON line, e.g. number(line, "counter").
    static std::optional<long long> number(const std::string& line, const std::string& key);
    // Closes the window and waits for the process.
    void close();

  private:
    std::optional<std::string> readLine(double timeoutSeconds);

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string buffer_;
    std::vector<std::string> seen_;
    std::uint32_t window_ = 0;
};

}  // namespace quillory::testing
