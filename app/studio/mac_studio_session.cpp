#include "app/studio/mac_studio_session.h"

#include <unistd.h>

#include "app/studio/hop_to.h"
#include "app/studio/studio_source_catalog.h"
#include "platform/dispatch/sequence_checker.h"

namespace quillory {

namespace {

// Linux has no Screen Recording permission: the content fails only when the X server does.
constexpr const char* contentUnavailableText =
    "Quillory could not read this computer's displays and windows. Try Studio again.";
constexpr const char* captureStartText =
    "Screen sharing could not start on this computer. Try Studio again.";
constexpr const char* mainDisplayUnavailableText = "The main display is unavailable.";
constexpr const char* sourceUnavailableText =
    "That window or display is unavailable. Choose another source.";
constexpr const char* encoderUnavailableText = "Could not start the video encoder.";
constexpr const char* offerInvalidText = "Could not create a local display connection.";

constexpr const char* sharingPrefix = "Sharing ";
// The window's application is given this long to come forward before it counts as raised.
constexpr double activationDelay = 0.35;
// The pipeline, encoder and capture end on their own threads after the session does.
constexpr double releaseDelay = 3.0;

}  // namespace

std::shared_ptr<MacStudioSession> MacStudioSession::create(Environment environment) {
    if (!environment.applicationKey) {
        environment.applicationKey = &StudioSourceCatalog::applicationKey;
    }
    if (environment.ownProcessID == 0) {
        environment.ownProcessID = static_cast<std::int32_t>(getpid());
    }
    if (!environment.makeEncoderFactory) {
        // The feedback windows must be timed on the clock of the peer's statistics intervals.
        environment.makeEncoderFactory =
            [clock = environment.peer.clock,
             openCodec = environment.openCodec](StudioHardwareEncoderFactory::Failure onFailure) {
                return std::make_shared<StudioHardwareEncoderFactory>(std::move(onFailure), clock,
                                                                      openCodec);
            };
    }
    auto session = std::make_shared<MacStudioSession>(Private{}, std::move(environment));
    const auto& e = session->environment_;
    session->sources_ = StudioSourceLister::create({
        .desktop = e.desktop,
        .main = e.main,
        .clock = e.clock,
        .readContent = e.readContent,
        .capturePreview = e.capturePreview,
        .artwork = e.artwork,
        .applicationImage = e.applicationImage,
        .applicationKey = e.applicationKey,
        .observeSpace = e.observeSpace,
        .ownProcessID = e.ownProcessID,
        // The owner may change `send` at any time, so it is read at each signal.
        .send =
            [weak = std::weak_ptr<MacStudioSession>(session)](const StudioSignal& signal) {
                if (const auto self = weak.lock(); self && self->send) {
                    self->send(signal);
                }
            },
    });
    return session;
}

MacStudioSession::MacStudioSession(Private, Environment environment)
    : environment_(std::move(environment)) {}

MacStudioSession::~MacStudioSession() {
    if (stream_ && stream_->capture) {
        stream_->capture->stop();
    }
    if (stream_ && stream_->peer) {
        stream_->peer->close();
    }
}

int MacStudioSession::longSideLimit(const std::optional<StudioPreset>& preset) {
    switch (preset.value_or(StudioPreset::balanced)) {
        case StudioPreset::quality:
            return 4096;
        case StudioPreset::balanced:
            return 1920;
        case StudioPreset::responsive:
            return 1600;
    }
    return 1920;
}

int MacStudioSession::cadenceFramesPerSecond(int framesPerSecond) {
    return framesPerSecond == 15 || framesPerSecond == 30 || framesPerSecond == 60 ? framesPerSecond
                                                                                   : 60;
}

std::vector<std::string> MacStudioSession::previewKeys(
    const std::map<Uuid, StudioCaptureSource>& catalog) {
    return StudioSourceLister::previewKeys(catalog);
}

std::optional<Uuid> MacStudioSession::streamID() const {
    return stream_ ? std::optional(stream_->id) : std::nullopt;
}

std::shared_ptr<StudioPeer> MacStudioSession::peer() const {
    return stream_ ? stream_->peer : nullptr;
}

std::shared_ptr<StudioHardwareEncoderFactory> MacStudioSession::encoderFactory() const {
    return stream_ ? stream_->encoderFactory : nullptr;
}

std::shared_ptr<StudioSessionCapture> MacStudioSession::capture() const {
    return stream_ ? stream_->capture : nullptr;
}

void MacStudioSession::setHooks(StudioHooks hooks) {
    static_cast<StudioHooks&>(*this) = std::move(hooks);
}

// MARK: Signalling

void MacStudioSession::handle(const StudioSignal& signal) {
    QUILLORY_CHECK_ON(*environment_.main);
    switch (signal.kind) {
        case StudioSignal::Kind::request:
            startStream(signal);
            break;
        case StudioSignal::Kind::answer:
            // An answer that finds no peer takes nothing, so the real one that follows is free.
            if (isCurrent(signal.id) && !stream_->answered && stream_->peer) {
                stream_->answered = true;
                stream_->peer->receive(signal);
            }
            break;
        case StudioSignal::Kind::stop:
        case StudioSignal::Kind::failure:
            if (isCurrent(signal.id)) {
                tearDown();
            }
            break;
        case StudioSignal::Kind::listSources:
            sources_->listSources(signal.id);
            break;
        case StudioSignal::Kind::configure:
            if (isCurrent(signal.id) && stream_->control) {
                stream_->control->configure(signal);
            }
            break;
        case StudioSignal::Kind::offer:
        case StudioSignal::Kind::sources:
        case StudioSignal::Kind::configured:
        case StudioSignal::Kind::feedback:
        case StudioSignal::Kind::thumbnail:
            break;
    }
}

void MacStudioSession::stop() {
    QUILLORY_CHECK_ON(*environment_.main);
    if (stream_ && send) {
        send(StudioSignal{.id = stream_->id, .kind = StudioSignal::Kind::stop});
    }
    tearDown();
}

void MacStudioSession::fail(const std::string& message) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (stream_ && send) {
        send(StudioSignal{
            .id = stream_->id, .kind = StudioSignal::Kind::failure, .message = message});
    }
    tearDown();
    published_.setFailure(message);
}

