#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/studio/application_image.h"
#include "app/studio/shareable_content.h"
#include "app/studio/studio_application_artwork.h"
#include "app/studio/studio_capture_source.h"
#include "platform/clock/clock.h"
#include "platform/dispatch/executor.h"
#include "platform/dispatch/timer.h"
#include "protocol/studio_signal.h"
#include "protocol/uuid.h"

namespace quillory {

// The catalog half of the Studio host: answers "listSources" with the shareable displays and
// windows and their icons, then one thumbnail per source; keeps the ids it handed out, the icons
// and recent previews from one pass to the next, and lists again when the desktop changes while
// the last list is fresh. Main executor only, like the session that owns it.
class StudioSourceLister : public std::enable_shared_from_this<StudioSourceLister> {
  public:
    // The shareable content, read off the main thread; the completion may run on any thread.
    using ContentReader = std::function<void(std::function<void(std::optional<ShareableContent>)>)>;
    // A thumbnail JPEG of a source, taken off the main thread; the completion may run anywhere.
    using PreviewGrabber =
        std::function<void(const StudioCaptureSource&, std::function<void(std::optional<Bytes>)>)>;
    // The icons of a list (StudioApplicationArtwork::artwork); the completion may run anywhere.
    using ArtworkRenderer =
        std::function<void(std::vector<StudioSource>, Uuid, StudioApplicationArtwork::SourceKeys,
                           StudioApplicationArtwork::Images, std::shared_ptr<const CancelToken>,
                           StudioApplicationArtwork::Completion)>;
    // Registers a handler for changes of the current desktop; the result keeps the registration
    // alive.
    using SpaceObserver = std::function<std::shared_ptr<void>(std::function<void()>)>;

    // All required but `applicationImage` and `observeSpace`.
    struct Environment {
        std::shared_ptr<Desktop> desktop;
        std::shared_ptr<Executor> main;
        std::shared_ptr<const Clock> clock;
        ContentReader readContent;
        PreviewGrabber capturePreview;
        ArtworkRenderer artwork;
        std::function<std::optional<ApplicationImage>(const ShareableWindow&)> applicationImage;
        std::function<std::string(std::int32_t, const WindowApplication&)> applicationKey;
        SpaceObserver observeSpace;
        std::int32_t ownProcessID = 0;
        // Hands a signal to the tablet, or drops it when there is no one to hand it to.
        std::function<void(const StudioSignal&)> send;
    };

    static constexpr double spaceRefreshWindow = 120.0;
    static constexpr double spaceRefreshDelay = 0.5;
    static constexpr double thumbnailPause = 0.08;
    static constexpr double previewReuse = 5.0;

    static std::shared_ptr<StudioSourceLister> create(Environment environment);
    StudioSourceLister(const StudioSourceLister&) = delete;
    StudioSourceLister& operator=(const StudioSourceLister&) = delete;

    // Starts a pass for the request, ending the one that runs.
    void listSources(const Uuid& requestID);
    // Ends the running pass and its thumbnails silently and forgets the previews.
    void cancel();
    // Forgets the last request, so the desktop's changes list nothing, and the catalog unless it is
    // kept.
    void reset(bool keepCatalog);

    const std::map<Uuid, StudioCaptureSource>& sourceCatalog() const { return sourceCatalog_; }
    std::size_t cachedApplicationImages() const { return applicationImages_.size(); }

    static std::vector<std::string> previewKeys(const std::map<Uuid, StudioCaptureSource>& catalog);

  private:
    struct ThumbnailPass;
    using Token = std::shared_ptr<CancelToken>;

    explicit StudioSourceLister(Environment environment);
    double now() const { return environment_.clock->nowSeconds(); }

    void observeActiveSpace();
    void activeSpaceChanged();
    void refreshCatalog(const Uuid& requestID);
    bool isCurrentCatalog(const Token& token, const Uuid& requestID) const;
    void catalogContentRead(const Token& token, const Uuid& requestID,
                            const std::optional<ShareableContent>& content);
    void catalogArtworkMade(const Token& token, const Uuid& requestID,
                            const std::optional<std::vector<StudioSource>>& sources,
                            std::map<Uuid, StudioCaptureSource> catalog);
    void sendEmptySources(const Token& token, const Uuid& requestID);
    void thumbnailStep(const Token& token, const std::shared_ptr<const ThumbnailPass>& pass,
                       std::size_t index);
    void thumbnailCaptured(const Token& token, const std::shared_ptr<const ThumbnailPass>& pass,
                           std::size_t index, const std::optional<Bytes>& data);
    void sendThumbnail(const Token& token, const std::shared_ptr<const ThumbnailPass>& pass,
                       std::size_t index, const Bytes& data);

    const Environment environment_;

    std::map<Uuid, StudioCaptureSource> sourceCatalog_;
    std::optional<Uuid> catalogRequestID_;
    Token catalogTask_;
    Timer catalogPause_;
    struct LastCatalog {
        Uuid id;
        double at = 0;
    };
    std::optional<LastCatalog> lastCatalog_;
    std::optional<std::shared_ptr<void>> spaceObserver_;
    Timer spaceRefresh_;
    std::map<std::string, ApplicationImage> applicationImages_;
    struct Preview {
        Bytes data;
        double taken = 0;
    };
    std::map<std::string, Preview> previewCache_;
};

}  // namespace quillory
