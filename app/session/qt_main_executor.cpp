#include "app/session/qt_main_executor.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <cmath>

#include "platform/clock/clock.h"

namespace quillory {

namespace {

// One scheduled call. Touched on the GUI thread only, except `cancelled`.
struct PendingTimer {
    std::atomic<bool> cancelled{false};
    std::function<void()> work;
    std::uint64_t due = 0;
    QTimer* timer = nullptr;
};

void release(const std::shared_ptr<PendingTimer>& pending) {
    if (pending->timer) {
        pending->timer->stop();
        pending->timer->deleteLater();
        pending->timer = nullptr;
    }
    pending->work = nullptr;
}

int millisecondsUntil(std::uint64_t due) {
    const std::uint64_t now = uptimeNanoseconds();
    if (due <= now) {
        return 0;
    }
    // Rounded up: a timer that fires early by a fraction would otherwise run early.
    return static_cast<int>((due - now + 999'999) / 1'000'000);
}

}  // namespace

QtMainExecutor::QtMainExecutor() : context_(new QObject) {
    state_->context = context_;
    if (QCoreApplication* application = QCoreApplication::instance()) {
        QObject::connect(application, &QCoreApplication::aboutToQuit, context_,
                         [state = state_] { state->open = false; });
    }
}

QtMainExecutor::~QtMainExecutor() {
    state_->open = false;
    {
        std::lock_guard lock(state_->mutex);
        state_->context = nullptr;
    }
    if (isCurrent()) {
        // Destroys every call still queued, here on the GUI thread.
        delete context_;
    } else {
        // Never destroyed off the GUI thread: if the loop no longer runs, it is left alone.
        context_->deleteLater();
    }
}

void QtMainExecutor::close() {
    state_->open = false;
}

void QtMainExecutor::post(std::function<void()> work) {
    QMetaObject::invokeMethod(
        context_,
        [state = state_, work = std::move(work)] {
            if (state->open) {
                work();
            }
        },
        Qt::QueuedConnection);
}

Timer QtMainExecutor::after(double seconds, std::function<void()> work) {
    auto pending = std::make_shared<PendingTimer>();
    pending->work = std::move(work);
    pending->due =
        uptimeNanoseconds() + static_cast<std::uint64_t>(std::ceil(std::max(seconds, 0.0) * 1e9));
    auto arm = [state = state_, context = context_, pending] {
        if (pending->cancelled || !state->open) {
            pending->work = nullptr;
            return;
        }
        auto* timer = new QTimer(context);
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        pending->timer = timer;
        QObject::connect(timer, &QTimer::timeout, timer, [state, pending] {
            if (pending->cancelled || !state->open) {
                release(pending);
                return;
            }
            if (const int left = millisecondsUntil(pending->due); left > 0) {
                pending->timer->start(left);
                return;
            }
            pending->cancelled = true;
            auto run = std::move(pending->work);
            release(pending);
            run();
        });
        timer->start(millisecondsUntil(pending->due));
    };
    if (isCurrent()) {
        arm();
    } else {
        QMetaObject::invokeMethod(context_, std::move(arm), Qt::QueuedConnection);
    }
    std::weak_ptr<PendingTimer> weakPending = pending;
    std::weak_ptr<State> weakState = state_;
    return Timer([weakPending, weakState] {
        auto held = weakPending.lock();
        auto state = weakState.lock();
        if (!held || !state || held->cancelled.exchange(true)) {
            return;
        }
        std::lock_guard lock(state->mutex);
        if (!state->context) {
            return;
        }
        if (QThread::currentThread() == state->context->thread()) {
            release(held);
        } else {
            // The work is destroyed on the GUI thread, like everything posted.
            QMetaObject::invokeMethod(
                state->context, [held] { release(held); }, Qt::QueuedConnection);
        }
    });
}

bool QtMainExecutor::isCurrent() const {
    return QThread::currentThread() == context_->thread();
}

}  // namespace quillory
