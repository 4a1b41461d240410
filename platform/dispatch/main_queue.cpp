#include "platform/dispatch/main_queue.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace quillory {

namespace {

std::mutex installMutex;
std::shared_ptr<Executor> installed;
bool shutDownDone = false;

}  // namespace

void MainQueue::install(std::shared_ptr<Executor> executor) {
    std::lock_guard lock(installMutex);
    installed = std::move(executor);
    shutDownDone = false;
}

void MainQueue::shutDown() {
    std::shared_ptr<Executor> last;
    {
        std::lock_guard lock(installMutex);
        last = std::move(installed);
        shutDownDone = true;
    }
    // Destroyed outside the lock: a thread executor joins its thread, whose work may post.
    last.reset();
}

std::shared_ptr<Executor> MainQueue::executor() {
    std::lock_guard lock(installMutex);
    if (!installed && !shutDownDone) {
        std::fputs("quillory: the main queue is used before an executor is installed\n", stderr);
        std::abort();
    }
    return installed;
}

void MainQueue::post(std::function<void()> work) {
    if (auto current = executor()) {
        current->post(std::move(work));
    }
}

Timer MainQueue::after(double seconds, std::function<void()> work) {
    if (auto current = executor()) {
        return current->after(seconds, std::move(work));
    }
    return {};
}

bool MainQueue::isCurrent() {
    const auto current = executor();
    return current && current->isCurrent();
}

}  // namespace quillory
