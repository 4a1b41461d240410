#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace quillory::pad {

// The real main thread of a command-line program: reads standard input line by line and
// catches Ctrl-C and SIGTERM, while the program's work runs on its main queue, until finish().
class ConsoleLoop {
  public:
    struct Handlers {
        std::function<void(std::string)> line;
        std::function<void()> endOfInput;
        std::function<void()> signal;  // the first SIGINT/SIGTERM; a second one exits at once
    };

    ConsoleLoop();
    ~ConsoleLoop();
    ConsoleLoop(const ConsoleLoop&) = delete;
    ConsoleLoop& operator=(const ConsoleLoop&) = delete;

    // Any thread: ends run() with this status; the first call wins.
    void finish(int status);
    int run(const Handlers& handlers);
    // Runs `begin` and every handler on a main queue of its own thread while this thread serves
    // the console; `program` is released on that queue before the status is returned.
    int runProgram(std::shared_ptr<void> program, std::function<void()> begin,
                   const Handlers& handlers);

  private:
    int wakeFd_ = -1;
    int signalFd_ = -1;
    std::atomic<int> status_{-1};
};

}  // namespace quillory::pad
