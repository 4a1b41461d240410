#include "app/studio/bench/glass_bench_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillory::bench {

BenchProcess::BenchProcess(const std::vector<std::string>& command, LineHandler onLine) {
    int in[2], out[2];
    if (command.empty() || pipe2(in, O_CLOEXEC) != 0) {
        return;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> arguments = command;
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    const int output = out[0];
    reader_ = std::jthread([output, onLine = std::move(onLine)] {
        std::string buffer;
        char chunk[65536];
        while (true) {
            const ssize_t n = read(output, chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            buffer.append(chunk, static_cast<std::size_t>(n));
            std::size_t start = 0;
            for (auto end = buffer.find('\n', start); end != std::string::npos;
                 end = buffer.find('\n', start)) {
                onLine(buffer.substr(start, end - start));
                start = end + 1;
            }
            buffer.erase(0, start);
        }
        ::close(output);
    });
}

BenchProcess::~BenchProcess() {
    finish();
}

void BenchProcess::send(const std::string& line) {
    const std::string text = line + "\n";
    if (input_ >= 0) {
        (void)!write(input_, text.data(), text.size());
    }
}

void BenchProcess::finish() {
    if (input_ >= 0) {
        ::close(input_);
        input_ = -1;
    }
    if (pid_ > 0) {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    if (reader_.joinable()) {
        reader_.join();
    }
}

}  // namespace quillory::bench
