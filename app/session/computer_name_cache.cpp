#include "app/session/computer_name_cache.h"

#include <QtConcurrent/QtConcurrentRun>

#include "app/session/computer_name.h"

namespace quillory {

ComputerNameCache::ComputerNameCache(LookUp lookUp, QString initial) : lookUp_(std::move(lookUp)) {
    state_->name = std::move(initial);
    refresh();
}

ComputerNameCache& ComputerNameCache::shared() {
    static ComputerNameCache cache([] { return computerName(); }, hostComputerName());
    return cache;
}

QString ComputerNameCache::name() {
    refresh();
    std::lock_guard lock(state_->mutex);
    return state_->name;
}

void ComputerNameCache::refresh() {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->lookingUp) {
            return;
        }
        state_->lookingUp = true;
    }
    // The future is not kept: the pool owns the task, which finds nothing once the cache is gone.
    (void)QtConcurrent::run([weak = std::weak_ptr<State>(state_), lookUp = lookUp_] {
        QString answer = lookUp();
        const auto state = weak.lock();
        if (!state) {
            return;
        }
        std::lock_guard lock(state->mutex);
        state->lookingUp = false;
        // An empty answer (no name source at all) keeps the name we had.
        if (!answer.isEmpty()) {
            state->name = std::move(answer);
        }
    });
}

}  // namespace quillory
