#include "app/desktop-control/presentation_timer.h"

#include <algorithm>

namespace quillory {

namespace {

constexpr std::uint64_t second = 1'000'000'000;
constexpr std::uint64_t millisecond = 1'000'000;

}  // namespace

PresentationTimer::PresentationTimer(std::shared_ptr<const Clock> clock, QObject* parent)
    : QObject(parent), clock_(std::move(clock)) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &PresentationTimer::tick);
}

void PresentationTimer::start() {
    start_ = clock_->nowNanoseconds();
    frame_ = 1;
    timer_.start(waitFor(frame_, 0));
}

void PresentationTimer::stop() {
    timer_.stop();
}

std::uint64_t PresentationTimer::frameTime(std::uint64_t frame) {
    // Whole seconds apart, so the product cannot overflow; rounded up, so a frame never begins
    // before its exact time and every 60 frames span exactly one second.
    const std::uint64_t within = frame % framesPerSecond;
    return frame / framesPerSecond * second +
           (within * second + framesPerSecond - 1) / framesPerSecond;
}

std::uint64_t PresentationTimer::nextFrame(std::uint64_t ticked, std::uint64_t elapsed) {
    // The frame under way at `elapsed`: a frame's time is its exact time rounded up to a whole
    // nanosecond, so it begins at or before `elapsed` exactly when its exact time does.
    const std::uint64_t current =
        elapsed / second * framesPerSecond + elapsed % second * framesPerSecond / second;
    return std::max(ticked + 1, current + 1);
}

std::chrono::milliseconds PresentationTimer::waitFor(std::uint64_t frame, std::uint64_t elapsed) {
    const std::uint64_t at = frameTime(frame);
    const std::uint64_t wait = at > elapsed ? at - elapsed : 0;
    return std::chrono::milliseconds((wait + millisecond - 1) / millisecond);
}

void PresentationTimer::tick() {
    const std::uint64_t now = clock_->nowNanoseconds();
    const std::uint64_t elapsed = now > start_ ? now - start_ : 0;
    frame_ = nextFrame(frame_, elapsed);
    timer_.start(waitFor(frame_, elapsed));
    emit timeout();
}

}  // namespace quillory
