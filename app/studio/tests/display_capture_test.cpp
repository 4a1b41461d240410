#include "app/studio/display_capture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <limits>
#include <mutex>

#include "platform/desktop/testing/fake_desktop.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"

namespace quillory {
namespace {

// What the capture asked of its stream, and a way to play the platform's part on the queue.
struct StreamControl {
    std::mutex mutex;
    SerialQueue* queue = nullptr;
    int streamsMade = 0;
    std::vector<CaptureStreamConfiguration> configurations;  // at creation, then each update
    CaptureStream::Handlers handlers;
    bool stopped = false;
    std::optional<CaptureError> startError;
    std::function<void()> onDestroyed;

    void onQueue(const std::function<void()>& work) {
        SerialQueue* q = nullptr;
        {
            std::lock_guard lock(mutex);
            q = queue;
        }
        ASSERT_NE(q, nullptr);
        ASSERT_TRUE(q->sync(work));
    }
    void deliver(const CaptureFrame& frame) {
        onQueue([&] {
            if (handlers.onFrame) {
                handlers.onFrame(frame);
            }
        });
    }
};

class FakeStream final : public CaptureStream {
  public:
    explicit FakeStream(std::shared_ptr<StreamControl> control) : control_(std::move(control)) {}
    ~FakeStream() override {
        if (control_->onDestroyed) {
            control_->onDestroyed();
        }
    }
    std::optional<CaptureError> start(Handlers handlers) override {
        control_->handlers = std::move(handlers);
        return control_->startError;
    }
    std::optional<CaptureError> update(const CaptureStreamConfiguration& configuration) override {
        std::lock_guard lock(control_->mutex);
        control_->configurations.push_back(configuration);
        return std::nullopt;
    }
    void stop() override {
        control_->handlers = {};
        control_->stopped = true;
    }

  private:
    std::shared_ptr<StreamControl> control_;
};

struct Delivery {
    const PixelBuffer* buffer;
    std::int64_t nanoseconds;
};

class DisplayCaptureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MainQueue::install(executor);
        desktop->setDisplays({{.id = 7, .bounds = {0, 0, 3024, 1964}, .primary = true}});
        desktop->setWindows(std::vector<WindowInfo>{{.id = 42, .frame = {100, 50, 1280, 800}}});
    }
    void TearDown() override {
        capture.reset();
        MainQueue::install(nullptr);
    }

    DisplayCapture::Environment environment() {
        DisplayCapture::Environment env;
        env.desktop = desktop;
        env.clock = executor->clock();
        env.makeStream = [control = stream](SerialQueue& queue, const CaptureTarget&,
                                            const CaptureStreamConfiguration& configuration) {
            std::lock_guard lock(control->mutex);
            control->queue = &queue;
            ++control->streamsMade;
            control->configurations.push_back(configuration);
            return std::make_unique<FakeStream>(control);
        };
        env.timers = timers;
        return env;
    }

    void make(const StudioCaptureSource& source, int limit = 4096) {
        capture = DisplayCapture::create(
            source, limit, std::nullopt,
            [this](const std::shared_ptr<PixelBuffer>& buffer, std::int64_t nanoseconds) {
                {
                    std::lock_guard lock(mutex);
                    deliveries.push_back({buffer.get(), nanoseconds});
                }
                if (sinkAction) {
                    sinkAction();
                }
            },
            [this](const std::string& text) { failures.push_back(text); }, environment());
    }
    void makeDisplay() { make(StudioCaptureSource::display(desktop->displays()[0])); }
    void makeWindow() {
        make(StudioCaptureSource::window(
            {.info = (*desktop->windows())[0], .title = "Canvas", .onScreen = true}));
    }

    // Runs the main queue until the completion of an operation arrives.
    std::optional<std::string> await(const std::function<void(DisplayCapture::Completion)>& call) {
        bool done = false;
        std::optional<std::string> result;
        call([&](std::optional<std::string> error) {
            done = true;
            result = std::move(error);
        });
        while (!done) {
            executor->runUntilIdle();
            if (!done) {
                EXPECT_TRUE(executor->waitForWork(10));
            }
        }
        return result;
    }
    void start() {
        ASSERT_EQ(await([&](auto c) { capture->start(std::move(c)); }), std::nullopt);
    }

