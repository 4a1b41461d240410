#include "platform/process/relaunch_watcher.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files/unique_fd.h"
#include "platform/process/executable_path.h"

namespace quillory {

namespace {

[[noreturn]] void reportAndExit(int report, int code) {
    (void)!::write(report, &code, sizeof code);
    ::_exit(1);
}

// Only async-signal-safe calls from here on: the parent may have other threads.
[[noreturn]] void runWatcher(int report, const char* shell, char* const argv[]) {
    const auto fail = [report](int code) { reportAndExit(report, code); };
    const int null = ::open("/dev/null", O_RDWR);
    if (null < 0) {
        fail(errno);
    }
    for (int fd = 0; fd <= 2; ++fd) {
        if (::dup2(null, fd) < 0) {
            fail(errno);
        }
    }
    // Every inherited descriptor, close-on-exec or not, would pass to the new instance: the old
    // listener's port, the virtual pen. Only the report pipe stays, and it closes on exec.
    if (report > 3 && ::syscall(SYS_close_range, 3U, static_cast<unsigned>(report - 1), 0U) != 0) {
        fail(errno);
    }
    if (::syscall(SYS_close_range, static_cast<unsigned>(report + 1), ~0U, 0U) != 0) {
        fail(errno);
    }
    ::execv(shell, argv);
    reportAndExit(report, errno);
}

}  // namespace

Result<void, std::string> startRelaunchWatcher(pid_t waitFor, const std::filesystem::path& program,
                                               const char* shell) {
    const std::string script = "while kill -0 " + std::to_string(waitFor) +
                               " 2>/dev/null; do sleep 0.2; done; exec \"$0\"";
    std::string shellName = shell;
    std::string flag = "-c";
    std::string target = program.string();
    char* const argv[] = {shellName.data(), flag.data(), const_cast<char*>(script.c_str()),
                          target.data(), nullptr};

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return Failure(std::string("pipe: ") + std::strerror(errno));
    }
    UniqueFd reading(fds[0]);
    UniqueFd writing(fds[1]);
    const pid_t middle = ::fork();
    if (middle < 0) {
        return Failure(std::string("fork: ") + std::strerror(errno));
    }
    if (middle == 0) {
        // The middle child leads a new session and leaves at once; the watcher, orphaned,
        // belongs to init and is never left as our zombie.
        ::setsid();
        const pid_t watcher = ::fork();
        if (watcher < 0) {
            reportAndExit(writing.get(), errno);
        }
        if (watcher == 0) {
            runWatcher(writing.get(), shell, argv);
        }
        ::_exit(0);
    }
    writing.reset();
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe ends when the shell is running (close-on-exec) or reports why it is not.
    int code = 0;
    ssize_t got;
    do {
        got = ::read(reading.get(), &code, sizeof code);
    } while (got < 0 && errno == EINTR);
    if (got == static_cast<ssize_t>(sizeof code)) {
        return Failure(std::string("cannot start ") + shell + ": " + std::strerror(code));
    }
    return {};
}

Result<void, std::string> startRelaunchWatcher() {
    if (executablePath().empty()) {
        return Failure(std::string("this program's path is unknown"));
    }
    return startRelaunchWatcher(::getpid(), executablePath());
}

}  // namespace quillory
