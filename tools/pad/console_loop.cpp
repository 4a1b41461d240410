#include "tools/pad/console_loop.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdint>
#include <future>

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/serial_queue.h"

namespace quillory::pad {

ConsoleLoop::ConsoleLoop() {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    // Blocked before any other thread starts, so every thread inherits the mask.
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signalFd_ = ::signalfd(-1, &signals, SFD_CLOEXEC);
    ::signal(SIGPIPE, SIG_IGN);
}

ConsoleLoop::~ConsoleLoop() {
    ::close(wakeFd_);
    ::close(signalFd_);
}

void ConsoleLoop::finish(int status) {
    int unset = -1;
    if (status_.compare_exchange_strong(unset, status)) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
    }
}

int ConsoleLoop::run(const Handlers& handlers) {
    std::string pending;
    bool inputOpen = true;
    int signals = 0;
    for (;;) {
        pollfd fds[3] = {{wakeFd_, POLLIN, 0}, {signalFd_, POLLIN, 0}, {0, POLLIN, 0}};
        if (::poll(fds, inputOpen ? 3 : 2, -1) < 0) {
            continue;
        }
        if (fds[0].revents & POLLIN) {
            return status_.load();
        }
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(signalFd_, &info, sizeof info) == sizeof info) {
                if (++signals > 1) {
                    return 130;
                }
                handlers.signal();
            }
        }
        if (inputOpen && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buffer[4096];
            const auto count = ::read(0, buffer, sizeof buffer);
            if (count <= 0) {
                inputOpen = false;
                if (!pending.empty()) {
                    handlers.line(std::move(pending));
                }
                handlers.endOfInput();
                continue;
            }
            pending.append(buffer, static_cast<std::size_t>(count));
            for (auto end = pending.find('\n'); end != std::string::npos;
                 end = pending.find('\n')) {
                auto line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                handlers.line(std::move(line));
            }
        }
    }
}

int ConsoleLoop::runProgram(std::shared_ptr<void> program, std::function<void()> begin,
                            const Handlers& handlers) {
    MainQueue::install(std::make_shared<SerialQueue>("main"));
    MainQueue::post(std::move(begin));
    const int status = run(Handlers{
        [&](std::string line) { MainQueue::post([&handlers, line] { handlers.line(line); }); },
        [&] { MainQueue::post([&handlers] { handlers.endOfInput(); }); },
        [&] { MainQueue::post([&handlers] { handlers.signal(); }); },
    });
    std::promise<void> released;
    MainQueue::post([&] {
        program.reset();
        released.set_value();
    });
    released.get_future().wait();
    MainQueue::shutDown();
    return status;
}

}  // namespace quillory::pad
