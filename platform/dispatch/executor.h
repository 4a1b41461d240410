#pragma once

#include <functional>

#include "platform/dispatch/timer.h"

namespace quillory {

// Something that runs work in order on one sequence: a SerialQueue, the Qt event loop, or a
// manual loop in tests. Work posted from one thread runs in the order it was posted.
class Executor {
  public:
    virtual ~Executor() = default;
    virtual void post(std::function<void()> work) = 0;
    virtual Timer after(double seconds, std::function<void()> work) = 0;
    virtual bool isCurrent() const = 0;
};

}  // namespace quillory
