#include "core/link/input_receivers.h"

#include <utility>

#include "platform/dispatch/sequence_checker.h"

namespace quillory {

void InputReceivers::install(std::function<void(const std::vector<PenSample>&)> samples,
                             std::function<void(const DesktopAction&)> action,
                             std::function<void()> cancelled, std::function<void()> ended) {
    QUILLORY_CHECK_ON(queue_);
    samples_ = std::move(samples);
    action_ = std::move(action);
    cancelled_ = std::move(cancelled);
    ended_ = std::move(ended);
    if (!samples_) {
        return;
    }
    auto held = std::exchange(held_, {});
    heldSamples_ = 0;
    for (auto& input : held) {
        if (!input.samples.empty()) {
            samples_(input.samples);
        } else if (input.action) {
            deliverAction(*input.action);
        } else {
            deliverCancelled();
        }
    }
}

void InputReceivers::deliverSamples(std::vector<PenSample> samples) {
    if (samples.empty()) {
        deliverCancelled();
        return;
    }
    if (samples_) {
        samples_(samples);
    } else if (const auto count = samples.size(); !hold(std::move(samples), std::nullopt)) {
        discarded_ += count;
    }
}

void InputReceivers::deliverAction(const DesktopAction& action) {
    if (samples_) {
        if (action_) {
            action_(action);
        }
    } else {
        hold({}, action);
    }
}

void InputReceivers::deliverCancelled() {
    if (samples_) {
        if (cancelled_) {
            cancelled_();
        }
    } else {
        hold({}, std::nullopt);
    }
}

void InputReceivers::end() {
    QUILLORY_CHECK_ON(queue_);
    discarded_ += heldSamples_;
    held_.clear();
    heldSamples_ = 0;
    if (auto ended = std::exchange(ended_, nullptr)) {
        samples_ = nullptr;
        action_ = nullptr;
        cancelled_ = nullptr;
        ended();
    }
}

bool InputReceivers::hold(std::vector<PenSample> samples, std::optional<DesktopAction> action) {
    QUILLORY_CHECK_ON(queue_);
    if (heldSamples_ + samples.size() > maxHeldSamples) {
        return false;
    }
    heldSamples_ += samples.size();
    // Batches in a row become one, so that handing them over cannot flood the receiver.
    if (!samples.empty() && !held_.empty() && !held_.back().samples.empty()) {
        auto& last = held_.back().samples;
        last.insert(last.end(), samples.begin(), samples.end());
        return true;
    }
    if (held_.size() >= maxHeldInputs) {
        heldSamples_ -= samples.size();
        return false;
    }
    held_.push_back({std::move(samples), std::move(action)});
    return true;
}

}  // namespace quillory