void MacStudioSession::tearDown() {
    QUILLORY_CHECK_ON(*environment_.main);
    const bool wasActive = published_.active();
    // The stream ends first, so that nothing it calls while ending finds it current.
    auto stream = std::exchange(stream_, std::nullopt);
    if (stream && stream->startup) {
        stream->startup->cancel();
    }
    if (stream && stream->control) {
        stream->control->end();
    }
    sources_->cancel();
    if (stream) {
        stream->activation.cancel();
    }
    if (onMappingChanged) {
        onMappingChanged(DesktopInputTarget::mainDisplay(*environment_.desktop));
    }
    if (const auto capture = stream ? std::exchange(stream->capture, nullptr) : nullptr) {
        capture->stop();
    }
    if (const auto peer = stream ? std::exchange(stream->peer, nullptr) : nullptr) {
        peer->close();
    }
    stream.reset();
    published_.setActive(false);
    published_.setStatus(std::nullopt);
    if (wasActive && onInputBoundary) {
        onInputBoundary();
    }
    if (wasActive && environment_.releaseMemory) {
        release_ = environment_.main->after(releaseDelay, [weak = weak_from_this()] {
            if (const auto self = weak.lock()) {
                self->environment_.releaseMemory();
            }
        });
    }
}

void MacStudioSession::reset(bool keepCatalog) {
    QUILLORY_CHECK_ON(*environment_.main);
    tearDown();
    sources_->reset(keepCatalog);
    published_.setFailure(std::nullopt);
}

// MARK: Start

void MacStudioSession::startStream(const StudioSignal& request) {
    std::optional<StudioCaptureSource> catalogSource;
    if (request.sourceID) {
        const auto& catalog = sources_->sourceCatalog();
        if (const auto found = catalog.find(*request.sourceID); found != catalog.end()) {
            catalogSource = found->second;
        }
    }
    tearDown();
    release_.cancel();
    stream_.emplace(StudioStream{.id = request.id});
    published_.setActive(true);
    published_.setFailure(std::nullopt);
    published_.setStatus(startingText);
    if (onInputBoundary) {
        onInputBoundary();
    }
    const auto token = std::make_shared<CancelToken>();
    if (stream_) {
        stream_->startup = token;
    }
    environment_.readContent(hopTo<std::optional<ShareableContent>>(
        environment_.main, weak_from_this(),
        [token, request, catalogSource](MacStudioSession& self,
                                        const std::optional<ShareableContent>& content) {
            self.contentRead(token, request, catalogSource, content);
        }));
}

