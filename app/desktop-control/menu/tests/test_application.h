#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quillory {

// A test program started for one test: waits until it prints "ready", kills it when destroyed.
class TestApplication {
  public:
    // isReady() tells whether the program started and announced itself.
    explicit TestApplication(const std::string& path,
                             const std::vector<std::string>& arguments = {});
    ~TestApplication();
    TestApplication(const TestApplication&) = delete;
    TestApplication& operator=(const TestApplication&) = delete;

    bool isReady() const { return ready_; }
    pid_t processID() const { return processID_; }

  private:
    pid_t processID_ = -1;
    int output_ = -1;
    bool ready_ = false;
};

}  // namespace quillory
