#include "app/session/session_input_receivers.h"

namespace quillory {

SessionInputReceivers SessionInputReceivers::make(std::weak_ptr<DesktopInputWorker> worker,
                                                  const Uuid& connection,
                                                  std::function<void(const Uuid&)> onEnded) {
    SessionInputReceivers receivers;
    receivers.samples = [worker, connection](const std::vector<PenSample>& batch) {
        if (auto strong = worker.lock()) {
            strong->submit(batch, connection);
        }
    };
    receivers.action = [worker, connection](const DesktopAction& desktopAction) {
        if (auto strong = worker.lock()) {
            strong->submit(desktopAction, connection);
        }
    };
    receivers.cancelled = [worker, connection] {
        if (auto strong = worker.lock()) {
            strong->end(connection);
        }
    };
    receivers.ended = [worker, connection, onEnded = std::move(onEnded)] {
        auto strong = worker.lock();
        if (!strong) {
            return;
        }
        strong->detach(connection);
        if (onEnded) {
            onEnded(connection);
        }
    };
    return receivers;
}

}  // namespace quillory
