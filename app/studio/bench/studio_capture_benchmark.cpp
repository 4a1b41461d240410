// Costs of the capture path against a real X server: a display grab converted to NV12 straight
// from the shared memory, a Composite window grab and one source preview. Run inside a large
// enough screen:
//   scripts/with-test-services --screen 3840x2160 --
//   build/default/app/studio/bench/studio_capture_benchmark
// Each case reports the median and the 95th percentile of single operations.
#include <benchmark/benchmark.h>
#include <xcb/composite.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "app/studio/source_preview.h"
#include "platform/capture/x11_grabber.h"
#include "platform/desktop/x11_desktop.h"
#include "platform/video/pixel_conversion.h"
#include "tests/support/content_window.h"
#include "tests/support/synthetic_desktop.h"

namespace quillory {
namespace {

double percentile95(const std::vector<double>& values) {
    auto sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted[static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(sorted.size())) -
                                           1)];
}

// One connection for every repetition, as a capture keeps its own: a new shared-memory segment
// per grab would measure page faults rather than the grab.
X11Grabber* sharedGrabber(benchmark::State& state) {
    static CaptureError error;
    static const std::unique_ptr<X11Grabber> grabber = X11Grabber::open(nullptr, error);
    if (!grabber) {
        state.SkipWithError(error.message.c_str());
    }
    return grabber.get();
}

void DisplayGrabAndConvert(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    X11Grabber* grabber = sharedGrabber(state);
    if (!grabber) {
        return;
    }
    const auto root = grabber->monitorBounds(grabber->monitors().front().name);
    if (!root || root->width < width || root->height < height) {
        state.SkipWithError("the screen is smaller than the grab");
        return;
    }
    testing::ContentWindow content(width, height);
    auto target = PixelBuffer::allocate(width, height);
    for (auto _ : state) {
        if (grabber->grabInto(grabber->root(), {0, 0, width, height}, {0, 0, width, height},
                              nullptr, nullptr, *target) != X11Grabber::Conversion::done) {
            state.SkipWithError("grab failed");
            return;
        }
    }
}

// What a tick costs when a 640×480 window is all that changed: the damaged part grabbed and
// converted into a new buffer, the rest copied from the last picture.
void DisplayDamagedRegionAndConvert(benchmark::State& state) {
    X11Grabber* grabber = sharedGrabber(state);
    if (!grabber) {
        return;
    }
    testing::ContentWindow content(1920, 1080);
    const PixelRect area{0, 0, 1920, 1080};
    auto previous = PixelBuffer::allocate(1920, 1080);
    auto target = PixelBuffer::allocate(1920, 1080);
    grabber->grabInto(grabber->root(), area, area, nullptr, nullptr, *previous);
    for (auto _ : state) {
        if (grabber->grabInto(grabber->root(), area, {640, 300, 640, 480}, nullptr, previous.get(),
                              *target) != X11Grabber::Conversion::done) {
            state.SkipWithError("grab failed");
            return;
        }
    }
}

// The two halves of a whole grab and conversion, to see where the time goes.
void DisplayGrabOnly(benchmark::State& state) {
    X11Grabber* grabber = sharedGrabber(state);
    if (!grabber) {
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(grabber->grab(grabber->root(), {0, 0, 1920, 1080}));
    }
}

void ConvertOnly(benchmark::State& state) {
    std::vector<std::uint8_t> pixels(1920 * 1080 * 4);
    testing::paintSyntheticDesktop(pixels.data(), 1920, 1080, 1920 * 4, 0);
    auto target = PixelBuffer::allocate(1920, 1080);
    for (auto _ : state) {
        benchmark::DoNotOptimize(convertBgrxToNv12({pixels.data(), 1920, 1080, 1920 * 4}, *target));
    }
}

void WindowGrab(benchmark::State& state) {
    X11Grabber* grabber = sharedGrabber(state);
    if (!grabber) {
        return;
    }
    testing::ContentWindow content(1280, 800);
    xcb_connection_t* c = grabber->connection();
    xcb_composite_redirect_window(c, content.window(), XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_composite_name_window_pixmap(c, content.window(), pixmap);
    auto target = PixelBuffer::allocate(1280, 800);
    for (auto _ : state) {
        auto image = grabber->grab(pixmap, {0, 0, 1280, 800});
        if (!image || convertBgrxToNv12(*image, *target)) {
            state.SkipWithError("grab failed");
            return;
        }
    }
    xcb_free_pixmap(c, pixmap);
}

void Preview(benchmark::State& state) {
    auto connected = X11Desktop::connect(nullptr);
    if (!connected) {
        state.SkipWithError(connected.error().c_str());
        return;
    }
    auto desktop = std::move(connected).value();
    testing::ContentWindow content(1920, 1080);
    // A 1920×1080 display: the part of the screen the content covers.
    const auto source = StudioCaptureSource::display(
        {.id = desktop->mainDisplay()->id, .bounds = {0, 0, 1920, 1080}, .primary = true});
    const auto capture = PreviewCapture::system();
    for (auto _ : state) {
        benchmark::DoNotOptimize(capturePreviewJPEG(source, capture));
    }
}

void statistics(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(200)
        ->ComputeStatistics("p95", percentile95)
        ->ReportAggregatesOnly(true);
}

BENCHMARK(DisplayGrabAndConvert)->Args({1920, 1080})->Args({3776, 2120})->Apply(statistics);
BENCHMARK(DisplayDamagedRegionAndConvert)->Apply(statistics);
BENCHMARK(DisplayGrabOnly)->Apply(statistics);
BENCHMARK(ConvertOnly)->Apply(statistics);
BENCHMARK(WindowGrab)->Apply(statistics);
BENCHMARK(Preview)->Apply(statistics);

}  // namespace
}  // namespace quillory
