#pragma once

#include <memory>

#include "app/studio/mac_studio_session.h"
#include "app/studio/source_preview.h"
#include "app/studio/studio_application_artwork.h"
#include "platform/dispatch/serial_queue.h"

namespace quillory {

// The session's waits that run off the main thread: content reads and preview grabs on a serial
// queue of their own (reads of the window list and screenshots block), icons on the artwork's
// queue. Each completion is called on the worker; the session hops back to the main queue.
struct StudioSessionWorkers {
    static MacStudioSession::ContentReader contentReader(std::shared_ptr<SerialQueue> queue,
                                                         std::shared_ptr<Desktop> desktop);
    static MacStudioSession::PreviewGrabber previewGrabber(std::shared_ptr<SerialQueue> queue,
                                                           PreviewCapture capture);
    static MacStudioSession::ArtworkRenderer artwork(
        std::shared_ptr<StudioApplicationArtwork> artwork);
};

}  // namespace quillory
