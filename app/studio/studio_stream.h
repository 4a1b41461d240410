#pragma once

#include <memory>

#include "app/studio/studio_application_artwork.h"
#include "app/studio/studio_hardware_encoder_factory.h"
#include "app/studio/studio_session_capture.h"
#include "app/studio/studio_stream_control.h"
#include "media/studio_peer.h"
#include "platform/dispatch/timer.h"
#include "protocol/uuid.h"

namespace quillory {

// What the Studio host holds for its one stream, from the request that started it until teardown.
// The peer, encoder factory and capture exist only inside a stream, so an absent stream has none.
struct StudioStream {
    // The id of the request that started the stream; every task and callback of the stream
    // carries it.
    Uuid id;
    std::shared_ptr<StudioPeer> peer;
    std::shared_ptr<StudioHardwareEncoderFactory> encoderFactory;
    std::shared_ptr<StudioSessionCapture> capture;
    // The start task, later the capture-start task.
    std::shared_ptr<CancelToken> startup;
    // Linux has no process activity to hold; the flag only marks that the stream holds one.
    bool streamingActivity = true;
    // The tablet's answer has been taken.
    bool answered = false;
    // The raised window's application is given time to come forward.
    Timer activation;
    std::shared_ptr<StudioStreamControl> control;
};

}  // namespace quillory
