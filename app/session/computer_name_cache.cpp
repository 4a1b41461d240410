#include "app/session/computer_name_cache.h"

#include <QtConcurrent/QtConcurrentRun>

#include "app/session/computer_name.h"
#include "platform/dispatch/main_queue.h"

namespace quillory {

std::shared_ptr<ComputerNameCache> ComputerNameCache::create(LookUp lookUp, QString initial) {
    std::shared_ptr<ComputerNameCache> cache(
        new ComputerNameCache(std::move(lookUp), std::move(initial)));
    cache->refresh();
    return cache;
}

std::shared_ptr<ComputerNameCache> ComputerNameCache::system() {
    return create([] { return computerName(); }, hostComputerName());
}

QString ComputerNameCache::name() {
    refresh();
    return name_;
}

void ComputerNameCache::refresh() {
    if (lookingUp_) {
        return;
    }
    lookingUp_ = true;
    std::weak_ptr<ComputerNameCache> weak = weak_from_this();
    // The future is not kept: the pool owns the task, and the answer returns by the main queue.
    (void)QtConcurrent::run([weak, lookUp = lookUp_] {
        QString answer = lookUp();
        MainQueue::post([weak, answer = std::move(answer)] {
            if (auto self = weak.lock()) {
                self->lookingUp_ = false;
                // An empty answer (no name source at all) keeps the one we had.
                if (!answer.isEmpty()) {
                    self->name_ = answer;
                }
            }
        });
    });
}

}  // namespace quillory
