#include "app/studio/studio_session_workers.h"

namespace quillory {

MacStudioSession::ContentReader StudioSessionWorkers::contentReader(
    std::shared_ptr<SerialQueue> queue, std::shared_ptr<Desktop> desktop) {
    return [queue = std::move(queue), desktop = std::move(desktop)](
               std::function<void(std::optional<ShareableContent>)> done) {
        queue->async([desktop, done = std::move(done)] { done(ShareableContent::read(*desktop)); });
    };
}

MacStudioSession::PreviewGrabber StudioSessionWorkers::previewGrabber(
    std::shared_ptr<SerialQueue> queue, PreviewCapture capture) {
    return [queue = std::move(queue), capture = std::move(capture)](
               const StudioCaptureSource& source, std::function<void(std::optional<Bytes>)> done) {
        queue->async([capture, source, done = std::move(done)] {
            done(capturePreviewJPEG(source, capture));
        });
    };
}

MacStudioSession::ArtworkRenderer StudioSessionWorkers::artwork(
    std::shared_ptr<StudioApplicationArtwork> artwork) {
    return [artwork = std::move(artwork)](std::vector<StudioSource> sources, Uuid id,
                                          StudioApplicationArtwork::SourceKeys keys,
                                          StudioApplicationArtwork::Images images,
                                          std::shared_ptr<const CancelToken> cancel,
                                          StudioApplicationArtwork::Completion done) {
        artwork->artwork(std::move(sources), id, std::move(keys), std::move(images),
                         std::move(cancel), std::move(done));
    };
}

}  // namespace quillory