void MacStudioSession::contentRead(const Token& token, const StudioSignal& request,
                                   const std::optional<StudioCaptureSource>& catalogSource,
                                   const std::optional<ShareableContent>& content) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (token->isCancelled() || !isCurrent(request.id)) {
        return;
    }
    if (!content) {
        fail(contentUnavailableText);
        return;
    }
    std::optional<StudioCaptureSource> source;
    if (!request.sourceID) {
        const auto mainDisplay = environment_.desktop->mainDisplay();
        for (const auto& display : content->displays) {
            if (mainDisplay && display.id == mainDisplay->id) {
                source = StudioCaptureSource::display(display);
                break;
            }
        }
        if (!source) {
            fail(mainDisplayUnavailableText);
            return;
        }
    } else {
        if (catalogSource) {
            source = catalogSource->resolve(*content);
        }
        if (!source) {
            fail(sourceUnavailableText);
            return;
        }
    }
    buildStream(request.id, request, *source);
}

void MacStudioSession::buildStream(const Uuid& streamID, const StudioSignal& request,
                                   const StudioCaptureSource& source) {
    if (!mapInput(streamID, source)) {
        return;
    }
    bringForward(streamID, source);
    const auto peer = makePeer(streamID, makeEncoderFactory(streamID));
    const int limit = longSideLimit(request.preset);
    const CaptureSize size =
        DisplayCapture::captureSize(source, *environment_.desktop, limit, request.viewport);
    const std::string title = source.title(*environment_.desktop);
    followPeer(streamID, *peer, size, title);
    peer->start(size.width, size.height, request.preset.value_or(StudioPreset::balanced));
    if (!isCurrent(streamID) || stream_->peer != peer) {
        return;
    }
    startCapture(streamID, request, source, limit, peer, title);
}

std::function<void(const std::string&)> MacStudioSession::streamFailure(const Uuid& streamID) {
    return hopTo<const std::string&>(
        environment_.main, weak_from_this(),
        [streamID](MacStudioSession& self, const std::string& message) {
            self.streamFailed(streamID, message);
        });
}

bool MacStudioSession::mapInput(const Uuid& streamID, const StudioCaptureSource& source) {
    if (!onMappingChanged) {
        return true;
    }
    DesktopInputTarget target{.studioID = streamID, .bounds = source.frame()};
    if (const auto* display = source.displayInfo()) {
        target.displayID = display->id;
    } else if (const auto* window = source.windowInfo()) {
        target.windowID = window->info.id;
        if (window->application) {
            target.processID = window->application->processID;
        }
    }
    onMappingChanged(target);
    return isCurrent(streamID);
}

// A window of an application is brought forward, wherever the application runs: the window
// manager activates it.
void MacStudioSession::bringForward(const Uuid& streamID, const StudioCaptureSource& source) {
    const auto* window = source.windowInfo();
    if (!window || !window->application) {
        return;
    }
    if (environment_.raise) {
        environment_.raise(source);
    }
    if (!isCurrent(streamID)) {
        return;
    }
    stream_->activation =
        environment_.main->after(activationDelay, [weak = weak_from_this(), streamID] {
            if (const auto self = weak.lock()) {
                self->sourceActivated(streamID);
            }
        });
}

std::shared_ptr<StudioHardwareEncoderFactory> MacStudioSession::makeEncoderFactory(
    const Uuid& streamID) {
    stream_->encoderFactory = environment_.makeEncoderFactory(streamFailure(streamID));
    return stream_->encoderFactory;
}

std::shared_ptr<StudioPeer> MacStudioSession::makePeer(
    const Uuid& streamID, const std::shared_ptr<StudioHardwareEncoderFactory>& factory) {
    const std::string address = localAddress ? localAddress().value_or("") : "";
    const auto peer = StudioPeer::create(environment_.peer, factory, address);
    stream_->peer = peer;
    const std::weak_ptr<MacStudioSession> weak = weak_from_this();
    const auto control = std::make_shared<StudioStreamControl>(
        streamID, environment_.main, peer, factory,
        StudioStreamControl::Owner{
            // The owner may change `send` at any time, so it is read at each signal.
            .send =
                [weak](const StudioSignal& signal) {
                    if (const auto self = weak.lock(); self && self->send) {
                        self->send(signal);
                    }
                },
            .fail =
                [weak](const std::string& message) {
                    if (const auto self = weak.lock()) {
                        self->fail(message);
                    }
                },
        });
    stream_->control = control;
    const std::weak_ptr<StudioStreamControl> weakControl = control;
    peer->onOperatingPointChanged = [weakControl](const StudioOperatingPoint& point,
                                                  std::function<void(bool)> completion) {
        auto answer = std::make_shared<StudioStreamControl::PointAnswer>(std::move(completion));
        if (const auto strong = weakControl.lock()) {
            strong->operatingPointChanged(point, std::move(answer));
        }
    };
    factory->feedback()->setOnUpdate(hopTo<const StudioEncoderFeedback&>(
        environment_.main, weakControl,
        [](StudioStreamControl& self, const StudioEncoderFeedback& feedback) {
            self.feedbackUpdated(feedback);
        }));
    return peer;
}

