#include "tools/pad/host_search.h"

#include <utility>

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/sequence_checker.h"

namespace quillory::pad {

Result<void, std::string> HostSearch::start(
    double wait, std::function<void(const std::vector<CompanionHost>&)> found) {
    QUILLORY_CHECK_MAIN_THREAD();
    browser_ = CompanionBrowser::create();
    found_ = std::move(found);
    std::weak_ptr<HostSearch> weak = weak_from_this();
    browser_->onAllForNow = [weak] {
        if (auto self = weak.lock()) {
            self->settleSoon();
        }
    };
    browser_->onHostsChanged = [weak](const std::vector<CompanionHost>&) {
        if (auto self = weak.lock(); self && self->settleTimer_.isScheduled()) {
            self->settleSoon();
        }
    };
    timer_ = MainQueue::after(wait, [weak] {
        if (auto self = weak.lock()) {
            self->finish();
        }
    });
    auto started = browser_->start();
    if (!started) {
        timer_.cancel();
        browser_.reset();
    }
    return started;
}

void HostSearch::settleSoon() {
    std::weak_ptr<HostSearch> weak = weak_from_this();
    settleTimer_ = MainQueue::after(settleTime, [weak] {
        if (auto self = weak.lock()) {
            self->finish();
        }
    });
}

void HostSearch::finish() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!browser_) {
        return;
    }
    timer_.cancel();
    settleTimer_.cancel();
    found_(browser_->hosts());
    browser_.reset();
}

}  // namespace quillory::pad
