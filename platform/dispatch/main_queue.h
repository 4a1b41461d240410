#pragma once

#include <functional>
#include <memory>

#include "platform/dispatch/executor.h"
#include "platform/dispatch/timer.h"

namespace quillory {

// The process-wide main queue: the Qt event loop in the application, a SerialQueue in programs
// without a UI event loop, a manual loop in tests. Work posted before an executor is installed is
// an error.
class MainQueue {
  public:
    static void install(std::shared_ptr<Executor> executor);
    // Takes the executor down as the program ends. Work other threads still hand over (a closed
    // channel's last references) is dropped on their own thread instead of aborting the exit.
    static void shutDown();
    static std::shared_ptr<Executor> executor();

    static void post(std::function<void()> work);
    static Timer after(double seconds, std::function<void()> work);
    static bool isCurrent();
};

}  // namespace quillory
