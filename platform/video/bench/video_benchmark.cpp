// Costs on the host's frame path: colour conversion, crop-and-scale and libx264 encoding of
// desktop-like 1920×1080 content. Run as is and pinned (taskset -c 0,1): the encoder uses as many
// threads as the process may run on.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/process/process_info.h"
#include "platform/video/h264_codec.h"
#include "platform/video/pixel_conversion.h"
#include "tests/support/synthetic_desktop.h"

namespace quillory {
namespace {

constexpr int width = 1920;
constexpr int height = 1080;

std::vector<std::uint8_t> desktopBgrx(int scroll) {
    std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(width * height * 4));
    testing::paintSyntheticDesktop(bgrx.data(), width, height, width * 4, scroll);
    return bgrx;
}

void BgrxToNv12(benchmark::State& state) {
    const auto bgrx = desktopBgrx(0);
    auto target = PixelBuffer::allocate(width, height);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            convertBgrxToNv12({bgrx.data(), width, height, width * 4}, *target));
    }
}
BENCHMARK(BgrxToNv12)->Unit(benchmark::kMillisecond);

void CropAndScaleTo720p(benchmark::State& state) {
    const auto bgrx = desktopBgrx(0);
    auto source = PixelBuffer::allocate(width, height);
    convertBgrxToNv12({bgrx.data(), width, height, width * 4}, *source);
    auto target = PixelBuffer::allocate(1280, 720);
    for (auto _ : state) {
        benchmark::DoNotOptimize(cropAndScaleNv12(*source, {0, 0, width, height}, *target));
    }
}
BENCHMARK(CropAndScaleTo720p)->Unit(benchmark::kMillisecond);

// Scrolling text beside a photo region at 60 frames/s and 8 Mbit/s; the median and the
// 95th percentile per frame are reported as counters.
void X264EncodeDesktop(benchmark::State& state) {
    std::vector<std::shared_ptr<PixelBuffer>> frames;
    for (int i = 0; i < 60; ++i) {
        const auto bgrx = desktopBgrx(i * 8);
        auto frame = PixelBuffer::allocate(width, height);
        convertBgrxToNv12({bgrx.data(), width, height, width * 4}, *frame);
        frames.push_back(std::move(frame));
    }
    H264CodecConfig config{width, height, 8000, 60, usableCores(), false};
    auto codec = std::move(H264Codec::open(config).codec);
    if (!codec) {
        state.SkipWithError("libx264 did not open");
        return;
    }
    std::vector<double> milliseconds;
    std::vector<H264Codec::Packet> packets;
    std::size_t index = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        packets.clear();
        const auto start = std::chrono::steady_clock::now();
        const auto error = codec->encode(frames[index++ % frames.size()], false, packets);
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        if (error) {
            state.SkipWithError(error->message.c_str());
            return;
        }
        for (const auto& packet : packets) {
            bytes += packet.data->size();
        }
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
    state.counters["p95_ms"] = milliseconds[milliseconds.size() * 95 / 100];
    state.counters["threads"] = config.threads;
    state.counters["kB_per_frame"] =
        static_cast<double>(bytes) / 1000.0 / static_cast<double>(milliseconds.size());
}
BENCHMARK(X264EncodeDesktop)->Unit(benchmark::kMillisecond)->Iterations(600);

}  // namespace
}  // namespace quillory
