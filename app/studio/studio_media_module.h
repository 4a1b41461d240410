#pragma once

#include <memory>

#include "app/studio/studio_video_codec.h"
#include "platform/webrtc/peer_transport_factory.h"

namespace quillory {

// What only a Studio stream needs, libavcodec and GStreamer with everything they bring, lives in a
// module of its own that the application loads on its first stream: a host that never streams
// does not hold those libraries in memory.
struct StudioMediaModule {
    std::shared_ptr<PeerTransportFactory> transportFactory;
    StudioVideoCodecOpener openCodec;
};

// The module's one entry point, looked up by the name below.
using StudioMediaModuleEntry = void (*)(StudioMediaModule* module);
inline constexpr const char* studioMediaModuleEntry = "quillory_studio_media_module";

namespace StudioMediaModuleLoader {

// Each loads the module on its first use, once per process, from any thread. Without the module
// the factory refuses transports and the opener fails; why is logged once.
std::shared_ptr<PeerTransportFactory> transportFactory();
StudioVideoCodecOpener codecOpener();

}  // namespace StudioMediaModuleLoader

}  // namespace quillory
