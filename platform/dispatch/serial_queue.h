#pragma once

#include <asio/io_context.hpp>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/dispatch/executor.h"
#include "platform/dispatch/timer.h"

namespace quillory {

// One named thread running an Asio io_context; work runs in the order it was submitted.
// Sockets and timers of the object that owns the queue live on context().
// Destroying the queue drops work that has not started and waits for the running one.
class SerialQueue final : public Executor {
  public:
    explicit SerialQueue(std::string label);
    ~SerialQueue() override;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const;
    asio::io_context& context();
    bool isCurrent() const override;

    void post(std::function<void()> work) override { async(std::move(work)); }
    void async(std::function<void()> work);
    // Runs work on the queue and waits for it. Refused (returns false, work not run) when called
    // from the queue itself, where waiting would deadlock, or once the queue is stopping.
    [[nodiscard]] bool sync(const std::function<void()>& work);

    Timer after(double seconds, std::function<void()> work) override;
    // First run one interval from now, then every interval.
    Timer every(double intervalSeconds, std::function<void()> work);

  private:
    struct State;
    static Timer schedule(const std::shared_ptr<State>& state, double delaySeconds,
                          double repeatSeconds, std::function<void()> work);
    std::shared_ptr<State> state_;
};

// Work that runs on the queue once the delay has passed by the timers' clock. The queue's own
// timers run it directly; another executor (a manual one with fake time in tests) hands it to
// the queue and waits for it, so whoever moved the time sees its effects. The queue must outlive
// the returned timer.
Timer afterOn(Executor& timers, SerialQueue& queue, double seconds, std::function<void()> work);

}  // namespace quillory