    std::shared_ptr<PixelBuffer> buffer() { return PixelBuffer::allocate(16, 16); }
    CaptureFrame complete(const std::shared_ptr<PixelBuffer>& image, double ageSeconds) {
        return {CaptureFrameStatus::complete, image, executor->clock()->nowSeconds() - ageSeconds};
    }
    std::vector<Delivery> taken() {
        std::lock_guard lock(mutex);
        return std::exchange(deliveries, {});
    }
    // Asks for a refresh and lets its timer fire.
    std::vector<Delivery> refreshed() {
        capture->requestRefresh();
        stream->onQueue([] {});  // the request has run
        timers->advance(DisplayCapture::refreshDelay);
        return taken();
    }

    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
    std::shared_ptr<StreamControl> stream = std::make_shared<StreamControl>();
    // Refresh timers on the capture queue, moved by hand on the main queue's clock.
    std::shared_ptr<ManualExecutor> timers = std::make_shared<ManualExecutor>(executor->clock());
    std::shared_ptr<DisplayCapture> capture;
    std::mutex mutex;
    std::vector<Delivery> deliveries;
    std::vector<std::string> failures;
    std::function<void()> sinkAction;
};

TEST_F(DisplayCaptureTest, SizingKeepsToTheLimitTheViewportAndTheAreaWithoutScalingUp) {
    const auto display = [](double w, double h) {
        return StudioCaptureSource::display({.id = 9, .bounds = {0, 0, w, h}});
    };
    const auto window = [](double w, double h) {
        return StudioCaptureSource::window({.info = {.id = 3, .frame = {5, 5, w, h}}});
    };
    const auto viewport = [](std::int64_t w, std::int64_t h, bool actual) {
        return std::optional<StudioViewport>(StudioViewport{w, h, actual});
    };
    const struct {
        StudioCaptureSource source;
        int limit;
        std::optional<StudioViewport> viewport;
        CaptureSize expected;
    } cases[] = {
        {display(3024, 1964), 1920, std::nullopt, {1920, 1246}},
        {display(3024, 1964), 4096, std::nullopt, {3024, 1964}},
        {display(3024, 1964), 1920, viewport(1180, 820, false), {1180, 766}},
        {display(3024, 1964), 1920, viewport(1180, 820, true), {1920, 1246}},
        {display(6016, 3384), 4096, std::nullopt, {3770, 2120}},  // the area cap
        {window(1280, 800), 4096, std::nullopt, {1280, 800}},     // never up
        {window(1280, 800), 4096, viewport(4000, 4000, false), {1280, 800}},
        {window(1001, 601), 4096, std::nullopt, {1000, 600}},  // odd to even
        // A viewport without area is no viewport, not a 2 × 2 stream.
        {display(3024, 1964), 1920, viewport(0, 820, false), {1920, 1246}},
        {display(3024, 1964), 1920, viewport(-4, -4, false), {1920, 1246}},
        // A tiny or thin viewport goes down to 2 pixels a side, keeping the source's shape.
        {display(3024, 1964), 1920, viewport(4, 4, false), {4, 2}},
        {display(1920, 1080), 4096, viewport(1, 16384, false), {2, 2}},
        {window(10, 6), 4096, viewport(1, 1, false), {2, 2}},
        // Each edge goes down to 2 on its own; the other keeps the scaling.
        {window(1, 1000), 4096, std::nullopt, {2, 1000}},
        {window(1000, 1), 4096, std::nullopt, {1000, 2}},
        {window(1, 5000), 1920, std::nullopt, {2, 1920}},
        {window(0, 600), 4096, viewport(1180, 300, false), {2, 300}},
        {window(0, 0), 4096, std::nullopt, {2, 2}},
    };
    for (const auto& c : cases) {
        const auto size = DisplayCapture::captureSize(c.source, *desktop, c.limit, c.viewport);
        EXPECT_EQ(size, c.expected)
            << c.source.frame().width << "×" << c.source.frame().height << " limit " << c.limit
            << " → " << size.width << "×" << size.height;
    }
}

