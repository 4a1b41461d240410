#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace quillory::bench {

// A child process of the benchmark with its stdin and stdout on pipes. Each line it writes is
// handed to `onLine` on the process's reader thread; closing its stdin asks it to end.
class BenchProcess {
  public:
    using LineHandler = std::function<void(const std::string& line)>;

    BenchProcess(const std::vector<std::string>& command, LineHandler onLine);
    ~BenchProcess();
    BenchProcess(const BenchProcess&) = delete;
    BenchProcess& operator=(const BenchProcess&) = delete;

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void send(const std::string& line);
    // Closes its stdin, waits for it to exit and for the last of its output.
    void finish();

  private:
    pid_t pid_ = -1;
    int input_ = -1;
    std::jthread reader_;
};

}  // namespace quillory::bench
