#include "app/studio/studio_session_capture.h"

namespace quillory {

namespace {

class DisplaySessionCapture final : public StudioSessionCapture {
  public:
    explicit DisplaySessionCapture(std::shared_ptr<DisplayCapture> capture)
        : capture_(std::move(capture)) {}
    ~DisplaySessionCapture() override { capture_->stop(); }

    void start(Completion completion) override { capture_->start(std::move(completion)); }
    void update(int longSideLimit, const std::optional<StudioViewport>& viewport,
                Completion completion) override {
        capture_->update(longSideLimit, viewport, std::move(completion));
    }
    void updateFramesPerSecond(int framesPerSecond, Completion completion) override {
        capture_->updateFramesPerSecond(framesPerSecond, std::move(completion));
    }
    void stop() override { capture_->stop(); }
    void requestRefresh() override { capture_->requestRefresh(); }
    int width() const override { return capture_->width(); }
    int height() const override { return capture_->height(); }

  private:
    const std::shared_ptr<DisplayCapture> capture_;
};

}  // namespace

StudioCaptureMaker displayCaptureMaker(DisplayCapture::Environment environment) {
    return [environment = std::move(environment)](
               const StudioCaptureSource& source, int longSideLimit,
               const std::optional<StudioViewport>& viewport, DisplayCapture::FrameSink onFrame,
               DisplayCapture::FailureHandler onFailure) -> std::shared_ptr<StudioSessionCapture> {
        auto capture = DisplayCapture::create(source, longSideLimit, viewport, std::move(onFrame),
                                              std::move(onFailure), environment);
        if (!capture) {
            return nullptr;
        }
        return std::make_shared<DisplaySessionCapture>(std::move(capture));
    };
}

}  // namespace quillory
