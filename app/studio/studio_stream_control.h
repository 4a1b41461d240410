#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/studio/studio_application_artwork.h"
#include "app/studio/studio_hardware_encoder_factory.h"
#include "app/studio/studio_session_capture.h"
#include "media/studio_encoder_feedback.h"
#include "media/studio_media_interval.h"
#include "media/studio_operating_point.h"
#include "media/studio_peer.h"
#include "platform/dispatch/executor.h"
#include "protocol/studio_signal.h"
#include "protocol/uuid.h"

namespace quillory {

// The control loop of one running stream. The tablet's "configure" signals and the peer's
// operating points reach the capture one at a time through a serial configuration task; only the
// latest of each waits, and a newer operating point answers the one it replaces with false. The
// encoder's feedback windows go to the peer, with each statistics interval.
//
// Main executor only. It acts until end(); its continuations hold it weakly.
class StudioStreamControl : public std::enable_shared_from_this<StudioStreamControl> {
  public:
    // The Studio host's side, both holding the host weakly.
    struct Owner {
        std::function<void(const StudioSignal&)> send;
        std::function<void(const std::string&)> fail;
    };

    // Answers an operating point exactly once: as told, else false when dropped unanswered.
    class PointAnswer {
      public:
        explicit PointAnswer(std::function<void(bool)> completion)
            : completion_(std::move(completion)) {}
        ~PointAnswer() { operator()(false); }
        PointAnswer(const PointAnswer&) = delete;
        PointAnswer& operator=(const PointAnswer&) = delete;

        void operator()(bool applied) {
            if (auto completion = std::exchange(completion_, nullptr)) {
                completion(applied);
            }
        }

      private:
        std::function<void(bool)> completion_;
    };
    using PointCompletion = std::shared_ptr<PointAnswer>;

    StudioStreamControl(Uuid streamID, std::shared_ptr<Executor> main,
                        std::weak_ptr<StudioPeer> peer,
                        std::weak_ptr<StudioHardwareEncoderFactory> encoderFactory, Owner owner);

    // Configuration waits for the capture.
    void attach(std::weak_ptr<StudioSessionCapture> capture);
    void configure(const StudioSignal& signal);
    void operatingPointChanged(const StudioOperatingPoint& point, PointCompletion completion);
    void feedbackUpdated(const StudioEncoderFeedback& feedback);
    void statisticsArrived(const std::optional<StudioMediaInterval>& interval);
    // Cancels the configuration task and answers a waiting operating point with false.
    void end();

  private:
    using Token = std::shared_ptr<CancelToken>;

    void schedule();
    void step(const Token& token);
    void configurationApplied(const Token& token, const StudioSignal& signal,
                              const std::optional<std::string>& error);
    void cadenceApplied(const Token& token, const StudioOperatingPoint& point,
                        PointCompletion completion, const std::optional<std::string>& error);
    void finish(const Token& token);

    const Uuid streamID_;
    const std::shared_ptr<Executor> main_;
    const std::weak_ptr<StudioPeer> peer_;
    const std::weak_ptr<StudioHardwareEncoderFactory> encoderFactory_;
    const Owner owner_;
    std::weak_ptr<StudioSessionCapture> capture_;
    bool ended_ = false;
    Token task_;
    std::optional<StudioSignal> pendingConfiguration_;
    std::optional<std::pair<StudioOperatingPoint, PointCompletion>> pendingCadence_;
};

}  // namespace quillory
