// A captured NV12 frame to its access unit through StudioHardwareEncoder with libx264, on
// desktop-like content. Run as is and pinned (taskset -c 0,1): the codec uses as many threads as
// the process may run on. The median and 95th percentile per frame are reported as counters.
// Also: what a frame-rate step costs (time of the first frame at the new rate, keyframes and
// frames lost at the step), and the two offered profiles at one bitrate (bytes and PSNR).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "app/studio/studio_hardware_encoder.h"
#include "app/studio/studio_hardware_encoder_factory.h"
#include "media/interactive_h264_factory.h"
#include "platform/video/h264_plain_decoder.h"
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

// A software encoder of one profile, with every output kept.
struct Harness {
    explicit Harness(H264Profile profile = H264Profile::constrainedBaseline)
        : factory([](const std::string&) {}, clock,
                  [profile](const H264CodecConfig& config) {
                      H264CodecConfig software = config;
                      software.allowHardware = false;
                      software.profile = profile;
                      return libavcodecOpener()(software);
                  }) {
        factory.setTrace(std::make_shared<StudioPerformanceTrace>(4096, 256, clock->nowSeconds()));
        encoder = factory.createEncoder(
            InteractiveH264Factory::codecList()[profile == H264Profile::constrainedHigh ? 0 : 1]);
        encoder->setCallback([this](const EncodedImage& image, const H264CodecSpecificInfo&) {
            std::lock_guard lock(mutex);
            images.push_back(image);
            delivered.notify_one();
            return true;
        });
    }
    ~Harness() { encoder->releaseEncoder(); }

    bool start(benchmark::State& state, int width, int height, std::uint32_t kbps) {
        if (encoder->startEncode({width, height, kbps, 60, 1}) != videoCodecOk) {
            state.SkipWithError("the encoder did not start");
            return false;
        }
        return true;
    }

    // Milliseconds from the frame's admission to its output; none when no output came.
    std::optional<double> encodeOne(const std::shared_ptr<PixelBuffer>& buffer,
                                    std::uint32_t index) {
        const VideoFrameType delta[] = {VideoFrameType::delta};
        std::unique_lock lock(mutex);
        const std::size_t before = images.size();
        const auto start = std::chrono::steady_clock::now();
        lock.unlock();
        (void)encoder->encode(VideoFrame::whole(buffer, 0, index), nullptr, delta);
        lock.lock();
        if (!delivered.wait_for(lock, std::chrono::seconds(1),
                                [&] { return images.size() > before; })) {
            return std::nullopt;
        }
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    }

    std::shared_ptr<SystemClock> clock = std::make_shared<SystemClock>();
    StudioHardwareEncoderFactory factory;
    std::shared_ptr<VideoEncoder> encoder;
    std::mutex mutex;
    std::condition_variable delivered;
    std::vector<EncodedImage> images;
};

void EncoderDesktopToAccessUnit(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const auto frames = desktopFrames(width, height);
    Harness harness;
    if (!harness.start(state, width, height, bitrateKbps)) {
        return;
    }
    std::vector<double> milliseconds;
    std::uint32_t index = 0;
    const auto begin = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (auto took = harness.encodeOne(frames[index % frameCount], index)) {
            milliseconds.push_back(*took);
        }
        ++index;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::size_t bytes = 0;
    for (const EncodedImage& image : harness.images) {
        bytes += image.buffer->size();
    }
    state.counters["median_ms"] = percentile(milliseconds, 0.5);
    state.counters["p95_ms"] = percentile(milliseconds, 0.95);
    state.counters["fps"] = static_cast<double>(milliseconds.size()) / seconds;
    state.counters["bytes_per_frame"] =
        static_cast<double>(bytes) /
        static_cast<double>(std::max<std::size_t>(harness.images.size(), 1));
}
BENCHMARK(EncoderDesktopToAccessUnit)
    ->Args({1920, 1080})
    ->Args({3776, 2120})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(600)
    ->UseRealTime();

