#include "app/studio/bench/glass_to_glass_observations.h"

#include <algorithm>
#include <chrono>
#include <set>

namespace quillory::bench {

void GlassToGlassObservations::painted(const PaintRecord& record) {
    std::lock_guard lock(mutex_);
    paintedAt_[record.counter] = record.timeNanoseconds;
}

void GlassToGlassObservations::decoded(std::optional<std::uint32_t> counter, int width, int height,
                                       std::int64_t decodedAtNanoseconds,
                                       const std::vector<std::uint8_t>& luma) {
    std::lock_guard lock(mutex_);
    recent_.push_back(
        {decodedAtNanoseconds, width == settings_.width && height == settings_.height});
    while (recent_.front().first <= decodedAtNanoseconds - 1'000'000'000) {
        recent_.pop_front();
    }
    changed_.notify_all();
    if (!measuring_) {
        return;
    }
    if (!counter) {
        ++unidentified_;
        return;
    }
    decoded_.push_back({*counter, decodedAtNanoseconds});
    ++sizes_[{width, height}];
    if (decoded_.size() % static_cast<std::size_t>(settings_.keepEvery) == 0) {
        kept_.push_back({*counter, width, height, luma});
    }
}

bool GlassToGlassObservations::waitUntilSteady(double seconds) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] {
        return std::count_if(recent_.begin(), recent_.end(), [](const auto& frame) {
                   return frame.second;
               }) >= settings_.steadyFrames;
    });
}

void GlassToGlassObservations::restart() {
    std::lock_guard lock(mutex_);
    recent_.clear();
    measuring_ = false;
}

void GlassToGlassObservations::setMeasuring(bool on) {
    std::lock_guard lock(mutex_);
    measuring_ = on;
    if (on) {
        decoded_.clear();
        kept_.clear();
        sizes_.clear();
        unidentified_ = 0;
    }
}

GlassToGlassObservations::Result GlassToGlassObservations::result(
    std::int64_t from, std::int64_t to, const std::vector<EncodedOutput>& outputs) {
    std::lock_guard lock(mutex_);
    std::vector<DecodedCounter> inside;
    std::set<std::uint32_t> distinct;
    for (const auto& frame : decoded_) {
        if (frame.decodedAtNanoseconds >= from && frame.decodedAtNanoseconds < to) {
            inside.push_back(frame);
            distinct.insert(frame.counter);
        }
    }
    Result result{
        glassToGlassMilliseconds(paintedAt_, inside), distinct.size(), unidentified_, kept_, {},
        latencyBreakdown(paintedAt_, inside, outputs)};
    int most = 0;
    for (const auto& [size, count] : sizes_) {
        if (count > most) {
            result.size = size;
            most = count;
        }
    }
    return result;
}

}  // namespace quillory::bench