TEST_F(DisplayCaptureTest, AdmitsFramesByAgeForTheCadence) {
    for (const int rate : {60, 30, 15}) {
        stream = std::make_shared<StreamControl>();
        makeDisplay();
        ASSERT_EQ(await([&](auto c) { capture->updateFramesPerSecond(rate, std::move(c)); }),
                  std::nullopt);
        start();
        const double limit = 2.0 / rate;
        const struct {
            double age;
            bool admitted;
        } ages[] = {{0, true},       {limit - 1e-4, true}, {limit + 1e-4, false},
                    {-0.0099, true}, {-0.0101, false},     {1.0, false}};
        for (const auto& a : ages) {
            stream->deliver(complete(buffer(), a.age));
            EXPECT_EQ(taken().size(), a.admitted ? 1u : 0u) << rate << " fps, age " << a.age;
        }
        capture->stop();
    }
}

TEST_F(DisplayCaptureTest, DeliversThePresentationTimeInNanoseconds) {
    makeDisplay();
    start();
    const auto image = buffer();
    const CaptureFrame frame{CaptureFrameStatus::complete, image, 1.0};  // the clock reads 1 s
    stream->deliver(frame);
    const auto got = taken();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].buffer, image.get());
    EXPECT_EQ(got[0].nanoseconds, 1'000'000'000);
}

TEST_F(DisplayCaptureTest, WhatEachFrameDoesToTheKeptFrame) {
    makeDisplay();
    start();
    const auto kept = buffer();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        CaptureFrame frame;
        bool keeps;
    } cases[] = {
        {{CaptureFrameStatus::idle, nullptr, 0}, true},
        {{CaptureFrameStatus::complete, buffer(), nan}, true},  // ignored, cancels nothing
        {{CaptureFrameStatus::complete, buffer(), -1}, true},
        {{CaptureFrameStatus::blank, nullptr, 0}, false},
        {{CaptureFrameStatus::complete, nullptr, 1.0}, false},
        {complete(buffer(), 0.5), false},  // too old
    };
    for (const auto& c : cases) {
        stream->deliver(complete(kept, 0));
        ASSERT_EQ(taken().size(), 1u);
        stream->deliver(c.frame);
        const auto again = refreshed();
        ASSERT_EQ(again.size(), c.keeps ? 1u : 0u) << static_cast<int>(c.frame.status);
        if (c.keeps) {
            EXPECT_EQ(again[0].buffer, kept.get());
        }
    }
}

TEST_F(DisplayCaptureTest, RefreshRequestsWithinFiftyMillisecondsGiveOneDeliveryAtItsOwnTime) {
    makeDisplay();
    start();
    const auto kept = buffer();
    stream->deliver(complete(kept, 0));
    taken();
    for (int i = 0; i < 3; ++i) {
        capture->requestRefresh();
    }
    stream->onQueue([] {});
    EXPECT_EQ(timers->pendingTimers(), 1u);
    timers->advance(0.049);
    EXPECT_TRUE(taken().empty());
    timers->advance(0.001);
    const auto got = taken();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].buffer, kept.get());
    EXPECT_EQ(got[0].nanoseconds, static_cast<std::int64_t>(executor->clock()->nowNanoseconds()));
    // The kept frame stays for the next request.
    EXPECT_EQ(refreshed().size(), 1u);
}

TEST_F(DisplayCaptureTest, ANewSizeDropsTheKeptFrameAndTheSameSizeKeepsIt) {
    makeDisplay();
    start();
    stream->deliver(complete(buffer(), 0));
    taken();
    ASSERT_EQ(await([&](auto c) { capture->update(4096, std::nullopt, std::move(c)); }),
              std::nullopt);
    EXPECT_EQ(refreshed().size(), 1u);
    EXPECT_EQ(stream->configurations.size(), 1u);  // the stream was not touched

    ASSERT_EQ(await([&](auto c) { capture->update(1920, std::nullopt, std::move(c)); }),
              std::nullopt);
    EXPECT_EQ(capture->width(), 1920);
    EXPECT_EQ(capture->height(), 1246);
    ASSERT_EQ(stream->configurations.size(), 2u);
    EXPECT_EQ(stream->configurations[1].width, 1920);
    EXPECT_EQ(refreshed().size(), 0u);
}

TEST_F(DisplayCaptureTest, UpdatesBeforeStartOnlyStoreAndTheStartUsesThem) {
    makeDisplay();
    // The start follows at once, before anything else runs on the main queue.
    int answered = 0;
    capture->update(1920, std::nullopt, [&](auto error) { answered += !error; });
    capture->updateFramesPerSecond(30, [&](auto error) { answered += !error; });
    EXPECT_EQ(capture->width(), 1920);
    start();
    EXPECT_EQ(answered, 2);
    ASSERT_EQ(stream->configurations.size(), 1u);
    EXPECT_EQ(stream->configurations[0].width, 1920);
    EXPECT_EQ(stream->configurations[0].height, 1246);
    EXPECT_EQ(stream->configurations[0].framesPerSecond, 30);
}

