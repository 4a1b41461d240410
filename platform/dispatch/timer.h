#pragma once

#include <functional>
#include <memory>

namespace quillory {

// A handle to scheduled work. Cancelling (or destroying the handle) stops the work from running
// if it has not started; cancelling from the queue the work runs on is always in time.
class Timer {
  public:
    Timer() = default;
    explicit Timer(std::function<void()> cancel);
    Timer(Timer&&) noexcept = default;
    Timer& operator=(Timer&& other) noexcept;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer();

    void cancel();
    bool isScheduled() const { return static_cast<bool>(cancel_); }

  private:
    std::function<void()> cancel_;
};

}  // namespace quillory
