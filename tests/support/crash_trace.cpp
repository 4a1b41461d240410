// Linked into every test program of the plain build: a test that crashes prints its stack before
// it dies, so that a crash seen once on a CI machine, where no core is kept, leaves a trace.
#include <execinfo.h>
#include <signal.h>
#include <unistd.h>

#include <array>

namespace {

void printStack(int signal) {
    static constexpr char header[] = "\n*** fatal signal; the stack of the thread it hit:\n";
    [[maybe_unused]] const auto written = write(STDERR_FILENO, header, sizeof header - 1);
    std::array<void*, 64> frames{};
    backtrace_symbols_fd(frames.data(), backtrace(frames.data(), frames.size()), STDERR_FILENO);
    // The handler was reset on entry: the signal now ends the process as it would have.
    raise(signal);
}

const bool installed = [] {
    // The unwinder loads on first use, which must not happen inside the handler.
    std::array<void*, 1> warm{};
    backtrace(warm.data(), warm.size());
    struct sigaction action {};
    action.sa_handler = printStack;
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
        sigaction(signal, &action, nullptr);
    }
    return true;
}();

}  // namespace
