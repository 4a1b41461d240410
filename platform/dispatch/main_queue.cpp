#include "platform/dispatch/main_queue.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace quillory {

namespace {

std::mutex installMutex;
std::shared_ptr<MainExecutor> installed;

}  // namespace

void MainQueue::install(std::shared_ptr<MainExecutor> executor) {
    std::lock_guard lock(installMutex);
    installed = std::move(executor);
}

std::shared_ptr<MainExecutor> MainQueue::executor() {
    std::lock_guard lock(installMutex);
    if (!installed) {
        std::fputs("quillory: the main queue is used before an executor is installed\n", stderr);
        std::abort();
    }
    return installed;
}

void MainQueue::post(std::function<void()> work) {
    executor()->post(std::move(work));
}

Timer MainQueue::after(double seconds, std::function<void()> work) {
    return executor()->after(seconds, std::move(work));
}

bool MainQueue::isCurrent() {
    return executor()->isCurrent();
}

ThreadMainExecutor::ThreadMainExecutor(std::string label)
    : queue_(std::make_unique<SerialQueue>(std::move(label))) {}

ThreadMainExecutor::~ThreadMainExecutor() = default;

void ThreadMainExecutor::post(std::function<void()> work) {
    queue_->async(std::move(work));
}

Timer ThreadMainExecutor::after(double seconds, std::function<void()> work) {
    return queue_->after(seconds, std::move(work));
}

bool ThreadMainExecutor::isCurrent() const {
    return queue_->isCurrent();
}

}  // namespace quillory
