#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "app/studio/bench/glass_to_glass_measures.h"

namespace quillory::bench {

// What the test window painted and what the receiver decoded during one stream, shared by the
// painter's reader thread, the receiver's threads and the benchmark.
class GlassToGlassObservations {
  public:
    struct Settings {
        int width = 1920;
        int height = 1080;
        // Full-size frames decoded within the last second that make the stream steady.
        int steadyFrames = 57;
        // Every so many identified frames of the window one is kept for PSNR.
        int keepEvery = 15;
    };

    struct Kept {
        std::uint32_t counter = 0;
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> luma;
    };

    struct Result {
        std::vector<double> glassToGlassMilliseconds;
        std::size_t frames = 0;  // distinct counters decoded inside the window
        int unidentified = 0;    // decoded frames of the window whose barcode did not read
        std::vector<Kept> kept;
        std::pair<int, int> size;    // the size most frames of the window were decoded at
        LatencyBreakdown breakdown;  // when the sender's encoded outputs are known
    };

    explicit GlassToGlassObservations(Settings settings) : settings_(settings) {}

    void painted(const PaintRecord& record);
    // A decoded picture with its barcode, if it read; `luma` is width × height.
    void decoded(std::optional<std::uint32_t> counter, int width, int height,
                 std::int64_t decodedAtNanoseconds, const std::vector<std::uint8_t>& luma);

    // Waits until a second of full-size frames at the full rate has been decoded.
    bool waitUntilSteady(double seconds);
    // A new stream: the previous one's recent frames say nothing about it.
    void restart();
    // While on, decoded frames are collected for the result; turning it on forgets earlier ones.
    void setMeasuring(bool on);
    // The window [from, to) in uptime nanoseconds, with the sender's encoded outputs if known.
    Result result(std::int64_t from, std::int64_t to,
                  const std::vector<EncodedOutput>& outputs = {});

  private:
    const Settings settings_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint32_t, std::int64_t> paintedAt_;
    // Decode times of the last second, and whether each was full size.
    std::deque<std::pair<std::int64_t, bool>> recent_;
    bool measuring_ = false;
    std::vector<DecodedCounter> decoded_;
    std::vector<Kept> kept_;
    std::map<std::pair<int, int>, int> sizes_;
    int unidentified_ = 0;
};

}  // namespace quillory::bench
