#pragma once

#include "platform/webrtc/peer_video_source.h"

namespace quillory {

// The fit the operating points are built on (StudioSourceSize::fitted and its centred crop), in
// the form the transport's video source applies it.
VideoSourceFit studioSourceFit(int sourceWidth, int sourceHeight, int requestWidth,
                               int requestHeight);

}  // namespace quillory
