#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/controls/studio_hooks.h"
#include "app/desktop-control/desktop_input_target.h"
#include "app/studio/application_image.h"
#include "app/studio/shareable_content.h"
#include "app/studio/studio_application_artwork.h"
#include "app/studio/studio_capture_source.h"
#include "app/studio/studio_hardware_encoder_factory.h"
#include "app/studio/studio_published_values.h"
#include "app/studio/studio_session_capture.h"
#include "app/studio/studio_source_lister.h"
#include "app/studio/studio_stream.h"
#include "media/studio_operating_point.h"
#include "media/studio_peer.h"
#include "platform/clock/clock.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/timer.h"
#include "protocol/studio_signal.h"
#include "protocol/uuid.h"

namespace quillory {

// The Studio host: answers the tablet's Studio signals and owns at most one stream (peer, encoder
// factory, capture); its StudioSourceLister keeps the catalog of shareable sources with their icons
// and previews.
//
// Everything runs on the main executor. Work that waits (content reads, capture start and updates,
// icons, previews, pauses) is a chain of main-queue continuations; each link holds the session
// weakly and carries a cancel token and the stream or catalog request id, and does nothing once
// either no longer holds.
class MacStudioSession : public std::enable_shared_from_this<MacStudioSession>, public StudioHooks {
  public:
    using ContentReader = StudioSourceLister::ContentReader;
    using PreviewGrabber = StudioSourceLister::PreviewGrabber;
    using ArtworkRenderer = StudioSourceLister::ArtworkRenderer;
    using EncoderFactoryMaker = std::function<std::shared_ptr<StudioHardwareEncoderFactory>(
        StudioHardwareEncoderFactory::Failure onFailure)>;
    // Registers a handler for changes of the current desktop (an EWMH "Space").
    using SpaceObserver = StudioSourceLister::SpaceObserver;

    // Everything outside the session. Empty function objects: `raise`, `applicationImage` and
    // `observeSpace` do nothing; the others are required unless their default is given.
    struct Environment {
        std::shared_ptr<Desktop> desktop;
        std::shared_ptr<Executor> main;
        // Times the Space refresh window and the preview reuse.
        std::shared_ptr<const Clock> clock;
        ContentReader readContent;
        PreviewGrabber capturePreview;
        StudioCaptureMaker makeCapture;
        // The peer's queues, clock and transport factory.
        StudioPeer::Environment peer;
        // Empty: the hardware factory on the peer's clock over `openCodec`, which is then required.
        EncoderFactoryMaker makeEncoderFactory;
        StudioVideoCodecOpener openCodec;
        ArtworkRenderer artwork;
        // Activates the window's application and raises the window.
        std::function<void(const StudioCaptureSource&)> raise;
        std::function<std::optional<ApplicationImage>(const ShareableWindow&)> applicationImage;
        // Empty: pid, start time and executable from /proc.
        std::function<std::string(std::int32_t, const WindowApplication&)> applicationKey;
        // _NET_CURRENT_DESKTOP changes; without a window manager there are none.
        SpaceObserver observeSpace;
        // Windows of this process are never listed; 0: this process.
        std::int32_t ownProcessID = 0;
        // Hands memory the ended session's pipeline, encoder and capture freed back to the
        // system; empty: nothing.
        std::function<void()> releaseMemory;
    };

    using Published = StudioPublishedValues::Published;

    static constexpr double thumbnailPause = StudioSourceLister::thumbnailPause;

    static constexpr const char* startingText = "Starting Studio…";
    static constexpr const char* reconnectingText = "Reconnecting video…";

    static std::shared_ptr<MacStudioSession> create(Environment environment);
    ~MacStudioSession();
    MacStudioSession(const MacStudioSession&) = delete;
    MacStudioSession& operator=(const MacStudioSession&) = delete;

    // The owner's hooks (StudioHooks), set one by one or all at once.
    void setHooks(StudioHooks hooks);
    // Called after each change of a published value.
    std::function<void(Published)> onChange;

    void handle(const StudioSignal& signal);
    void stop();
    void reset(bool keepCatalog);
    void tearDown();
    void fail(const std::string& message);

    const std::optional<std::string>& status() const { return published_.status(); }
    bool active() const { return published_.active(); }
    const std::optional<std::string>& failure() const { return published_.failure(); }

    // The current stream, for the owner's diagnostics and tests.
    std::optional<Uuid> streamID() const;
    std::shared_ptr<StudioPeer> peer() const;
    std::shared_ptr<StudioHardwareEncoderFactory> encoderFactory() const;
    std::shared_ptr<StudioSessionCapture> capture() const;
    const std::map<Uuid, StudioCaptureSource>& sourceCatalog() const {
        return sources_->sourceCatalog();
    }
    std::size_t cachedApplicationImages() const { return sources_->cachedApplicationImages(); }

    // The long-side limit of the capture for a preset; "balanced" when absent.
    static int longSideLimit(const std::optional<StudioPreset>& preset);
    // The frame rate the encoder cadence runs at for an operating point's rate.
    static int cadenceFramesPerSecond(int framesPerSecond);
    static std::vector<std::string> previewKeys(const std::map<Uuid, StudioCaptureSource>& catalog);

  private:
    struct Private {};

  public:
    MacStudioSession(Private, Environment environment);

  private:
    using Token = std::shared_ptr<CancelToken>;

    // Signalling and start.
    void startStream(const StudioSignal& request);
    void contentRead(const Token& token, const StudioSignal& request,
                     const std::optional<StudioCaptureSource>& catalogSource,
                     const std::optional<ShareableContent>& content);
    void buildStream(const Uuid& streamID, const StudioSignal& request,
                     const StudioCaptureSource& source);
    // Posts a failure of the stream to the main executor, from any thread.
    std::function<void(const std::string&)> streamFailure(const Uuid& streamID);
    // Points desktop input at the source; false when that ended the stream.
    bool mapInput(const Uuid& streamID, const StudioCaptureSource& source);
    void bringForward(const Uuid& streamID, const StudioCaptureSource& source);
    std::shared_ptr<StudioHardwareEncoderFactory> makeEncoderFactory(const Uuid& streamID);
    std::shared_ptr<StudioPeer> makePeer(
        const Uuid& streamID, const std::shared_ptr<StudioHardwareEncoderFactory>& factory);
    void followPeer(const Uuid& streamID, StudioPeer& peer, CaptureSize size,
                    const std::string& title);
    void startCapture(const Uuid& streamID, const StudioSignal& request,
                      const StudioCaptureSource& source, int limit,
                      const std::shared_ptr<StudioPeer>& peer, const std::string& title);
    bool isCurrent(const Uuid& streamID) const { return stream_ && stream_->id == streamID; }
    void sendOffer(const Uuid& streamID, const std::string& sdp, CaptureSize size,
                   const std::string& title);
    void peerConnected(const Uuid& streamID, const std::weak_ptr<StudioSessionCapture>& capture,
                       const std::string& title);
    void recoveringChanged(const Uuid& streamID, bool recovering, const std::string& title);
    void streamFailed(const Uuid& streamID, const std::string& message);
    void sourceActivated(const Uuid& streamID);

    const Environment environment_;
    StudioPublishedValues published_{onChange};
    // At most one stream; absent while idle.
    std::optional<StudioStream> stream_;
    Timer release_;

    // The source catalog, its icons and thumbnails.
    std::shared_ptr<StudioSourceLister> sources_;
};

}  // namespace quillory
