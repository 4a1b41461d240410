#include "platform/accessibility/accessibility_connection.h"

#include <atspi/atspi.h>
#include <pthread.h>

#include <atomic>
#include <future>
#include <thread>

#include "platform/accessibility/atspi_menu_tree.h"
#include "platform/log/logger.h"

// libatspi answers names, roles and states from its cache only while it believes a main loop
// dispatches the bus's change events; atspi_event_main() would run that loop on the process's
// default context, which belongs to the UI thread. Pointing the library's loop at ours keeps the
// events here and the cache in use. Weak, so a libatspi without the symbol just reads uncached.
// NOLINTNEXTLINE(readability-identifier-naming): the library's own symbol.
extern "C" __attribute__((weak)) GMainLoop* atspi_main_loop;

namespace quillory {

namespace {

// atspi_init's answer when no accessibility bus can be reached.
constexpr int noAccessibilityBus = 2;

const Logger& logger() {
    static const Logger log("app.quillory.connection", "accessibility");
    return log;
}

struct Task {
    std::function<void()> work;
    std::promise<void> done;
};

}  // namespace

struct AccessibilityConnection::Thread {
    Limits limits;
    GMainContext* context = g_main_context_new();
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    bool available = false;  // written before `started` is fulfilled, read-only afterwards
    std::thread thread;

    void run(std::promise<void>& started) {
        pthread_setname_np(pthread_self(), "accessibility");
        g_main_context_push_thread_default(context);
        const int status = atspi_init();
        available = status != noAccessibilityBus;
        if (available) {
            // Events and replies of the bus are dispatched here, never on another thread's
            // default context.
            atspi_set_main_context(context);
            if (&atspi_main_loop != nullptr) {
                atspi_main_loop = loop;
            }
        } else {
            logger().info("No accessibility bus; menus cannot be read");
        }
        started.set_value();
        g_main_loop_run(loop);
        if (available) {
            if (&atspi_main_loop != nullptr) {
                atspi_main_loop = nullptr;
            }
            atspi_exit();
        }
        g_main_context_pop_thread_default(context);
    }

    ~Thread() {
        g_main_loop_unref(loop);
        g_main_context_unref(context);
    }
};

std::shared_ptr<AccessibilityConnection> AccessibilityConnection::shared() {
    static const std::shared_ptr<AccessibilityConnection> connection(
        new AccessibilityConnection(Limits{}));
    return connection;
}

AccessibilityConnection::AccessibilityConnection(Limits limits)
    : thread_(std::make_unique<Thread>()) {
    thread_->limits = limits;
    std::promise<void> started;
    thread_->thread = std::thread([this, &started] { thread_->run(started); });
    started.get_future().wait();
}

AccessibilityConnection::~AccessibilityConnection() {
    // Quit from inside the loop: a quit that came before the loop started running would be lost.
    g_main_context_invoke(
        thread_->context,
        [](gpointer loop) -> gboolean {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
        },
        thread_->loop);
    thread_->thread.join();
}

bool AccessibilityConnection::isAvailable() const {
    return thread_->available;
}

bool AccessibilityConnection::readMenus(pid_t processID,
                                        const std::function<void(AccessibleMenuTree&)>& read) {
    if (!thread_->available || std::this_thread::get_id() == thread_->thread.get_id()) {
        return false;
    }
    const Limits limits = thread_->limits;
    auto* task = new Task{[processID, limits, &read] {
        AtspiMenuTree tree(processID, AtspiMenuTree::Clock::now() + limits.readDeadline,
                           limits.callTimeout);
        read(tree);
    }};
    auto done = task->done.get_future();
    // A task that never runs (the connection is closing) is destroyed, and its broken promise
    // wakes the caller.
    g_main_context_invoke_full(
        thread_->context, G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            auto* queued = static_cast<Task*>(data);
            try {
                queued->work();
                queued->done.set_value();
            } catch (...) {
                queued->done.set_exception(std::current_exception());
            }
            return G_SOURCE_REMOVE;
        },
        task, [](gpointer data) { delete static_cast<Task*>(data); });
    try {
        done.get();
    } catch (const std::future_error&) {
        return false;
    }
    return true;
}

}  // namespace quillory