TEST_F(DisplayCaptureTest, AfterStopNothingArrivesAndAgainIsHarmless) {
    makeDisplay();
    start();
    stream->deliver(complete(buffer(), 0));
    taken();
    auto handlers = stream->handlers;  // what the platform may still call
    capture->stop();
    EXPECT_TRUE(stream->stopped);
    stream->onQueue([&] { handlers.onFrame(complete(buffer(), 0)); });
    EXPECT_TRUE(refreshed().empty());
    stream->onQueue([&] { handlers.onStopped(); });
    executor->advance(1.0);
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(executor->pendingTimers(), 0u);
    capture->stop();
    EXPECT_EQ(await([&](auto c) { capture->start(std::move(c)); }), std::nullopt);
    EXPECT_EQ(stream->streamsMade, 1);
}

TEST_F(DisplayCaptureTest, TheLastReferenceMayDropOnTheCaptureQueue) {
    makeDisplay();
    start();
    std::weak_ptr<DisplayCapture> weak = capture;
    auto streamGone = std::make_shared<std::promise<void>>();
    auto gone = streamGone->get_future();
    stream->onDestroyed = [streamGone] { streamGone->set_value(); };
    sinkAction = [this] { capture.reset(); };
    // The frame arrives while the test waits outside the queue, which then ends with the capture;
    // the gate keeps this thread's posts clear of that end.
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    SerialQueue* queue = stream->queue;
    queue->async([opened] { opened.wait(); });
    queue->async(
        [control = stream, frame = complete(buffer(), 0)] { control->handlers.onFrame(frame); });
    gate.set_value();
    ASSERT_EQ(gone.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(stream->stopped);  // released after the callback it was in, not inside it
}

TEST_F(DisplayCaptureTest, TheSourceWatchReportsAMovedOrClosedWindowOnEveryTick) {
    makeWindow();
    start();
    // The check runs on the capture queue and answers on the main queue.
    const auto tick = [&] {
        executor->advance(0.2);
        stream->onQueue([] {});
        executor->runUntilIdle();
    };
    tick();
    EXPECT_TRUE(failures.empty());
    desktop->setWindows(std::vector<WindowInfo>{{.id = 42, .frame = {101, 50, 1280, 800}}});
    tick();
    tick();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0], "The shared source changed or is unavailable. Reconnecting the view…");
    desktop->setWindows(std::vector<WindowInfo>{});
    tick();
    EXPECT_EQ(failures.size(), 3u);
}

TEST_F(DisplayCaptureTest, DisplayNotificationsReportOnlyAChangeOfTheSharedDisplay) {
    makeDisplay();
    start();
    desktop->setDisplays({{.id = 7, .bounds = {0, 0, 3024, 1964}, .primary = true},
                          {.id = 8, .bounds = {3024, 0, 800, 600}}});
    stream->onQueue([&] { stream->handlers.onDisplaysChanged(); });
    executor->runUntilIdle();
    EXPECT_TRUE(failures.empty());
    desktop->setDisplays({{.id = 7, .bounds = {0, 0, 1920, 1080}, .primary = true}});
    stream->onQueue([&] { stream->handlers.onDisplaysChanged(); });
    executor->runUntilIdle();
    EXPECT_EQ(failures, std::vector<std::string>{
                            "The display changed. Start Studio again to update the canvas."});
}

TEST_F(DisplayCaptureTest, StartFailuresAndStreamStopsReachTheOwner) {
    stream->startError = CaptureError{"Screen capture needs the X server's DAMAGE extension."};
    makeDisplay();
    EXPECT_EQ(await([&](auto c) { capture->start(std::move(c)); }),
              "Screen capture needs the X server's DAMAGE extension.");
    capture->stop();
    EXPECT_TRUE(stream->stopped);

    stream = std::make_shared<StreamControl>();
    makeDisplay();
    start();
    stream->onQueue([&] { stream->handlers.onStopped(); });
    executor->runUntilIdle();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("Screen sharing stopped."), std::string::npos);
    capture->stop();
}

}  // namespace
}  // namespace quillory
