#pragma once

#include <signal.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quillory {

// A test program started for one test, which prints "ready <pid>" once its window shows. Killed
// when the test ends, then reaped by closing its output.
struct TestApplication {
    explicit TestApplication(const std::string& program,
                             const std::vector<std::string>& arguments = {})
        : output(popen(shellCommand(program, arguments).c_str(), "r"), &pclose) {
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

    // Every word quoted: a build tree's path may hold spaces.
    static std::string shellCommand(const std::string& program,
                                    const std::vector<std::string>& arguments) {
        std::string command = "exec";
        for (std::size_t index = 0; index <= arguments.size(); ++index) {
            command += " '";
            for (const char c : index == 0 ? program : arguments[index - 1]) {
                command += c == '\'' ? std::string("'\\''") : std::string(1, c);
            }
            command += '\'';
        }
        return command;
    }

    std::unique_ptr<FILE, int (*)(FILE*)> output;
    pid_t processID = -1;
};

}  // namespace quillory
