#include "app/desktop-control/menu/tests/test_application.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillory {

namespace {

// Generous: the first toolkit start on a cold machine can be slow.
constexpr int readyTimeoutMilliseconds = 30000;

}  // namespace

TestApplication::TestApplication(const std::string& path,
                                 const std::vector<std::string>& arguments) {
    int pipe_[2];
    if (pipe(pipe_) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_[0]);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const int status =
        posix_spawn(&processID_, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_[1]);
    output_ = pipe_[0];
    if (status != 0) {
        processID_ = -1;
        return;
    }
    std::string line;
    pollfd readable{output_, POLLIN, 0};
    while (line.find("ready\n") == std::string::npos &&
           poll(&readable, 1, readyTimeoutMilliseconds) == 1) {
        char buffer[256];
        const ssize_t count = read(output_, buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        line.append(buffer, static_cast<std::size_t>(count));
    }
    ready_ = line.find("ready\n") != std::string::npos;
}

TestApplication::~TestApplication() {
    if (processID_ > 0) {
        kill(processID_, SIGKILL);
        waitpid(processID_, nullptr, 0);
    }
    if (output_ >= 0) {
        close(output_);
    }
}

}  // namespace quillory
