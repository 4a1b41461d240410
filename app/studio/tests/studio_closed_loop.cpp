#include "app/studio/tests/studio_closed_loop.h"

#include "app/studio/mac_studio_session.h"

namespace quillory {

void wireStudioLoop(const std::shared_ptr<StudioPeer>& peer,
                    const std::shared_ptr<StudioHardwareEncoderFactory>& factory,
                    const std::shared_ptr<Executor>& main) {
    const std::weak_ptr<StudioPeer> weakPeer = peer;
    const std::weak_ptr<StudioHardwareEncoderFactory> weakFactory = factory;
    // Without this step a point of another rate is never confirmed: the policy confirms only when
    // the encoder reports the target's rate.
    peer->onOperatingPointChanged = [weakFactory](const StudioOperatingPoint& point,
                                                  std::function<void(bool)> completion) {
        const auto owner = weakFactory.lock();
        if (owner) {
            owner->cadence()->setFramesPerSecond(
                MacStudioSession::cadenceFramesPerSecond(point.framesPerSecond));
        }
        completion(owner != nullptr);
    };
    factory->feedback()->setOnUpdate(
        [weakPeer, weakFactory, main](const StudioEncoderFeedback& feedback) {
            main->post([weakPeer, weakFactory, feedback] {
                const auto target = weakPeer.lock();
                const auto owner = weakFactory.lock();
                if (target && owner && owner->feedback()->isCurrent(feedback.epoch)) {
                    target->submit(feedback, std::nullopt);
                }
            });
        });
    peer->onStatistics = [weakPeer, weakFactory, previous = peer->onStatistics](
                             const StudioStatisticsReport& report,
                             const std::optional<StudioMediaInterval>& interval) {
        if (previous) {
            previous(report, interval);
        }
        const auto target = weakPeer.lock();
        const auto owner = weakFactory.lock();
        if (!target || !owner) {
            return;
        }
        if (const auto feedback = owner->feedback()->beginWindow()) {
            target->submit(*feedback, interval);
        }
    };
}

}  // namespace quillory
