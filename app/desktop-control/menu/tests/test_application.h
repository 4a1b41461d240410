#pragma once

#include <signal.h>

#include <cstdio>
#include <memory>
#include <string>

namespace quillory {

// A test program started for one test, which prints "ready <pid>" once its window shows. Killed
// when the test ends, then reaped by closing its output.
struct TestApplication {
    explicit TestApplication(const std::string& command)
        : output(popen(("exec " + command).c_str(), "r"), &pclose) {
        if (!output || std::fscanf(output.get(), "ready %d", &processID) != 1) {
            processID = -1;
        }
    }
    ~TestApplication() {
        if (processID > 0) {
            kill(processID, SIGKILL);
        }
    }
    bool isReady() const { return processID > 0; }

    std::unique_ptr<FILE, int (*)(FILE*)> output;
    pid_t processID = -1;
};

}  // namespace quillory
