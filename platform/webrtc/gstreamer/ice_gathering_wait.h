#pragma once

#include <gst/gst.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/dispatch/serial_queue.h"
#include "platform/webrtc/peer_transport.h"

namespace quillory {

// The wait for webrtcbin to finish gathering ICE candidates, so that a description is handed over
// complete: the completion runs once on the queue when gathering completes or the deadline passes,
// whichever comes first; after that what was gathered has to do. After close() no wait starts, a
// pending one never completes and webrtcbin is no longer watched.
//
// It lives inside its owner, which hands it a weak pointer that keeps the owner alive while locked
// (an aliasing one), so a late signal or timer finds both or neither. Thread-safe.
class IceGatheringWait {
  public:
    // `queue` outlives the wait.
    explicit IceGatheringWait(SerialQueue& queue);

    // Watches `webrtc`, which stays until the wait is closed.
    void watch(GstElement* webrtc, std::weak_ptr<IceGatheringWait> self);
    // Refused once closed.
    bool start(double timeoutSeconds, std::function<void()> finished);
    // Fresh until started; complete once the waiter found gathering gave it what it needs.
    IceGatheringState state() const;
    void gathered();
    void close();

  private:
    // webrtcbin's threads or the starter's: a completed gathering finishes the wait on the queue.
    void changed();
    void finish();

    SerialQueue& queue_;
    GstElement* webrtc_ = nullptr;
    std::weak_ptr<IceGatheringWait> self_;
    gulong handler_ = 0;

    mutable std::mutex mutex_;
    bool closed_ = false;
    std::optional<std::function<void()>> finished_;
    Timer timeout_;
    IceGatheringState state_ = IceGatheringState::fresh;
};

}  // namespace quillory
