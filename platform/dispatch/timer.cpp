#include "platform/dispatch/timer.h"

#include <utility>

namespace quillory {

Timer::Timer(std::function<void()> cancel) : cancel_(std::move(cancel)) {}

Timer& Timer::operator=(Timer&& other) noexcept {
    if (this != &other) {
        cancel();
        cancel_ = std::exchange(other.cancel_, nullptr);
    }
    return *this;
}

Timer::~Timer() {
    cancel();
}

void Timer::cancel() {
    if (auto cancel = std::exchange(cancel_, nullptr)) {
        cancel();
    }
}

}  // namespace quillory
