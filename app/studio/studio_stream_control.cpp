#include "app/studio/studio_stream_control.h"

#include "app/studio/hop_to.h"
#include "app/studio/mac_studio_session.h"
#include "platform/dispatch/sequence_checker.h"

namespace quillory {

namespace {

constexpr const char* updateFailedText = "Could not update video quality. Reconnecting the view…";

}  // namespace

StudioStreamControl::StudioStreamControl(Uuid streamID, std::shared_ptr<Executor> main,
                                         std::weak_ptr<StudioPeer> peer,
                                         std::weak_ptr<StudioHardwareEncoderFactory> encoderFactory,
                                         Owner owner)
    : streamID_(streamID),
      main_(std::move(main)),
      peer_(std::move(peer)),
      encoderFactory_(std::move(encoderFactory)),
      owner_(std::move(owner)) {}

void StudioStreamControl::attach(std::weak_ptr<StudioSessionCapture> capture) {
    capture_ = std::move(capture);
}

void StudioStreamControl::configure(const StudioSignal& signal) {
    QUILLORY_CHECK_ON(*main_);
    if (!signal.preset || !signal.settingsID || !capture_.lock()) {
        return;
    }
    pendingConfiguration_ = signal;
    schedule();
}

void StudioStreamControl::operatingPointChanged(const StudioOperatingPoint& point,
                                                PointCompletion completion) {
    QUILLORY_CHECK_ON(*main_);
    if (ended_ || !peer_.lock()) {
        (*completion)(false);
        return;
    }
    if (auto earlier = std::exchange(pendingCadence_, std::nullopt)) {
        (*earlier->second)(false);
    }
    pendingCadence_.emplace(point, std::move(completion));
    schedule();
}

void StudioStreamControl::feedbackUpdated(const StudioEncoderFeedback& feedback) {
    QUILLORY_CHECK_ON(*main_);
    const auto peer = peer_.lock();
    const auto factory = encoderFactory_.lock();
    if (ended_ || !peer || !factory || !factory->feedback()->isCurrent(feedback.epoch)) {
        return;
    }
    peer->submit(feedback, std::nullopt);
}

void StudioStreamControl::statisticsArrived(const std::optional<StudioMediaInterval>& interval) {
    QUILLORY_CHECK_ON(*main_);
    const auto factory = encoderFactory_.lock();
    if (ended_ || !factory) {
        return;
    }
    const auto feedback = factory->feedback()->beginWindow();
    if (const auto peer = peer_.lock(); feedback && peer) {
        peer->submit(*feedback, interval);
    }
}

void StudioStreamControl::end() {
    QUILLORY_CHECK_ON(*main_);
    ended_ = true;
    if (const auto token = std::exchange(task_, nullptr)) {
        token->cancel();
    }
    pendingConfiguration_.reset();
    if (auto pending = std::exchange(pendingCadence_, std::nullopt)) {
        (*pending->second)(false);
    }
}

void StudioStreamControl::schedule() {
    if (task_ || ended_) {
        return;
    }
    const auto token = std::make_shared<CancelToken>();
    task_ = token;
    main_->post([weak = weak_from_this(), token] {
        if (const auto self = weak.lock()) {
            self->step(token);
        }
    });
}

void StudioStreamControl::step(const Token& token) {
    QUILLORY_CHECK_ON(*main_);
    const auto capture = capture_.lock();
    if (token->isCancelled() || ended_ || !capture || peer_.expired()) {
        finish(token);
        return;
    }
    if (auto signal = std::exchange(pendingConfiguration_, std::nullopt)) {
        capture->update(MacStudioSession::longSideLimit(signal->preset), signal->viewport,
                        hopTo<std::optional<std::string>>(
                            main_, weak_from_this(),
                            [token, signal = *signal](StudioStreamControl& self,
                                                      const std::optional<std::string>& error) {
                                self.configurationApplied(token, signal, error);
                            }));
        return;
    }
    if (auto cadence = std::exchange(pendingCadence_, std::nullopt)) {
        // Without the control the answer is dropped, and dropping it answers false.
        capture->updateFramesPerSecond(
            cadence->first.framesPerSecond,
            hopTo<std::optional<std::string>>(
                main_, weak_from_this(),
                [token, point = cadence->first, answer = cadence->second](
                    StudioStreamControl& self, const std::optional<std::string>& error) {
                    self.cadenceApplied(token, point, answer, error);
                }));
        return;
    }
    finish(token);
}

void StudioStreamControl::configurationApplied(const Token& token, const StudioSignal& signal,
                                               const std::optional<std::string>& error) {
    QUILLORY_CHECK_ON(*main_);
    const bool current = !token->isCancelled() && !ended_;
    if (error) {
        if (current) {
            owner_.fail(updateFailedText);
        }
        return;
    }
    const auto capture = capture_.lock();
    const auto peer = peer_.lock();
    if (!current || !capture || !peer) {
        return;
    }
    const int width = capture->width();
    const int height = capture->height();
    peer->apply(
        StudioStreamConfiguration{.preset = *signal.preset, .width = width, .height = height});
    if (ended_) {
        return;
    }
    owner_.send(StudioSignal{.id = streamID_,
                             .kind = StudioSignal::Kind::configured,
                             .width = width,
                             .height = height,
                             .preset = signal.preset,
                             .settingsID = signal.settingsID});
    step(token);
}

void StudioStreamControl::cadenceApplied(const Token& token, const StudioOperatingPoint& point,
                                         PointCompletion answer,
                                         const std::optional<std::string>& error) {
    QUILLORY_CHECK_ON(*main_);
    if (error) {
        // A refused point fails the peer, which ends the stream with its own sentence; only a
        // stream that outlives the answer ends with this one, so the tablet and the person read
        // the same.
        (*answer)(false);
        if (!token->isCancelled() && !ended_) {
            owner_.fail(updateFailedText);
        }
        return;
    }
    if (token->isCancelled() || ended_) {
        (*answer)(false);
        return;
    }
    if (const auto factory = encoderFactory_.lock()) {
        factory->cadence()->setFramesPerSecond(
            MacStudioSession::cadenceFramesPerSecond(point.framesPerSecond));
    }
    (*answer)(true);
    step(token);
}

void StudioStreamControl::finish(const Token& token) {
    if (!ended_ && task_ == token) {
        task_.reset();
    }
}

}  // namespace quillory
