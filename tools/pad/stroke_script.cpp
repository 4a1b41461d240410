#include "tools/pad/stroke_script.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/clock/clock.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/sequence_checker.h"
#include "tools/pad/stroke_shape.h"

namespace quillory::pad {

StrokeScript::StrokeScript(const PadOptions& options, std::shared_ptr<EventOutput> output,
                           Link link)
    : options_(options), output_(std::move(output)), link_(std::move(link)) {}

bool StrokeScript::isIdle() const {
    return !tick_.isScheduled() && !durationTimer_.isScheduled() && stroke_.empty();
}

bool StrokeScript::send(PenSample& sample) {
    sample.sequence = sequence_ + 1;
    sample.timestamp = uptimeSeconds();
    if (!link_.send(std::vector<PenSample>{sample})) {
        return false;
    }
    ++sequence_;
    return true;
}

bool StrokeScript::drawingTimeIsUp() {
    if (!options_.duration) {
        return strokesDone_ == options_.strokes;
    }
    if (!drawingStartedAt_) {
        drawingStartedAt_ = uptimeNanoseconds();
    }
    const double elapsed = static_cast<double>(uptimeNanoseconds() - *drawingStartedAt_) / 1e9;
    const double left = *options_.duration - elapsed;
    if (left > 0 && options_.strokes == 0) {
        // Connected and idle until the time is up; after a reconnect the rest is scheduled again.
        std::weak_ptr<StrokeScript> weak = weak_from_this();
        durationTimer_ = MainQueue::after(left, [weak] {
            if (auto self = weak.lock()) {
                self->drawNextStroke();
            }
        });
    }
    return left <= 0;
}

void StrokeScript::drawNextStroke() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (drawingTimeIsUp()) {
        output_->event("drawn", {{"strokes", strokesDone_}},
                       "Drew " + std::to_string(strokesDone_) + " strokes.");
        link_.drawn();
        return;
    }
    if (options_.strokes == 0) {
        return;
    }
    stroke_ = strokeShape(strokesDone_);
    sent_.clear();
    strokeStartedAt_ = uptimeNanoseconds();
    drawTick();
}

void StrokeScript::drawTick() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (stroke_.empty()) {
        return;
    }
    auto sample = stroke_[sent_.size()];
    if (!send(sample)) {
        return;
    }
    sent_.push_back(sample);
    if (sent_.size() == stroke_.size()) {
        reportStroke(true);
        ++strokesDone_;
        drawNextStroke();
        return;
    }
    // Paced from the stroke's start, so that late ticks do not add up.
    const double due = static_cast<double>(sent_.size()) / samplesPerSecond;
    const double elapsed = static_cast<double>(uptimeNanoseconds() - strokeStartedAt_) / 1e9;
    std::weak_ptr<StrokeScript> weak = weak_from_this();
    tick_ = MainQueue::after(std::max(0.0, due - elapsed), [weak] {
        if (auto self = weak.lock()) {
            self->drawTick();
        }
    });
}

void StrokeScript::reportStroke(bool complete) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (sent_.empty()) {
        return;
    }
    output_->event("stroke",
                   {{"index", strokesDone_},
                    {"complete", complete},
                    {"samples", json_codec::encodeValue(sent_)}},
                   {});
    stroke_.clear();
    sent_.clear();
}

void StrokeScript::linkEnded() {
    QUILLORY_CHECK_MAIN_THREAD();
    tick_.cancel();
    durationTimer_.cancel();
    reportStroke(false);
}

void StrokeScript::type(std::vector<PenSample> samples) {
    QUILLORY_CHECK_MAIN_THREAD();
    typed_.insert(typed_.end(), samples.begin(), samples.end());
    if (!typedTimer_.isScheduled()) {
        sendTypedSample();
    }
}

void StrokeScript::sendTypedSample() {
    QUILLORY_CHECK_MAIN_THREAD();
    // A fired timer still counts as scheduled until cancelled, and the next stroke tests it: a
    // stroke cut short by a lost link must not leave it set.
    typedTimer_.cancel();
    if (typed_.empty()) {
        return;
    }
    // One sample a message at a stylus's rate, as the pen draws: the computer moves the pointer
    // to the last sample of each message.
    if (auto sample = typed_.front(); !send(sample)) {
        typed_.clear();
        return;
    }
    typed_.pop_front();
    if (typed_.empty()) {
        return;
    }
    std::weak_ptr<StrokeScript> weak = weak_from_this();
    typedTimer_ = MainQueue::after(1.0 / samplesPerSecond, [weak] {
        if (auto self = weak.lock()) {
            self->sendTypedSample();
        }
    });
}

}  // namespace quillory::pad
