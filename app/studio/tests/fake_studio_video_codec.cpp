#include "app/studio/tests/fake_studio_video_codec.h"

#include <utility>

namespace quillory::testing {

class FakeStudioVideoCodec final : public StudioVideoCodec {
  public:
    FakeStudioVideoCodec(std::shared_ptr<FakeCodecControl> control, H264CodecConfig config)
        : control_(std::move(control)), config_(config) {}

    ~FakeStudioVideoCodec() override {
        std::lock_guard lock(control_->mutex_);
        control_->notify_ = nullptr;
        control_->held_.clear();
        control_->ready_.clear();
    }

    std::optional<VideoError> encode(std::shared_ptr<PixelBuffer> buffer, bool keyframe,
                                     std::int64_t pts,
                                     std::vector<StudioCodecOutput>& outputs) override {
        std::lock_guard lock(control_->mutex_);
        FakeCodecControl::Action action = control_->fallback_;
        if (!control_->script_.empty()) {
            action = control_->script_.front();
            control_->script_.pop_front();
        }
        if (action == FakeCodecControl::Action::fail) {
            return VideoError{-5, "Sending the frame failed."};
        }
        control_->encoded_.push_back(
            {pts, keyframe, buffer->width(), buffer->height(), buffer.get()});
        control_->changed_.notify_all();
        StudioCodecOutput output = control_->outputFor(pts, keyframe, action);
        if (action == FakeCodecControl::Action::hold) {
            control_->held_.push_back(std::move(output));
        } else {
            outputs.push_back(std::move(output));
        }
        return std::nullopt;
    }

    void drain(std::vector<StudioCodecOutput>& outputs) override {
        std::lock_guard lock(control_->mutex_);
        while (!control_->ready_.empty()) {
            outputs.push_back(std::move(control_->ready_.front()));
            control_->ready_.pop_front();
        }
    }

    std::optional<VideoError> setBitrate(std::uint32_t kbps) override {
        std::lock_guard lock(control_->mutex_);
        control_->bitrates_.push_back(kbps);
        return std::nullopt;
    }

    std::optional<VideoError> setFramesPerSecond(int framesPerSecond) override {
        std::lock_guard lock(control_->mutex_);
        if (auto error = std::exchange(control_->framesPerSecondError_, std::nullopt)) {
            return error;
        }
        control_->framesPerSecondChanges_.push_back(framesPerSecond);
        config_.framesPerSecond = framesPerSecond;
        return std::nullopt;
    }

    void setOutputReady(std::function<void()> ready) override {
        std::lock_guard lock(control_->mutex_);
        control_->notify_ = std::move(ready);
    }

    bool hardware() const override { return false; }
    int hardwareProbeStatus() const override { return -19; }

  private:
    std::shared_ptr<FakeCodecControl> control_;
    H264CodecConfig config_;
};

Bytes fakeAccessUnit(std::int64_t pts, bool keyframe) {
    Bytes bytes;
    if (keyframe) {
        bytes.insert(bytes.end(), {0, 0, 0, 1, 0x67, 0x42, 0xe0, 0x34, 0x8c});
        bytes.insert(bytes.end(), {0, 0, 1, 0x68, 0xce, 0x3c, 0x80});
    }
    bytes.insert(bytes.end(), {0, 0, 1, static_cast<std::uint8_t>(keyframe ? 0x65 : 0x41), 0x88});
    for (int shift = 24; shift >= 0; shift -= 8) {
        // Never two zero bytes in a row, so the payload cannot look like a start code.
        bytes.push_back(static_cast<std::uint8_t>((pts >> shift) & 0xff) | 0x80);
    }
    return bytes;
}

StudioCodecOutput FakeCodecControl::outputFor(std::int64_t pts, bool keyframe,
                                              Action action) const {
    switch (action) {
        case Action::drop:
            return {pts, 0, true, nullptr};
        case Action::missing:
            return {pts, 0, false, nullptr};
        case Action::failOutput:
            return {pts, -5, false, nullptr};
        case Action::incomplete:
            return {pts, 0, false, std::make_shared<const Bytes>(Bytes{0, 0, 0, 1, 0x06, 0x05})};
        default:
            return {pts, 0, false, std::make_shared<const Bytes>(fakeAccessUnit(pts, keyframe))};
    }
}

void FakeCodecControl::script(std::vector<Action> actions) {
    std::lock_guard lock(mutex_);
    script_.assign(actions.begin(), actions.end());
}

void FakeCodecControl::setFallback(Action action) {
    std::lock_guard lock(mutex_);
    fallback_ = action;
}

void FakeCodecControl::failNextOpen(VideoError error) {
    std::lock_guard lock(mutex_);
    openError_ = std::move(error);
}

void FakeCodecControl::failNextFramesPerSecond(VideoError error) {
    std::lock_guard lock(mutex_);
    framesPerSecondError_ = std::move(error);
}

std::function<void()> FakeCodecControl::moveHeld(std::size_t count) {
    std::lock_guard lock(mutex_);
    for (; count > 0 && !held_.empty(); --count) {
        ready_.push_back(std::move(held_.front()));
        held_.pop_front();
    }
    return notify_;
}

void FakeCodecControl::release(std::size_t count) {
    if (auto notify = moveHeld(count)) {
        notify();
    }
}

void FakeCodecControl::releaseQuietly(std::size_t count) {
    (void)moveHeld(count);
}

std::size_t FakeCodecControl::held() const {
    std::lock_guard lock(mutex_);
    return held_.size();
}

std::vector<FakeCodecControl::Encoded> FakeCodecControl::encoded() const {
    std::lock_guard lock(mutex_);
    return encoded_;
}

std::vector<std::uint32_t> FakeCodecControl::bitrates() const {
    std::lock_guard lock(mutex_);
    return bitrates_;
}

std::vector<int> FakeCodecControl::framesPerSecondChanges() const {
    std::lock_guard lock(mutex_);
    return framesPerSecondChanges_;
}

int FakeCodecControl::opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

std::vector<H264Profile> FakeCodecControl::profiles() const {
    std::lock_guard lock(mutex_);
    return profiles_;
}

void FakeCodecControl::waitForEncoded(std::size_t count) const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return encoded_.size() >= count; });
}

StudioVideoCodecOpener FakeCodecControl::opener() {
    return [weak = weak_from_this()](const H264CodecConfig& config) -> StudioCodecOpened {
        auto control = weak.lock();
        if (!control) {
            return {nullptr, std::nullopt};
        }
        std::lock_guard lock(control->mutex_);
        ++control->opens_;
        control->profiles_.push_back(config.profile);
        if (auto error = std::exchange(control->openError_, std::nullopt)) {
            return {nullptr, error};
        }
        return {std::make_unique<FakeStudioVideoCodec>(control, config), std::nullopt};
    };
}

}  // namespace quillory::testing
