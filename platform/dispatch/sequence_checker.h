#pragma once

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace quillory {

// Checks that an object is used from one sequence: the main thread or one SerialQueue's thread.
// It binds to the first thread that asks; detach() lets the next caller bind it again, for an
// object built on one thread and then handed to its queue. Checks run in debug and sanitizer
// builds (QUILLORY_SEQUENCE_CHECKS) and cost nothing elsewhere.
class SequenceChecker {
  public:
#ifdef QUILLORY_SEQUENCE_CHECKS
    bool isCurrent() const {
        const auto self = std::this_thread::get_id();
        std::thread::id expected{};
        return owner_.compare_exchange_strong(expected, self) || expected == self;
    }
    void detach() {
        owner_.store(std::thread::id{});
    }

  private:
    mutable std::atomic<std::thread::id> owner_{};
#else
    bool isCurrent() const {
        return true;
    }
    void detach() {}
#endif
};

[[noreturn]] inline void sequenceViolation(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: called off its sequence: %s\n", file, line, what);
    std::abort();
}

}  // namespace quillory

#ifdef QUILLORY_SEQUENCE_CHECKS
// Aborts unless the caller is on the checker's sequence.
#define QUILLORY_CHECK_SEQUENCE(checker)                                 \
    do {                                                                 \
        if (!(checker).isCurrent())                                      \
            ::quillory::sequenceViolation(#checker, __FILE__, __LINE__); \
    } while (false)
// Aborts unless the caller runs on the queue (anything with isCurrent(): SerialQueue, MainQueue).
#define QUILLORY_CHECK_ON(queue)                                       \
    do {                                                               \
        if (!(queue).isCurrent())                                      \
            ::quillory::sequenceViolation(#queue, __FILE__, __LINE__); \
    } while (false)
// Needs platform/dispatch/main_queue.h where it is used.
#define QUILLORY_CHECK_MAIN_THREAD()                                          \
    do {                                                                      \
        if (!::quillory::MainQueue::isCurrent())                              \
            ::quillory::sequenceViolation("main thread", __FILE__, __LINE__); \
    } while (false)
#else
#define QUILLORY_CHECK_SEQUENCE(checker) static_cast<void>(0)
#define QUILLORY_CHECK_ON(queue) static_cast<void>(0)
#define QUILLORY_CHECK_MAIN_THREAD() static_cast<void>(0)
#endif
