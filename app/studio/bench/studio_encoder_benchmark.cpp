// A captured NV12 frame to its access unit through StudioHardwareEncoder with libx264, on
// desktop-like content. Run as is and pinned (taskset -c 0,1): the codec uses as many threads as
// the process may run on. The median and 95th percentile per frame are reported as counters.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "app/studio/studio_hardware_encoder.h"
#include "app/studio/studio_hardware_encoder_factory.h"
#include "media/interactive_h264_factory.h"
#include "platform/video/pixel_conversion.h"
#include "tests/support/synthetic_desktop.h"

namespace quillory {
namespace {

constexpr int frameCount = 60;
constexpr std::uint32_t bitrateKbps = 16000;

std::vector<std::shared_ptr<PixelBuffer>> desktopFrames(int width, int height) {
    std::vector<std::shared_ptr<PixelBuffer>> frames;
    std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(width) *
                                   static_cast<std::size_t>(height) * 4);
    for (int i = 0; i < frameCount; ++i) {
        testing::paintSyntheticDesktop(bgrx.data(), width, height, width * 4, i * 8);
        auto frame = PixelBuffer::allocate(width, height);
        (void)convertBgrxToNv12({bgrx.data(), width, height, width * 4}, *frame);
        frames.push_back(std::move(frame));
    }
    return frames;
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

void EncoderDesktopToAccessUnit(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const auto frames = desktopFrames(width, height);
    auto clock = std::make_shared<SystemClock>();
    StudioHardwareEncoderFactory factory([](const std::string&) {}, clock,
                                         [](const H264CodecConfig& config) {
                                             H264CodecConfig software = config;
                                             software.allowHardware = false;
                                             return libavcodecOpener()(software);
                                         });
    factory.setTrace(std::make_shared<StudioPerformanceTrace>(4096, 256, clock->nowSeconds()));
    auto encoder = factory.createEncoder(InteractiveH264Factory::codecList()[1]);
    std::mutex mutex;
    std::condition_variable delivered;
    std::size_t outputs = 0;
    std::size_t bytes = 0;
    encoder->setCallback([&](const EncodedImage& image, const H264CodecSpecificInfo&) {
        std::lock_guard lock(mutex);
        ++outputs;
        bytes += image.buffer->size();
        delivered.notify_one();
        return true;
    });
    if (encoder->startEncode({width, height, bitrateKbps, 60, 1}) != videoCodecOk) {
        state.SkipWithError("the encoder did not start");
        return;
    }
    std::vector<double> milliseconds;
    std::uint32_t index = 0;
    const VideoFrameType delta[] = {VideoFrameType::delta};
    const auto begin = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const VideoFrame frame = VideoFrame::whole(frames[index % frameCount], 0, index);
        std::unique_lock lock(mutex);
        const std::size_t before = outputs;
        const auto start = std::chrono::steady_clock::now();
        lock.unlock();
        (void)encoder->encode(frame, nullptr, delta);
        lock.lock();
        delivered.wait(lock, [&] { return outputs > before; });
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        ++index;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    encoder->releaseEncoder();
    state.counters["median_ms"] = percentile(milliseconds, 0.5);
    state.counters["p95_ms"] = percentile(milliseconds, 0.95);
    state.counters["fps"] = static_cast<double>(milliseconds.size()) / seconds;
    state.counters["bytes_per_frame"] =
        static_cast<double>(bytes) / static_cast<double>(std::max<std::size_t>(outputs, 1));
}
BENCHMARK(EncoderDesktopToAccessUnit)
    ->Args({1920, 1080})
    ->Args({3776, 2120})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(600)
    ->UseRealTime();

}  // namespace
}  // namespace quillory
