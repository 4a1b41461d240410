#include "app/shell/quit_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/log/logger.h"

namespace quillory {

namespace {

constexpr int quitSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP};

const Logger& logger() {
    static const Logger instance("app.quillory", "lifecycle");
    return instance;
}

sigset_t quitSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int number : quitSignalNumbers) {
        sigaddset(&set, number);
    }
    return set;
}

// The pipe of the stand-in handler; one process-wide, as signal dispositions are.
std::atomic<int> handlerPipe{-1};

void writeSignalNumber(int number) {
    const int savedErrno = errno;
    const int fd = handlerPipe.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(number);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

void QuitSignals::blockQuitSignals() {
    const sigset_t set = quitSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    const sigset_t set = quitSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0) {
        logger().error("No signalfd (errno %d); quit signals go through a pipe", errno);
        int ends[2];
        if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
            logger().error("No pipe for quit signals either (errno %d)", errno);
            return;
        }
        fd_ = ends[0];
        pipeWriteEnd_ = ends[1];
        usesPipe_ = true;
        handlerPipe.store(pipeWriteEnd_);
        struct sigaction action = {};
        action.sa_handler = writeSignalNumber;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int number : quitSignalNumbers) {
            sigaction(number, &action, nullptr);
        }
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &QuitSignals::readAll);
}

QuitSignals::~QuitSignals() {
    notifier_.reset();
    if (usesPipe_) {
        const sigset_t set = quitSignalSet();
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        struct sigaction action = {};
        action.sa_handler = SIG_DFL;
        for (int number : quitSignalNumbers) {
            sigaction(number, &action, nullptr);
        }
        handlerPipe.store(-1);
        ::close(pipeWriteEnd_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void QuitSignals::readAll() {
    for (;;) {
        int number = 0;
        if (usesPipe_) {
            unsigned char byte = 0;
            if (::read(fd_, &byte, 1) != 1) {
                return;
            }
            number = byte;
        } else {
            signalfd_siginfo info = {};
            if (::read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
                return;
            }
            number = static_cast<int>(info.ssi_signo);
        }
        emit received(number);
    }
}

}  // namespace quillory
