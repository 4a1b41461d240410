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
constexpr const char* updateFailedText = "Could not update video quality. Reconnecting the view…";

}  // namespace

class MacStudioSession::PointAnswer {
  public:
    explicit PointAnswer(std::function<void(bool)> completion)
        : completion_(std::move(completion)) {}
    ~PointAnswer() { operator()(false); }
    PointAnswer(const PointAnswer&) = delete;
    PointAnswer& operator=(const PointAnswer&) = delete;

    void operator()(bool applied) {
        if (auto completion = std::exchange(completion_, nullptr)) {
            completion(applied);
        }
    }

  private:
    std::function<void(bool)> completion_;
};

template <class Arg, class Work>
std::function<void(Arg)> MacStudioSession::hop(Work work) {
    return hopTo<Arg>(environment_.main, weak_from_this(), std::move(work));
}

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
    if (capture_) {
        capture_->stop();
    }
    if (peer_) {
        peer_->close();
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

// MARK: Published values

void MacStudioSession::setStatus(std::optional<std::string> status) {
    if (status_ == status) {
        return;
    }
    status_ = std::move(status);
    if (onChange) {
        onChange(Published::status);
    }
}

void MacStudioSession::setActive(bool active) {
    if (active_ == active) {
        return;
    }
    active_ = active;
    if (onChange) {
        onChange(Published::active);
    }
}

void MacStudioSession::setFailure(std::optional<std::string> failure) {
    if (failure_ == failure) {
        return;
    }
    failure_ = std::move(failure);
    if (onChange) {
        onChange(Published::failure);
    }
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
            if (isCurrent(signal.id) && !answered_ && peer_) {
                answered_ = true;
                peer_->receive(signal);
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
            configure(signal);
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
    if (id_ && send) {
        send(StudioSignal{.id = *id_, .kind = StudioSignal::Kind::stop});
    }
    tearDown();
}

void MacStudioSession::fail(const std::string& message) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (id_ && send) {
        send(StudioSignal{.id = *id_, .kind = StudioSignal::Kind::failure, .message = message});
    }
    tearDown();
    setFailure(message);
}

void MacStudioSession::tearDown() {
    QUILLORY_CHECK_ON(*environment_.main);
    const bool wasActive = active_;
    id_.reset();
    if (const auto token = std::exchange(startup_, nullptr)) {
        token->cancel();
    }
    if (const auto token = std::exchange(configurationTask_, nullptr)) {
        token->cancel();
    }
    pendingConfiguration_.reset();
    if (auto pending = std::exchange(pendingCadence_, std::nullopt)) {
        (*pending->second)(false);
    }
    sources_->cancel();
    activation_.cancel();
    if (onMappingChanged) {
        onMappingChanged(DesktopInputTarget::mainDisplay(*environment_.desktop));
    }
    if (const auto capture = std::exchange(capture_, nullptr)) {
        capture->stop();
    }
    if (const auto peer = std::exchange(peer_, nullptr)) {
        peer->close();
    }
    encoderFactory_.reset();
    streamingActivity_ = false;
    setActive(false);
    setStatus(std::nullopt);
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
    setFailure(std::nullopt);
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
    id_ = request.id;
    setActive(true);
    answered_ = false;
    setFailure(std::nullopt);
    streamingActivity_ = true;
    setStatus(startingText);
    if (onInputBoundary) {
        onInputBoundary();
    }
    const auto token = std::make_shared<CancelToken>();
    startup_ = token;
    environment_.readContent(hop<std::optional<ShareableContent>>(
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
    if (!isCurrent(streamID) || peer_ != peer) {
        return;
    }
    startCapture(streamID, request, source, limit, peer, title);
}

std::function<void(const std::string&)> MacStudioSession::streamFailure(const Uuid& streamID) {
    return hop<const std::string&>([streamID](MacStudioSession& self, const std::string& message) {
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
    activation_ = environment_.main->after(activationDelay, [weak = weak_from_this(), streamID] {
        if (const auto self = weak.lock()) {
            self->sourceActivated(streamID);
        }
    });
}

std::shared_ptr<StudioHardwareEncoderFactory> MacStudioSession::makeEncoderFactory(
    const Uuid& streamID) {
    encoderFactory_ = environment_.makeEncoderFactory(streamFailure(streamID));
    return encoderFactory_;
}

std::shared_ptr<StudioPeer> MacStudioSession::makePeer(
    const Uuid& streamID, const std::shared_ptr<StudioHardwareEncoderFactory>& factory) {
    const std::string address = localAddress ? localAddress().value_or("") : "";
    const auto peer = StudioPeer::create(environment_.peer, factory, address);
    peer_ = peer;
    const std::weak_ptr<StudioPeer> weakPeer = peer;
    const std::weak_ptr<StudioHardwareEncoderFactory> weakFactory = factory;
    peer->onOperatingPointChanged = [weak = weak_from_this(), streamID, weakPeer](
                                        const StudioOperatingPoint& point,
                                        std::function<void(bool)> completion) {
        auto answer = std::make_shared<PointAnswer>(std::move(completion));
        if (const auto self = weak.lock()) {
            self->operatingPointChanged(streamID, weakPeer, point, std::move(answer));
        }
    };
    factory->feedback()->setOnUpdate(hop<const StudioEncoderFeedback&>(
        [streamID, weakPeer, weakFactory](MacStudioSession& self,
                                          const StudioEncoderFeedback& feedback) {
            self.feedbackUpdated(streamID, weakPeer, weakFactory, feedback);
        }));
    return peer;
}

void MacStudioSession::followPeer(const Uuid& streamID, StudioPeer& peer, CaptureSize size,
                                  const std::string& title) {
    const std::weak_ptr<MacStudioSession> weak = weak_from_this();
    peer.onStatistics = [weak, streamID](const StudioStatisticsReport&,
                                         const std::optional<StudioMediaInterval>& interval) {
        if (const auto self = weak.lock()) {
            self->statisticsArrived(streamID, interval);
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
    capture_ = environment_.makeCapture(source, limit, request.viewport, std::move(sink),
                                        streamFailure(streamID));
    if (!capture_) {
        fail(captureStartText);
        return;
    }
    const std::weak_ptr<StudioSessionCapture> weakCapture = capture_;
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
    startup_ = token;
    capture->start(hop<std::optional<std::string>>(
        [token, streamID, title](MacStudioSession& self, const std::optional<std::string>& error) {
            if (token->isCancelled() || !self.isCurrent(streamID)) {
                return;
            }
            if (error) {
                self.fail(captureStartText);
            } else {
                self.setStatus(sharingPrefix + title);
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
            setStatus(reconnectingText);
        }
    } else if (status_ == reconnectingText) {
        setStatus(sharingPrefix + title);
    }
}

void MacStudioSession::streamFailed(const Uuid& streamID, const std::string& message) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (isCurrent(streamID)) {
        fail(message);
    }
}

void MacStudioSession::feedbackUpdated(
    const Uuid& streamID, const std::weak_ptr<StudioPeer>& weakPeer,
    const std::weak_ptr<StudioHardwareEncoderFactory>& weakFactory,
    const StudioEncoderFeedback& feedback) {
    QUILLORY_CHECK_ON(*environment_.main);
    const auto peer = weakPeer.lock();
    const auto factory = weakFactory.lock();
    if (!isCurrent(streamID) || !peer || !factory || peer != peer_ ||
        !factory->feedback()->isCurrent(feedback.epoch)) {
        return;
    }
    peer->submit(feedback, std::nullopt);
}

void MacStudioSession::statisticsArrived(const Uuid& streamID,
                                         const std::optional<StudioMediaInterval>& interval) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (!isCurrent(streamID) || !encoderFactory_) {
        return;
    }
    const auto feedback = encoderFactory_->feedback()->beginWindow();
    if (feedback && peer_) {
        peer_->submit(*feedback, interval);
    }
}

void MacStudioSession::sourceActivated(const Uuid& streamID) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (isCurrent(streamID) && onSourceActivated) {
        onSourceActivated();
    }
}

// MARK: Configuration

void MacStudioSession::configure(const StudioSignal& signal) {
    if (!isCurrent(signal.id) || !signal.preset || !signal.settingsID || !capture_) {
        return;
    }
    pendingConfiguration_ = signal;
    scheduleConfiguration();
}

void MacStudioSession::operatingPointChanged(const Uuid& streamID,
                                             const std::weak_ptr<StudioPeer>& from,
                                             const StudioOperatingPoint& point,
                                             PointCompletion completion) {
    QUILLORY_CHECK_ON(*environment_.main);
    const auto peer = from.lock();
    if (!isCurrent(streamID) || !peer || peer != peer_) {
        (*completion)(false);
        return;
    }
    if (auto earlier = std::exchange(pendingCadence_, std::nullopt)) {
        (*earlier->second)(false);
    }
    pendingCadence_.emplace(point, std::move(completion));
    scheduleConfiguration();
}

void MacStudioSession::scheduleConfiguration() {
    if (configurationTask_ || !id_) {
        return;
    }
    const auto token = std::make_shared<CancelToken>();
    configurationTask_ = token;
    environment_.main->post([weak = weak_from_this(), token, streamID = *id_] {
        if (const auto self = weak.lock()) {
            self->configurationStep(token, streamID);
        }
    });
}

void MacStudioSession::configurationStep(const Token& token, const Uuid& streamID) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (token->isCancelled() || !isCurrent(streamID) || !capture_ || !peer_) {
        finishConfiguration(token, streamID);
        return;
    }
    if (auto signal = std::exchange(pendingConfiguration_, std::nullopt)) {
        capture_->update(longSideLimit(signal->preset), signal->viewport,
                         hop<std::optional<std::string>>(
                             [token, streamID, signal = *signal](
                                 MacStudioSession& self, const std::optional<std::string>& error) {
                                 self.configurationApplied(token, streamID, signal, error);
                             }));
        return;
    }
    if (auto cadence = std::exchange(pendingCadence_, std::nullopt)) {
        // Without the session the answer is dropped, and dropping it answers false.
        capture_->updateFramesPerSecond(
            cadence->first.framesPerSecond,
            hop<std::optional<std::string>>(
                [token, streamID, point = cadence->first, answer = cadence->second](
                    MacStudioSession& self, const std::optional<std::string>& error) {
                    self.cadenceApplied(token, streamID, point, answer, error);
                }));
        return;
    }
    finishConfiguration(token, streamID);
}

void MacStudioSession::configurationApplied(const Token& token, const Uuid& streamID,
                                            const StudioSignal& signal,
                                            const std::optional<std::string>& error) {
    QUILLORY_CHECK_ON(*environment_.main);
    const bool current = !token->isCancelled() && isCurrent(streamID);
    if (error) {
        if (current) {
            fail(updateFailedText);
        }
        return;
    }
    if (!current || !capture_ || !peer_) {
        return;
    }
    const int width = capture_->width();
    const int height = capture_->height();
    peer_->apply(
        StudioStreamConfiguration{.preset = *signal.preset, .width = width, .height = height});
    if (!isCurrent(streamID)) {
        return;
    }
    if (send) {
        send(StudioSignal{.id = streamID,
                          .kind = StudioSignal::Kind::configured,
                          .width = width,
                          .height = height,
                          .preset = signal.preset,
                          .settingsID = signal.settingsID});
    }
    configurationStep(token, streamID);
}

void MacStudioSession::cadenceApplied(const Token& token, const Uuid& streamID,
                                      const StudioOperatingPoint& point, PointCompletion answer,
                                      const std::optional<std::string>& error) {
    QUILLORY_CHECK_ON(*environment_.main);
    if (error) {
        // A refused point fails the peer, which ends the stream with its own sentence; only a
        // stream that outlives the answer ends with this one, so the tablet and the person read
        // the same.
        (*answer)(false);
        if (!token->isCancelled() && isCurrent(streamID)) {
            fail(updateFailedText);
        }
        return;
    }
    if (token->isCancelled() || !isCurrent(streamID)) {
        (*answer)(false);
        return;
    }
    if (encoderFactory_) {
        encoderFactory_->cadence()->setFramesPerSecond(
            cadenceFramesPerSecond(point.framesPerSecond));
    }
    (*answer)(true);
    configurationStep(token, streamID);
}

void MacStudioSession::finishConfiguration(const Token& token, const Uuid& streamID) {
    if (isCurrent(streamID) && configurationTask_ == token) {
        configurationTask_.reset();
    }
}

}  // namespace quillory
