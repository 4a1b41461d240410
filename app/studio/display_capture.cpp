#include "app/studio/display_capture.h"

#include <algorithm>
#include <cmath>

#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/sequence_checker.h"

namespace quillory {

namespace {

constexpr double maximumPixels = 8'000'000;
constexpr char displayChangedText[] =
    "The display changed. Start Studio again to update the canvas.";
constexpr char sourceChangedText[] =
    "The shared source changed or is unavailable. Reconnecting the view…";
// The stream stops on X11 only when the connection to the X server fails.
constexpr char streamStoppedText[] =
    "Screen sharing stopped. Check that this computer's display is still available, then try "
    "again.";

int edge(double scaled) {
    // A hair of slack so that 3024 × (1180 / 3024) lands on 1180, not 1179.
    const int value = static_cast<int>(std::floor(scaled + 1e-6));
    return value < 2 ? 2 : value & ~1;
}

}  // namespace

CaptureSize DisplayCapture::captureSize(const StudioCaptureSource& source, const Desktop& desktop,
                                        int longSideLimit,
                                        const std::optional<StudioViewport>& viewport) {
    Rect rect = source.frame();
    if (const auto* display = source.displayInfo()) {
        if (const auto now = desktop.display(display->id)) {
            rect = now->bounds;
        }
    }
    // One pixel per point on X11; an edge without pixels scales nothing and becomes 2 on its
    // own, so a window one pixel wide keeps its height.
    const auto pixels = [](double points) {
        return std::isfinite(points) && points > 0 ? std::floor(points) : 0.0;
    };
    const double pw = pixels(rect.width);
    const double ph = pixels(rect.height);
    double s = 1;
    if (const double longSide = std::max(pw, ph); longSide > 0) {
        s = std::min(s, std::max(longSideLimit, 1) / longSide);
    }
    if (viewport && !viewport->actualPixels && viewport->width > 0 && viewport->height > 0) {
        if (pw > 0) {
            s = std::min(s, static_cast<double>(viewport->width) / pw);
        }
        if (ph > 0) {
            s = std::min(s, static_cast<double>(viewport->height) / ph);
        }
    }
    if (pw * ph > 0) {
        s = std::min(s, std::sqrt(maximumPixels / (pw * ph)));
    }
    return {edge(pw * s), edge(ph * s)};
}

std::shared_ptr<DisplayCapture> DisplayCapture::create(
    const StudioCaptureSource& source, int longSideLimit,
    const std::optional<StudioViewport>& viewport, FrameSink onFrame, FailureHandler onFailure,
    Environment environment) {
    const auto size = captureSize(source, *environment.desktop, longSideLimit, viewport);
    return std::shared_ptr<DisplayCapture>(new DisplayCapture(
        source, size, std::move(onFrame), std::move(onFailure), std::move(environment)));
}

DisplayCapture::DisplayCapture(const StudioCaptureSource& source, CaptureSize size,
                               FrameSink onFrame, FailureHandler onFailure, Environment environment)
    : source_(source),
      bounds_(source.frame()),
      onFrame_(std::move(onFrame)),
      onFailure_(std::move(onFailure)),
      environment_(std::move(environment)),
      queue_(std::make_shared<SerialQueue>("com.quillory.capture")),
      size_(size) {}

DisplayCapture::~DisplayCapture() {
    sourceWatch_.cancel();
    if (queue_->isCurrent()) {
        // The last reference dropped inside one of the stream's own callbacks: the stream must
        // outlive that call, so it leaves as work that the stopping queue discards afterwards.
        refreshWork_.cancel();
        queue_->async([stream = std::move(stream_)] {});
        return;
    }
    (void)queue_->sync([this] {
        refreshWork_.cancel();
        refreshImage_.reset();
        if (stream_) {
            stream_->stop();
            stream_.reset();
        }
    });
}

CaptureStreamConfiguration DisplayCapture::configuration(CaptureSize size,
                                                         int framesPerSecond) const {
    return {size.width, size.height, framesPerSecond, true};
}

void DisplayCapture::start(Completion completion) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (stopped_ || started_) {
        completion(std::nullopt);
        return;
    }
    started_ = true;
    const auto target = source_.captureTarget();
    const auto config = configuration(size_, framesPerSecond_);
    std::weak_ptr<DisplayCapture> weak = weak_from_this();
    queue_->async([weak, target, config, completion = std::move(completion)]() mutable {
        const auto self = weak.lock();
        if (!self) {
            return;
        }
        std::optional<std::string> error;
        if (!self->refreshStopped_) {
            self->captureCadence_ = config.framesPerSecond;
            std::shared_ptr<CaptureStream> stream =
                self->environment_.makeStream(*self->queue_, target, config);
            CaptureStream::Handlers handlers{
                .onFrame =
                    [weak](const CaptureFrame& frame) {
                        if (const auto capture = weak.lock()) {
                            capture->handleFrame(frame);
                        }
                    },
                .onDisplaysChanged =
                    [weak] {
                        if (const auto capture = weak.lock()) {
                            capture->reportSource(capture->isSourceAvailable(), displayChangedText);
                        }
                    },
                .onStopped =
                    [weak] {
                        MainQueue::post([weak] {
                            if (const auto capture = weak.lock(); capture && !capture->stopped_) {
                                capture->onFailure_(streamStoppedText);
                            }
                        });
                    }};
            if (!stream) {
                error = "Screen capture could not be set up.";
            } else if (auto failure = stream->start(std::move(handlers))) {
                error = failure->message;
            }
            // Kept even after a failed start, as the owner's stop ends it.
            self->stream_ = std::move(stream);
        }
        MainQueue::post([weak, error, completion = std::move(completion)] {
            const auto capture = weak.lock();
            if (capture && !error && !capture->stopped_) {
                capture->watching_ = true;
                capture->armSourceWatch();
            }
            completion(error);
        });
    });
}

