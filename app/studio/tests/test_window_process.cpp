#include "app/studio/tests/test_window_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <utility>

extern char** environ;

namespace quillory::testing {

TestWindowProcess::TestWindowProcess(const std::vector<std::string>& arguments) {
    const char* program = std::getenv("QUILLORY_TEST_WINDOW");
    if (!program) {
        return;
    }
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program, &actions, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
    if (const auto ready = waitFor("\"ready\"")) {
        window_ = static_cast<std::uint32_t>(number(*ready, "window").value_or(0));
    }
}

TestWindowProcess::~TestWindowProcess() {
    close();
    if (output_ >= 0) {
        ::close(output_);
    }
}

void TestWindowProcess::send(const std::string& command) {
    const std::string line = command + "\n";
    if (input_ >= 0) {
        (void)!write(input_, line.data(), line.size());
    }
}

std::optional<std::string> TestWindowProcess::readLine(double timeoutSeconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (true) {
        if (const auto end = buffer_.find('\n'); end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || output_ < 0) {
            return std::nullopt;
        }
        pollfd fd{output_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t n = read(output_, chunk, sizeof chunk);
        if (n <= 0) {
            return std::nullopt;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> TestWindowProcess::waitFor(const std::string& text,
                                                      double timeoutSeconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        const double left =
            std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
        auto line = readLine(left);
        if (!line) {
            return std::nullopt;
        }
        seen_.push_back(*line);
        if (line->find(text) != std::string::npos) {
            return line;
        }
    }
    return std::nullopt;
}

std::vector<std::string> TestWindowProcess::command(const std::string& command) {
    seen_.clear();
    send(command);
    waitFor("\"ack\"");
    return std::exchange(seen_, {});
}

std::optional<long long> TestWindowProcess::number(const std::string& line,
                                                   const std::string& key) {
    const auto at = line.find("\"" + key + "\":");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return std::strtoll(line.c_str() + at + key.size() + 3, nullptr, 10);
}

void TestWindowProcess::close() {
    if (input_ >= 0) {
        send("close");
        ::close(input_);
        input_ = -1;
    }
    if (pid_ > 0) {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

}  // namespace quillory::testing
