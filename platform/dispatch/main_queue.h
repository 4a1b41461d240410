#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/dispatch/serial_queue.h"
#include "platform/dispatch/timer.h"

namespace quillory {

// What runs the main queue: the Qt event loop in the application, a manual loop in tests.
class MainExecutor {
  public:
    virtual ~MainExecutor() = default;
    virtual void post(std::function<void()> work) = 0;
    virtual Timer after(double seconds, std::function<void()> work) = 0;
    virtual bool isCurrent() const = 0;
};

// The process-wide main queue. Work posted before an executor is installed is an error.
class MainQueue {
  public:
    static void install(std::shared_ptr<MainExecutor> executor);
    static std::shared_ptr<MainExecutor> executor();

    static void post(std::function<void()> work);
    static Timer after(double seconds, std::function<void()> work);
    static bool isCurrent();
};

// A main queue on a thread of its own, for programs without a UI event loop; with another label,
// any named serial queue offered through the executor interface.
class ThreadMainExecutor final : public MainExecutor {
  public:
    explicit ThreadMainExecutor(std::string label = "main");
    ~ThreadMainExecutor() override;

    void post(std::function<void()> work) override;
    Timer after(double seconds, std::function<void()> work) override;
    bool isCurrent() const override;

  private:
    std::unique_ptr<SerialQueue> queue_;
};

}  // namespace quillory