void DisplayCapture::update(int longSideLimit, const std::optional<StudioViewport>& viewport,
                            Completion completion) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (stopped_) {
        completion(std::nullopt);
        return;
    }
    const auto size = captureSize(source_, *environment_.desktop, longSideLimit, viewport);
    if (size == size_) {
        completion(std::nullopt);
        return;
    }
    if (!started_) {
        // Stored at once, so that a start right after this call uses it.
        size_ = size;
        completion(std::nullopt);
        return;
    }
    const auto config = configuration(size, framesPerSecond_);
    std::weak_ptr<DisplayCapture> weak = weak_from_this();
    queue_->async([weak, size, config, completion = std::move(completion)]() mutable {
        const auto self = weak.lock();
        if (!self) {
            return;
        }
        // A kept frame of the old size must not be re-sent into the new one.
        self->cancelRefresh();
        std::optional<std::string> error;
        if (self->stream_) {
            if (auto failure = self->stream_->update(config)) {
                error = failure->message;
            }
        }
        MainQueue::post([weak, size, error, completion = std::move(completion)] {
            if (const auto capture = weak.lock(); capture && !error && !capture->stopped_) {
                capture->size_ = size;
            }
            completion(error);
        });
    });
}

void DisplayCapture::updateFramesPerSecond(int framesPerSecond, Completion completion) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (stopped_ || framesPerSecond == framesPerSecond_ || framesPerSecond <= 0) {
        completion(std::nullopt);
        return;
    }
    if (!started_) {
        framesPerSecond_ = framesPerSecond;
        completion(std::nullopt);
        return;
    }
    const auto config = configuration(size_, framesPerSecond);
    std::weak_ptr<DisplayCapture> weak = weak_from_this();
    queue_->async([weak, config, completion = std::move(completion)]() mutable {
        const auto self = weak.lock();
        if (!self) {
            return;
        }
        std::optional<std::string> error;
        if (self->stream_) {
            if (auto failure = self->stream_->update(config)) {
                error = failure->message;
            }
        }
        if (!error) {
            self->captureCadence_ = config.framesPerSecond;
        }
        MainQueue::post(
            [weak, rate = config.framesPerSecond, error, completion = std::move(completion)] {
                if (const auto capture = weak.lock(); capture && !error && !capture->stopped_) {
                    capture->framesPerSecond_ = rate;
                }
                completion(error);
            });
    });
}