// The cadence steps between 60 and 30 frames a second every `stepEvery` frames, as the
// adaptation policy does on a weak link. The jump where the frames start over counts for neither.
void EncoderFrameRateStep(benchmark::State& state) {
    constexpr int width = 1920;
    constexpr int height = 1080;
    constexpr std::uint32_t stepEvery = 25;
    const auto frames = desktopFrames(width, height);
    Harness harness;
    if (!harness.start(state, width, height, bitrateKbps)) {
        return;
    }
    std::vector<double> steady;
    std::vector<double> steps;
    std::size_t lost = 0;
    std::uint32_t index = 0;
    for (auto _ : state) {
        const bool step = index > 0 && index % stepEvery == 0;
        if (step) {
            harness.factory.cadence()->setFramesPerSecond((index / stepEvery) % 2 == 1 ? 30 : 60);
        }
        if (auto took = harness.encodeOne(frames[index % frameCount], index)) {
            if (index % frameCount != 0) {
                (step ? steps : steady).push_back(*took);
            }
        } else {
            ++lost;
        }
        ++index;
    }
    std::size_t stepKeyframes = 0;
    std::size_t stepBytes = 0;
    std::size_t steadyBytes = 0;
    for (const EncodedImage& image : harness.images) {
        if (image.rtpTimestamp % frameCount == 0) {
            continue;
        }
        const bool step = image.rtpTimestamp % stepEvery == 0;
        (step ? stepBytes : steadyBytes) += image.buffer->size();
        stepKeyframes += step && image.frameType == VideoFrameType::key ? 1 : 0;
    }
    state.counters["steady_median_ms"] = percentile(steady, 0.5);
    state.counters["step_median_ms"] = percentile(steps, 0.5);
    state.counters["step_max_ms"] = percentile(steps, 1.0);
    state.counters["steps"] = static_cast<double>(steps.size());
    state.counters["step_keyframes"] = static_cast<double>(stepKeyframes);
    state.counters["lost_frames"] = static_cast<double>(lost);
    state.counters["step_bytes"] = static_cast<double>(stepBytes) /
                                   static_cast<double>(std::max<std::size_t>(steps.size(), 1));
    state.counters["steady_bytes"] = static_cast<double>(steadyBytes) /
                                     static_cast<double>(std::max<std::size_t>(steady.size(), 1));
}
BENCHMARK(EncoderFrameRateStep)->Unit(benchmark::kMillisecond)->Iterations(600)->UseRealTime();

// Luma PSNR of a decoded picture against its source, in dB.
double lumaPsnr(const PixelBuffer& source, const PixelBuffer& decoded) {
    double squared = 0;
    for (int y = 0; y < source.height(); ++y) {
        const std::uint8_t* a = source.dataY() + static_cast<std::ptrdiff_t>(y) * source.strideY();
        const std::uint8_t* b =
            decoded.dataY() + static_cast<std::ptrdiff_t>(y) * decoded.strideY();
        for (int x = 0; x < source.width(); ++x) {
            const double difference = static_cast<double>(a[x]) - static_cast<double>(b[x]);
            squared += difference * difference;
        }
    }
    const double mean = squared / (static_cast<double>(source.width()) * source.height());
    return mean == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mean);
}

// The codec list's entry (0 Constrained High, 1 Constrained Baseline) at one bitrate, 60 frames
// a second: mean bytes per frame, mean luma PSNR and encode time.
void EncoderProfileAtOneBitrate(benchmark::State& state) {
    const auto codec = static_cast<std::size_t>(state.range(0));
    const auto kbps = static_cast<std::uint32_t>(state.range(1));
    constexpr int width = 1920;
    constexpr int height = 1080;
    const auto frames = desktopFrames(width, height);
    Harness harness(codec == 0 ? H264Profile::constrainedHigh : H264Profile::constrainedBaseline);
    if (!harness.start(state, width, height, kbps)) {
        return;
    }
    std::vector<double> milliseconds;
    std::uint32_t index = 0;
    for (auto _ : state) {
        if (auto took = harness.encodeOne(frames[index % frameCount], index)) {
            milliseconds.push_back(*took);
        }
        ++index;
    }
    PlainH264Decoder decoder;
    (void)decoder.startDecode(1);
    double psnr = 0;
    std::size_t decoded = 0;
    std::uint32_t current = 0;
    decoder.setCallback([&](const VideoFrame& frame) {
        psnr += lumaPsnr(*frames[current % frameCount], *frame.buffer);
        ++decoded;
    });
    std::size_t bytes = 0;
    for (const EncodedImage& image : harness.images) {
        current = image.rtpTimestamp;
        bytes += image.buffer->size();
        (void)decoder.decode(image);
    }
    state.SetLabel(codec == 0 ? "constrained high" : "constrained baseline");
    state.counters["median_ms"] = percentile(milliseconds, 0.5);
    state.counters["bytes_per_frame"] =
        static_cast<double>(bytes) /
        static_cast<double>(std::max<std::size_t>(harness.images.size(), 1));
    state.counters["psnr_db"] = psnr / static_cast<double>(std::max<std::size_t>(decoded, 1));
    state.counters["kbps"] = static_cast<double>(bytes) * 8 * 60 / 1000 /
                             static_cast<double>(std::max<std::size_t>(harness.images.size(), 1));
}
BENCHMARK(EncoderProfileAtOneBitrate)
    ->ArgsProduct({{0, 1}, {2000, 6000, 16000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300)
    ->UseRealTime();

}  // namespace
}  // namespace quillory
