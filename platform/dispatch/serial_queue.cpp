#include "platform/dispatch/serial_queue.h"

#include <pthread.h>

#include <asio/executor_work_guard.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace quillory {

struct SerialQueue::State {
    explicit State(std::string name) : label(std::move(name)), guard(asio::make_work_guard(io)) {}

    std::string label;
    asio::io_context io;
    asio::executor_work_guard<asio::io_context::executor_type> guard;
    std::thread thread;
    std::atomic<std::thread::id> threadID{};
    std::atomic<bool> stopping{false};
};

namespace {

void nameThread(const std::string& label) {
    // Linux keeps 15 bytes of a thread name: the end of a reverse-DNS label tells queues apart.
    const std::string name = label.size() > 15 ? label.substr(label.size() - 15) : label;
    pthread_setname_np(pthread_self(), name.c_str());
}

// The asio timer is owned by the handlers waiting on it, so it never outlives its io_context;
// the handle reaches it weakly, and only on the queue.
struct TimerControl {
    std::atomic<bool> cancelled{false};
    std::weak_ptr<asio::steady_timer> timer;
};

std::chrono::nanoseconds toDuration(double seconds) {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(seconds > 0 ? seconds * 1e9 : 0));
}

void arm(const std::shared_ptr<asio::steady_timer>& timer,
         const std::shared_ptr<TimerControl>& control, std::chrono::nanoseconds delay,
         std::chrono::nanoseconds repeat, std::function<void()> work) {
    timer->expires_after(delay);
    timer->async_wait(
        [timer, control, repeat, work = std::move(work)](const std::error_code& error) {
            if (error || control->cancelled.load()) {
                return;
            }
            if (repeat.count() > 0) {
                // Re-armed before running, so the work may cancel its own timer.
                arm(timer, control, repeat, repeat, work);
            }
            work();
        });
}

}  // namespace

SerialQueue::SerialQueue(std::string label) : state_(std::make_shared<State>(std::move(label))) {
    std::promise<void> started;
    auto ready = started.get_future();
    // The thread holds the state, so a queue destroyed by its own work outlives that work.
    state_->thread = std::thread([state = state_, &started] {
        nameThread(state->label);
        state->threadID.store(std::this_thread::get_id());
        started.set_value();
        state->io.run();
    });
    ready.wait();
}

SerialQueue::~SerialQueue() {
    state_->stopping.store(true);
    state_->guard.reset();
    state_->io.stop();
    if (isCurrent()) {
        // Destroyed by its own work: the thread ends as soon as that work returns, then frees
        // the state; joining here would wait for ourselves.
        state_->thread.detach();
    } else {
        state_->thread.join();
    }
}

const std::string& SerialQueue::label() const {
    return state_->label;
}

asio::io_context& SerialQueue::context() {
    return state_->io;
}

bool SerialQueue::isCurrent() const {
    return state_->threadID.load() == std::this_thread::get_id();
}

void SerialQueue::async(std::function<void()> work) {
    asio::post(state_->io, std::move(work));
}

bool SerialQueue::sync(const std::function<void()>& work) {
    if (isCurrent() || state_->stopping.load()) {
        return false;
    }
    // If the queue stops first, the handler is destroyed unrun and the promise reports it.
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    asio::post(state_->io, [&work, done] {
        work();
        done->set_value();
    });
    try {
        finished.get();
        return true;
    } catch (const std::future_error&) {
        return false;
    }
}

Timer SerialQueue::after(double seconds, std::function<void()> work) {
    return schedule(state_, seconds, 0, std::move(work));
}

Timer SerialQueue::every(double intervalSeconds, std::function<void()> work) {
    return schedule(state_, intervalSeconds, intervalSeconds, std::move(work));
}

Timer SerialQueue::schedule(const std::shared_ptr<State>& state, double delaySeconds,
                            double repeatSeconds, std::function<void()> work) {
    auto control = std::make_shared<TimerControl>();
    std::weak_ptr<State> weakState = state;
    asio::post(state->io, [weakState, control, delay = toDuration(delaySeconds),
                           repeat = toDuration(repeatSeconds), work = std::move(work)]() mutable {
        auto live = weakState.lock();
        if (!live || control->cancelled.load()) {
            return;
        }
        auto timer = std::make_shared<asio::steady_timer>(live->io);
        control->timer = timer;
        arm(timer, control, delay, repeat, std::move(work));
    });
    return Timer([control, weakState] {
        control->cancelled.store(true);
        if (auto live = weakState.lock(); live && !live->stopping.load()) {
            asio::post(live->io, [control] {
                if (auto timer = control->timer.lock()) {
                    timer->cancel();
                }
            });
        }
    });
}

Timer afterOn(Executor& timers, SerialQueue& queue, double seconds, std::function<void()> work) {
    if (&timers == &queue) {
        return queue.after(seconds, std::move(work));
    }
    return timers.after(seconds, [&queue, work = std::move(work)] {
        if (queue.isCurrent()) {
            work();
        } else {
            // Refused once the queue stops; the owner is going, so the work has nothing to do.
            (void)queue.sync(work);
        }
    });
}

}  // namespace quillory