void DisplayCapture::stop() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (stopped_) {
        return;
    }
    stopped_ = true;
    watching_ = false;
    sourceWatch_.cancel();
    // Quick: it waits at most for one grab already under way.
    (void)queue_->sync([this] {
        refreshStopped_ = true;
        refreshWork_.cancel();
        refreshImage_.reset();
        if (auto stream = std::move(stream_)) {
            stream->stop();
        }
    });
}

void DisplayCapture::requestRefresh() {
    std::weak_ptr<DisplayCapture> weak = weak_from_this();
    queue_->async([weak] {
        const auto self = weak.lock();
        if (!self || self->refreshStopped_) {
            return;
        }
        self->refreshWork_.cancel();
        auto deliver = [weak] {
            if (const auto capture = weak.lock()) {
                capture->deliverRefresh();
            }
        };
        auto& timers = self->environment_.timers ? *self->environment_.timers : *self->queue_;
        self->refreshWork_ = afterOn(timers, *self->queue_, refreshDelay, std::move(deliver));
    });
}

void DisplayCapture::deliverRefresh() {
    QUILLORY_CHECK_ON(*queue_);
    if (refreshStopped_ || !refreshImage_) {
        return;
    }
    refreshWork_ = Timer();
    const double now = environment_.clock->nowSeconds();
    if (std::isfinite(now) && now >= 0) {
        onFrame_(refreshImage_, static_cast<std::int64_t>(now * 1e9));
    }
}

void DisplayCapture::cancelRefresh() {
    QUILLORY_CHECK_ON(*queue_);
    refreshWork_.cancel();
    refreshImage_.reset();
}

void DisplayCapture::handleFrame(const CaptureFrame& frame) {
    QUILLORY_CHECK_ON(*queue_);
    if (refreshStopped_ || frame.status == CaptureFrameStatus::idle) {
        return;
    }
    if (frame.status != CaptureFrameStatus::complete || !frame.image) {
        cancelRefresh();
        return;
    }
    const double presentation = frame.presentationSeconds;
    if (!std::isfinite(presentation) || presentation < 0) {
        return;
    }
    const double age = environment_.clock->nowSeconds() - presentation;
    if (age < -0.01 || age >= 2.0 / captureCadence_) {
        cancelRefresh();
        return;
    }
    refreshWork_.cancel();
    refreshImage_ = frame.image;
    onFrame_(frame.image, static_cast<std::int64_t>(presentation * 1e9));
}

bool DisplayCapture::isSourceAvailable() const {
    QUILLORY_CHECK_ON(*queue_);
    const auto& desktop = *environment_.desktop;
    if (const auto* display = source_.displayInfo()) {
        const auto now = desktop.display(display->id);
        return now && !now->bounds.isEmpty() && now->bounds == bounds_;
    }
    const auto window = desktop.window(source_.windowInfo()->info.id);
    return window && window->frame == bounds_;
}

void DisplayCapture::reportSource(bool available, const char* failure) {
    if (available) {
        return;
    }
    std::weak_ptr<DisplayCapture> weak = weak_from_this();
    MainQueue::post([weak, failure] {
        if (const auto self = weak.lock(); self && self->watching_) {
            self->onFailure_(failure);
        }
    });
}

void DisplayCapture::armSourceWatch() {
    QUILLORY_CHECK_MAIN_THREAD();
    std::weak_ptr<DisplayCapture> weak = weak_from_this();
    // The check asks the X server and waits for its answer: on the capture queue, never on the
    // main thread. The next check is armed once this one has answered.
    sourceWatch_ = MainQueue::after(sourceWatchInterval, [weak] {
        const auto self = weak.lock();
        if (!self || !self->watching_) {
            return;
        }
        self->queue_->async([weak] {
            const auto capture = weak.lock();
            if (!capture) {
                return;
            }
            capture->reportSource(capture->isSourceAvailable(), sourceChangedText);
            MainQueue::post([weak] {
                if (const auto again = weak.lock(); again && again->watching_) {
                    again->armSourceWatch();
                }
            });
        });
    });
}

}  // namespace quillory
