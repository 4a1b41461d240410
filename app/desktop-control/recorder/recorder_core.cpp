#include "app/desktop-control/recorder/recorder_core.h"

#include <utility>

#include "app/desktop-control/recorder/recorder_keys.h"
#include "platform/dispatch/main_queue.h"

namespace quillory {

RecorderCore::RecorderCore(std::shared_ptr<Executor> executor, RecorderSurface& surface)
    : executor_(std::move(executor)), surface_(surface) {}

void RecorderCore::start(Finish finish) {
    stop(false);
    finish_ = std::move(finish);
    reset();
    surface_.open();
    surfaceOpen_ = true;
    armTimeout();
}

void RecorderCore::stop(bool notify) {
    timeout_.cancel();
    handOver_.cancel();
    if (surfaceOpen_) {
        surfaceOpen_ = false;
        surface_.close();
    }
    Finish finish = std::exchange(finish_, nullptr);
    if (notify && finish) {
        finish(std::nullopt);
    }
}

void RecorderCore::keyDown(std::uint16_t evdevCode, bool isRepeat,
                           const std::vector<DesktopKey>& held, const Keymap* keymap) {
    if (!surfaceOpen_ || isRepeat || state_.result) {
        return;
    }
    if (isEscapeCode(evdevCode) && held.empty()) {
        stop(true);
        return;
    }
    const auto key = recordedKey(evdevCode, keymap);
    if (!key) {
        surface_.beep();
        return;
    }
    std::vector<DesktopKey> chord = held;
    chord.push_back(*key);
    complete(std::move(chord));
}

void RecorderCore::keyRefused(bool isRepeat) {
    if (surfaceOpen_ && !isRepeat && !state_.result) {
        surface_.beep();
    }
}

void RecorderCore::modifiersChanged(const std::vector<DesktopKey>& held) {
    if (!surfaceOpen_) {
        return;
    }
    RecorderState next = state_;
    next.live = held;
    if (held.size() > next.peak.size()) {
        next.peak = held;
    }
    setState(std::move(next));
    if (!held.empty() || state_.peak.empty() || state_.result) {
        return;
    }
    complete(state_.peak);
}

void RecorderCore::reset() {
    const bool wasHandingOver = state_.result.has_value();
    setState({});
    // A chord being handed over had stopped the timeout; recording goes on, so it runs again.
    if (wasHandingOver && surfaceOpen_) {
        armTimeout();
    }
}

void RecorderCore::complete(std::vector<DesktopKey> chord) {
    if (!isValidKeyChord(chord)) {
        return;
    }
    // The chord is taken: a timeout now would cancel what the panel already shows as recorded.
    timeout_.cancel();
    RecorderState next = state_;
    next.result = chord;
    setState(std::move(next));
    handOver_ =
        executor_->after(handOverSeconds, [weak = weak_from_this(), chord = std::move(chord)] {
            if (auto self = weak.lock()) {
                self->deliver(chord);
            }
        });
}

void RecorderCore::deliver(std::vector<DesktopKey> chord) {
    if (state_.result != chord) {
        return;
    }
    Finish finish = std::exchange(finish_, nullptr);
    stop(false);
    if (finish) {
        finish(std::move(chord));
    }
}

void RecorderCore::setState(RecorderState state) {
    if (state == state_) {
        return;
    }
    state_ = std::move(state);
    surface_.stateChanged(state_);
}

void RecorderCore::armTimeout() {
    timeout_ = executor_->after(timeoutSeconds, [weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->stop(true);
        }
    });
}

}  // namespace quillory