void MacStudioSession::followPeer(const Uuid& streamID, StudioPeer& peer, CaptureSize size,
                                  const std::string& title) {
    const std::weak_ptr<MacStudioSession> weak = weak_from_this();
    peer.onStatistics = [control = std::weak_ptr(stream_->control)](
                            const StudioStatisticsReport&,
                            const std::optional<StudioMediaInterval>& interval) {
        if (const auto strong = control.lock()) {
            strong->statisticsArrived(interval);
        }
    };
    peer.onDescription = [weak, streamID, size, title](const std::string& sdp) {
        if (const auto self = weak.lock()) {
            self->sendOffer(streamID, sdp, size, title);
        }
    };
    peer.onFailure = [weak, streamID](const std::string& message) {
        if (const auto self = weak.lock()) {
            self->streamFailed(streamID, message);
        }
    };
    peer.onRecovering = [weak, streamID, title](bool recovering) {
        if (const auto self = weak.lock()) {
            self->recoveringChanged(streamID, recovering, title);
        }
    };
}

void MacStudioSession::startCapture(const Uuid& streamID, const StudioSignal& request,
                                    const StudioCaptureSource& source, int limit,
                                    const std::shared_ptr<StudioPeer>& peer,
                                    const std::string& title) {
    auto sink = peer->makeFrameSink();
    if (!sink) {
        fail(encoderUnavailableText);
        return;
    }
    stream_->capture = environment_.makeCapture(source, limit, request.viewport, std::move(sink),
                                                streamFailure(streamID));
    if (!stream_->capture) {
        fail(captureStartText);
        return;
    }
    const std::weak_ptr<StudioSessionCapture> weakCapture = stream_->capture;
    stream_->control->attach(weakCapture);
    peer->onSourceFormatChanged = [weakCapture] {
        if (const auto capture = weakCapture.lock()) {
            capture->requestRefresh();
        }
    };
    peer->onConnected = [weak = weak_from_this(), streamID, weakCapture, title] {
        if (const auto self = weak.lock()) {
            self->peerConnected(streamID, weakCapture, title);
        }
    };
}

void MacStudioSession::sendOffer(const Uuid& streamID, const std::string& sdp, CaptureSize size,
                                 const std::string& title) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (!isCurrent(streamID)) {
        return;
    }
    const StudioSignal offer{.id = streamID,
                             .kind = StudioSignal::Kind::offer,
                             .sdp = sdp,
                             .width = size.width,
                             .height = size.height,
                             .sourceName = title};
    if (!offer.isValid()) {
        fail(offerInvalidText);
        return;
    }
    if (send) {
        send(offer);
    }
}

void MacStudioSession::peerConnected(const Uuid& streamID,
                                     const std::weak_ptr<StudioSessionCapture>& weakCapture,
                                     const std::string& title) {
    QUILLORY_CHECK_ON(*environment_.main);
    const auto capture = weakCapture.lock();
    if (!isCurrent(streamID) || !capture) {
        return;
    }
    const auto token = std::make_shared<CancelToken>();
    stream_->startup = token;
    capture->start(hopTo<std::optional<std::string>>(
        environment_.main, weak_from_this(),
        [token, streamID, title](MacStudioSession& self, const std::optional<std::string>& error) {
            if (token->isCancelled() || !self.isCurrent(streamID)) {
                return;
            }
            if (error) {
                self.fail(captureStartText);
            } else {
                self.published_.setStatus(sharingPrefix + title);
            }
        }));
}

void MacStudioSession::recoveringChanged(const Uuid& streamID, bool recovering,
                                         const std::string& title) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (!isCurrent(streamID)) {
        return;
    }
    if (recovering) {
        if (onInputBoundary) {
            onInputBoundary();
        }
        if (isCurrent(streamID)) {
            published_.setStatus(reconnectingText);
        }
    } else if (published_.status() == reconnectingText) {
        published_.setStatus(sharingPrefix + title);
    }
}

void MacStudioSession::streamFailed(const Uuid& streamID, const std::string& message) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (isCurrent(streamID)) {
        fail(message);
    }
}

void MacStudioSession::sourceActivated(const Uuid& streamID) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (isCurrent(streamID) && onSourceActivated) {
        onSourceActivated();
    }
}

}  // namespace quillory
