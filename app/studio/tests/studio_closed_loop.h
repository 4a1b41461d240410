#pragma once

#include <memory>

#include "app/studio/studio_hardware_encoder_factory.h"
#include "media/studio_peer.h"
#include "platform/dispatch/main_queue.h"

namespace quillory {

// Wires a peer to its Studio encoder factory as a Studio session does, without a capture: the
// mailbox's pushed reports go to the peer without an interval, each statistics interval closes
// the mailbox's window and goes with it, and an operating point's frame rate becomes the
// factory's cadence at once. Call on the main executor after the peer's onStatistics is set; it
// is kept and called first. Everything is held weakly.
void wireStudioLoop(const std::shared_ptr<StudioPeer>& peer,
                    const std::shared_ptr<StudioHardwareEncoderFactory>& factory,
                    const std::shared_ptr<Executor>& main);

}  // namespace quillory
