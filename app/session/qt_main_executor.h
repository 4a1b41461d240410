#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <mutex>

#include "platform/dispatch/main_queue.h"

namespace quillory {

// The main queue on the Qt event loop of the GUI thread. Work posted from one thread runs in the
// order it was posted; timers are precise single-shot QTimers on the GUI thread and never fire
// early. Once the loop has ended (aboutToQuit) nothing posted runs any more, and what was posted
// is destroyed on the GUI thread, never on the posting one: a queue must not end up destroying
// the object that owns it.
// Create and destroy it on the GUI thread, with a QCoreApplication running.
class QtMainExecutor final : public Executor {
  public:
    QtMainExecutor();
    ~QtMainExecutor() override;
    QtMainExecutor(const QtMainExecutor&) = delete;
    QtMainExecutor& operator=(const QtMainExecutor&) = delete;

    void post(std::function<void()> work) override;
    Timer after(double seconds, std::function<void()> work) override;
    bool isCurrent() const override;

    // Ends the executor's life as the loop does; called by aboutToQuit.
    void close();

  private:
    struct State {
        std::atomic<bool> open{true};
        std::mutex mutex;
        QObject* context = nullptr;  // guarded by `mutex` for timer handles on other threads
    };

    std::shared_ptr<State> state_ = std::make_shared<State>();
    QObject* context_;  // lives on the GUI thread; receives every posted call
};

}  // namespace quillory
