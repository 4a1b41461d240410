#include "media/studio_peer.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "media/studio_frame_admission.h"
#include "media/studio_playback_policy.h"
#include "media/studio_source_fit.h"
#include "platform/dispatch/serial_queue.h"
#include "platform/log/logger.h"

namespace quillory {

namespace {

constexpr const char* createFailed = "Could not create the display stream.";
constexpr const char* negotiateFailed = "Could not negotiate the display stream.";
constexpr const char* prepareFailed = "Could not prepare the display stream.";
constexpr const char* localDescriptionFailed = "Could not prepare the local video connection.";
constexpr const char* timedOut = "The local video connection timed out. Try Studio again.";
constexpr const char* interrupted = "The display stream was interrupted.";
constexpr const char* formatFailed = "Could not apply the display format.";

// Calls a copy, so that a callback that closes the peer (and so drops itself) runs to its end.
template <typename Callback, typename... Args>
void call(const Callback& callback, Args&&... args) {
    if (Callback copy = callback) {
        copy(std::forward<Args>(args)...);
    }
}

// The field trials go to the transport once per process, before its first transport.
void setUpOnce(PeerTransportFactory& factory) {
    static std::once_flag once;
    std::call_once(once, [&] { factory.setUp(StudioPlaybackPolicy::fieldTrials()); });
}

}  // namespace

// The transport's delegate: moves every event to the main executor, holding the peer weakly.
class StudioPeer::TransportEvents final : public PeerTransportDelegate {
  public:
    TransportEvents(std::weak_ptr<StudioPeer> peer, std::shared_ptr<Executor> main)
        : peer_(std::move(peer)), main_(std::move(main)) {}

    void iceGatheringStateChanged(IceGatheringState) override {
        hop([](StudioPeer& peer) { peer.sendLocalDescription(); });
    }
    void connectionStateChanged(PeerConnectionState state) override {
        hop([state](StudioPeer& peer) { peer.connectionStateChanged(state); });
    }
    void dataChannelOpened(std::shared_ptr<PeerDataChannel> channel) override {
        if (channel) {
            channel->close();
        }
    }
    void remoteTrackAdded(std::shared_ptr<PeerRemoteVideoTrack> track) override {
        hop([track = std::move(track)](StudioPeer& peer) { peer.trackAdded(track); });
    }
    void transportFailed(const std::string& message) override {
        hop([message](StudioPeer& peer) { peer.fail(message); });
    }

  private:
    template <typename Work>
    void hop(Work work) {
        main_->post([peer = peer_, work = std::move(work)] {
            if (auto strong = peer.lock()) {
                work(*strong);
            }
        });
    }

    const std::weak_ptr<StudioPeer> peer_;
    const std::shared_ptr<Executor> main_;
};

StudioPeer::Environment StudioPeer::Environment::standard(
    std::shared_ptr<PeerTransportFactory> transportFactory) {
    return Environment{
        .transportFactory = std::move(transportFactory),
        .main = MainQueue::executor(),
        .controlQueue = std::make_shared<SerialQueue>("app.quillory.media.adaptation"),
        .statisticsQueue = std::make_shared<SerialQueue>("app.quillory.media.statistics"),
        .clock = std::make_shared<SystemClock>(),
    };
}

const std::string& StudioPeer::senderDrainTarget() {
    static const std::string target =
        "sender-drain-target-" + std::to_string(StudioPlaybackPolicy::pacingDelayMilliseconds) +
        "ms";
    return target;
}

StudioPeer::StudioPeer(Private, Environment environment, bool managesEncoderResolution)
    : main_(std::move(environment.main)),
      controlQueue_(std::move(environment.controlQueue)),
      statisticsQueue_(std::move(environment.statisticsQueue)),
      clock_(std::move(environment.clock)),
      transportFactory_(std::move(environment.transportFactory)),
      admission_(std::make_shared<StudioFrameAdmission>()),
      managesEncoderResolution_(managesEncoderResolution) {}

std::shared_ptr<StudioPeer> StudioPeer::create(Environment environment,
                                               std::shared_ptr<VideoEncoderFactory> encoderFactory,
                                               std::string localAddress) {
    auto peer =
        std::make_shared<StudioPeer>(Private{}, std::move(environment), encoderFactory != nullptr);
    setUpOnce(*peer->transportFactory_);

    PeerTransportConfiguration configuration;
    configuration.localAddress = std::move(localAddress);
    peer->events_ = std::make_shared<TransportEvents>(peer, peer->main_);
    peer->connection_ = peer->transportFactory_->createTransport(
        configuration, std::move(encoderFactory), peer->events_);

    std::weak_ptr<StudioPeer> weak = peer;
    peer->timeout_ = peer->main_->after(connectTimeoutSeconds, [weak] {
        if (auto strong = weak.lock()) {
            strong->fail(timedOut);
        }
    });
    return peer;
}

StudioPeer::~StudioPeer() {
    if (connection_) {
        connection_->close();
    }
}

void StudioPeer::fail(const std::string& message) {
    if (closed_) {
        return;
    }
    auto handler = onFailure;
    close();
    if (handler) {
        handler(message);
    }
}

void StudioPeer::start(int width, int height, StudioPreset preset) {
    // Without a transport the connect timeout reports the failure.
    if (closed_ || source_ || !connection_) {
        return;
    }
    source_ = connection_->addVideoTrack(trackId, studioSourceFit);
    if (!source_) {
        fail(createFailed);
        return;
    }
    hasSender_ = true;
    apply(StudioStreamConfiguration{.preset = preset, .width = width, .height = height});
    if (!connection_) {
        return;
    }
    connection_->setBitrateBounds(BitrateBounds{
        .currentBps = StudioPlaybackPolicy::initialBitrateBps,
        .maximumBps = StudioPlaybackPolicy::maximumBitrateBps(preset),
    });
    connection_->createOffer(descriptionCompletion());
}

void StudioPeer::apply(const StudioStreamConfiguration& configuration) {
    if (closed_ || !hasSender_ || configuration.width < 1 || configuration.height < 1) {
        return;
    }
    if (streamConfiguration_ == configuration) {
        return;
    }
    streamConfiguration_ = configuration;
    const std::uint64_t token = ++configurationToken_;

    const std::int64_t maximum = StudioPlaybackPolicy::maximumBitrateBps(configuration.preset);
    if (auto parameters = connection_->senderParameters()) {
        for (RtpEncodingParameters& encoding : parameters->encodings) {
            encoding.maxBitrateBps = maximum;
            encoding.networkPriority = NetworkPriority::low;
        }
        parameters->degradationPreference = DegradationPreference::maintainFramerate;
        connection_->setSenderParameters(*parameters);
    }
    connection_->setBitrateBounds(BitrateBounds{.maximumBps = maximum});

    if (!managesEncoderResolution_) {
        if (source_) {
            source_->adaptOutputFormat(configuration.width, configuration.height,
                                       unmanagedFramesPerSecond);
        }
        return;
    }
    controlQueue_->post([weak = weak_from_this(), token, configuration] {
        if (auto peer = weak.lock()) {
            peer->controlConfigure(token, configuration);
        }
    });
}

void StudioPeer::submit(const StudioEncoderFeedback& feedback,
                        const std::optional<StudioMediaInterval>& interval) {
    if (closed_) {
        return;
    }
    StudioAdaptationObservation observation(feedback, interval);
    controlQueue_->post([weak = weak_from_this(), observation = std::move(observation)] {
        if (auto peer = weak.lock()) {
            peer->controlObserve(observation);
        }
    });
}

CreateDescriptionCompletion StudioPeer::descriptionCompletion() {
    return [weak = weak_from_this(), main = main_](std::optional<SessionDescription> description,
                                                   std::string error) {
        main->post([weak, description = std::move(description), error = std::move(error)] {
            if (auto peer = weak.lock()) {
                peer->descriptionCreated(description, error);
            }
        });
    };
}

void StudioPeer::descriptionCreated(const std::optional<SessionDescription>& description,
                                    const std::string& error) {
    if (closed_) {
        return;
    }
    if (!error.empty() || !description) {
        fail(prepareFailed);
        return;
    }
    if (!connection_) {
        return;
    }
    connection_->setLocalDescription(*description,
                                     [weak = weak_from_this(), main = main_](std::string setError) {
                                         main->post([weak, setError = std::move(setError)] {
                                             if (auto peer = weak.lock()) {
                                                 peer->localDescriptionSet(setError);
                                             }
                                         });
                                     });
}

void StudioPeer::localDescriptionSet(const std::string& error) {
    if (closed_) {
        return;
    }
    if (!error.empty()) {
        fail(localDescriptionFailed);
        return;
    }
    sendLocalDescription();
}

void StudioPeer::sendLocalDescription() {
    if (closed_ || sentDescription_ || !connection_) {
        return;
    }
    if (connection_->iceGatheringState() != IceGatheringState::complete) {
        return;
    }
    const std::optional<SessionDescription> local = connection_->localDescription();
    if (!local) {
        return;
    }
    sentDescription_ = true;
    call(onDescription, local->sdp);
}

void StudioPeer::receive(const StudioSignal& signal) {
    if (closed_ || remoteSet_ || !signal.isValid() || !signal.sdp || !connection_) {
        return;
    }
    if (signal.kind != StudioSignal::Kind::offer && signal.kind != StudioSignal::Kind::answer) {
        return;
    }
    const bool offer = signal.kind == StudioSignal::Kind::offer;
    remoteSet_ = true;
    connection_->setRemoteDescription(
        SessionDescription{
            .type = offer ? SessionDescription::Type::offer : SessionDescription::Type::answer,
            .sdp = *signal.sdp,
        },
        [weak = weak_from_this(), main = main_, offer](std::string error) {
            main->post([weak, offer, error = std::move(error)] {
                if (auto peer = weak.lock()) {
                    peer->remoteDescriptionSet(offer, error);
                }
            });
        });
}

void StudioPeer::remoteDescriptionSet(bool wasOffer, const std::string& error) {
    if (closed_) {
        return;
    }
    if (!error.empty()) {
        fail(negotiateFailed);
        return;
    }
    if (wasOffer && connection_) {
        connection_->createAnswer(descriptionCompletion());
    }
}

StudioFrameSink StudioPeer::makeFrameSink() const {
    if (!source_) {
        return {};
    }
    return [admission = admission_, source = source_](const std::shared_ptr<PixelBuffer>& buffer,
                                                      std::int64_t timestamp) {
        if (admission->admit(timestamp)) {
            source->deliverFrame(buffer, timestamp);
        }
    };
}

void StudioPeer::close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    statsTimer_.reset();
    statsWatchdog_.cancel();
    onStatistics = nullptr;
    timeout_.cancel();
    admission_->close();
    disconnectGeneration_.reset();
    disconnectTimeout_.reset();
    if (connection_) {
        connection_->close();
        connection_.reset();
    }
    source_.reset();
    hasSender_ = false;
    ++configurationToken_;
    onOperatingPointChanged = nullptr;
    controlQueue_->post([weak = weak_from_this()] {
        if (auto peer = weak.lock()) {
            peer->controlClose();
        }
    });
    onSourceFormatChanged = nullptr;
    onTrack = nullptr;
    onDescription = nullptr;
    onConnected = nullptr;
    onRecovering = nullptr;
    onFailure = nullptr;
}

void StudioPeer::trackAdded(const std::shared_ptr<PeerRemoteVideoTrack>& track) {
    if (!closed_) {
        call(onTrack, track);
    }
}

void StudioPeer::connectionStateChanged(PeerConnectionState state) {
    if (closed_) {
        return;
    }
    switch (state) {
        case PeerConnectionState::connected:
            connected();
            break;
        case PeerConnectionState::disconnected:
            disconnected();
            break;
        case PeerConnectionState::failed:
            fail(interrupted);
            break;
        case PeerConnectionState::fresh:
        case PeerConnectionState::connecting:
        case PeerConnectionState::closed:
            break;
    }
}

void StudioPeer::connected() {
    admission_->open();
    if (connectedOnce_) {
        controlQueue_->post([weak = weak_from_this()] {
            if (auto peer = weak.lock()) {
                peer->controlResume();
            }
        });
    }
    if (!statsTimer_) {
        scheduleStatistics();
    }
    timeout_.cancel();
    disconnectGeneration_.reset();
    disconnectTimeout_.reset();
    call(onRecovering, false);
    if (!connectedOnce_ && !closed_) {
        connectedOnce_ = true;
        call(onConnected);
    }
}

void StudioPeer::disconnected() {
    admission_->close();
    controlQueue_->post([weak = weak_from_this()] {
        if (auto peer = weak.lock()) {
            peer->controlSuspend();
        }
    });
    if (disconnectTimeout_) {
        return;
    }
    call(onRecovering, true);
    if (closed_) {
        return;
    }
    const std::uint64_t generation = ++lastGeneration_;
    disconnectGeneration_ = generation;
    disconnectTimeout_ =
        main_->after(disconnectGraceSeconds, [weak = weak_from_this(), generation] {
            auto peer = weak.lock();
            if (peer && !peer->closed_ && peer->disconnectGeneration_ == generation) {
                peer->fail(interrupted);
            }
        });
}

// The main queue has no repeating timer: each tick arms the next.
void StudioPeer::scheduleStatistics() {
    statsTimer_ = main_->after(statisticsIntervalSeconds, [weak = weak_from_this()] {
        if (auto peer = weak.lock()) {
            peer->statisticsTick();
        }
    });
}

void StudioPeer::statisticsTick() {
    if (closed_) {
        return;
    }
    scheduleStatistics();
    if (statsPending_ || !connection_) {
        return;
    }
    statsPending_ = true;
    const std::uint64_t request = ++statsRequest_;
    // A request whose answer never comes would otherwise stop the statistics for good.
    statsWatchdog_ = main_->after(statisticsWatchdogSeconds, [weak = weak_from_this(), request] {
        if (auto peer = weak.lock()) {
            peer->statisticsAbandoned(request);
        }
    });
    statisticsQueue_->post([transport = std::weak_ptr<PeerTransport>(connection_),
                            weak = weak_from_this(), main = main_, clock = clock_, request] {
        auto connection = transport.lock();
        if (!connection) {
            return;
        }
        connection->requestStatistics(
            [weak, main, clock, request](std::optional<StudioStatisticsReport> report) {
                const double receivedAt = clock->nowSeconds();
                main->post([weak, request, report = std::move(report), receivedAt]() mutable {
                    if (auto peer = weak.lock()) {
                        peer->statisticsArrived(request, std::move(report), receivedAt);
                    }
                });
            });
    });
}

void StudioPeer::statisticsAbandoned(std::uint64_t request) {
    if (!closed_ && statsPending_ && statsRequest_ == request) {
        statsPending_ = false;
    }
}

void StudioPeer::statisticsArrived(std::uint64_t request,
                                   std::optional<StudioStatisticsReport> report,
                                   double receivedAt) {
    if (closed_ || !statsPending_ || statsRequest_ != request) {
        return;
    }
    statsPending_ = false;
    statsWatchdog_.cancel();
    if (!report) {
        return;
    }
    const std::optional<StudioMediaInterval> interval =
        sampler_.interval(*report, hasSender_, receivedAt);
    call(onStatistics, *report, interval);
}

void StudioPeer::statistics(std::function<void(const StudioStatisticsReport&)> completion) {
    if (closed_ || !connection_) {
        return;
    }
    statisticsQueue_->post([transport = std::weak_ptr<PeerTransport>(connection_),
                            weak = weak_from_this(), main = main_,
                            completion = std::move(completion)] {
        auto connection = transport.lock();
        if (!connection) {
            return;
        }
        connection->requestStatistics(
            [weak, main, completion](std::optional<StudioStatisticsReport> report) {
                if (!report) {
                    return;
                }
                main->post([weak, completion, report = std::move(*report)] {
                    auto peer = weak.lock();
                    if (peer && !peer->closed_ && completion) {
                        completion(report);
                    }
                });
            });
    });
}

void StudioPeer::operatingPointHandedOff(const StudioOperatingPoint& target,
                                         std::uint64_t configurationToken,
                                         std::uint64_t formatToken) {
    if (closed_ || configurationToken_ != configurationToken) {
        return;
    }
    formatToken_ = formatToken;
    auto completion = [weak = weak_from_this(), main = main_, target, configurationToken,
                       formatToken](bool success) {
        auto complete = [weak, target, configurationToken, formatToken, success] {
            if (auto peer = weak.lock()) {
                peer->operatingPointCompleted(target, configurationToken, formatToken, success);
            }
        };
        // The owner may answer from any thread; the state it checks belongs to the main thread.
        if (main->isCurrent()) {
            complete();
        } else {
            main->post(std::move(complete));
        }
    };
    if (auto handler = onOperatingPointChanged) {
        handler(target, std::move(completion));
    } else {
        completion(true);
    }
}

void StudioPeer::operatingPointCompleted(const StudioOperatingPoint& target,
                                         std::uint64_t configurationToken,
                                         std::uint64_t formatToken, bool success) {
    if (closed_ || configurationToken_ != configurationToken || formatToken_ != formatToken) {
        return;
    }
    if (!success) {
        fail(formatFailed);
        return;
    }
    if (source_) {
        source_->adaptOutputFormat(target.size.requestWidth, target.size.requestHeight,
                                   target.framesPerSecond);
    }
    if (hasSender_) {
        if (auto parameters = connection_->senderParameters()) {
            for (RtpEncodingParameters& encoding : parameters->encodings) {
                encoding.maxFramerate = target.framesPerSecond;
            }
            connection_->setSenderParameters(*parameters);
        }
    }
    call(onSourceFormatChanged);
    controlQueue_->post([weak = weak_from_this(), target, configurationToken] {
        if (auto peer = weak.lock()) {
            peer->controlApplied(target, configurationToken);
        }
    });
}

void StudioPeer::controlConfigure(std::uint64_t token,
                                  const StudioStreamConfiguration& configuration) {
    if (control_.closed) {
        return;
    }
    control_.token = token;
    if (!control_.policy) {
        control_.policy.emplace(configuration.preset, configuration.width, configuration.height,
                                now());
    } else {
        control_.policy->reconfigure(configuration, now());
    }
    controlHandOff(control_.policy->target(), token);
}

void StudioPeer::controlObserve(const StudioAdaptationObservation& observation) {
    if (control_.closed) {
        return;
    }
    if (control_.policy) {
        if (auto target = control_.policy->observe(observation, now())) {
            controlHandOff(*target, control_.token);
            return;
        }
    }
    controlScheduleDeadline();
}

void StudioPeer::controlScheduleDeadline() {
    control_.deadline.cancel();
    if (control_.closed || !control_.policy || !control_.policy->nextDeadline()) {
        return;
    }
    const double delay = std::max(0.0, *control_.policy->nextDeadline() - now());
    control_.deadline =
        controlQueue_->after(delay, [weak = weak_from_this(), token = control_.token] {
            if (auto peer = weak.lock()) {
                peer->controlDeadlineReached(token);
            }
        });
}

void StudioPeer::controlDeadlineReached(std::uint64_t token) {
    if (control_.closed || control_.token != token) {
        return;
    }
    control_.deadline = Timer{};
    if (!control_.policy) {
        controlScheduleDeadline();
        return;
    }
    if (auto target = control_.policy->deadlineReached(now())) {
        controlHandOff(*target, token);
    } else {
        controlScheduleDeadline();
    }
}

void StudioPeer::controlHandOff(const StudioOperatingPoint& target,
                                std::uint64_t configurationToken) {
    control_.deadline.cancel();
    // Debug only (QUILLORY_DEBUG=media): why a stream stepped, for a user's report.
    static const Logger logger("media", "adaptation");
    logger.debug("Operating point %dx%d at %d fps: %s", target.size.width, target.size.height,
                 target.framesPerSecond,
                 control_.policy ? control_.policy->changeReason().c_str() : "");
    const std::uint64_t formatToken = ++control_.lastFormatToken;
    main_->post([weak = weak_from_this(), target, configurationToken, formatToken] {
        if (auto peer = weak.lock()) {
            peer->operatingPointHandedOff(target, configurationToken, formatToken);
        }
    });
}

void StudioPeer::controlApplied(const StudioOperatingPoint& target,
                                std::uint64_t configurationToken) {
    if (control_.closed || control_.token != configurationToken) {
        return;
    }
    if (control_.policy) {
        control_.policy->markApplied(target, now());
    }
    controlScheduleDeadline();
}

void StudioPeer::controlResume() {
    if (control_.policy) {
        control_.policy->resume(now());
    }
}

void StudioPeer::controlSuspend() {
    if (control_.policy) {
        control_.policy->reset();
    }
    control_.deadline.cancel();
}

void StudioPeer::controlClose() {
    control_.closed = true;
    control_.deadline.cancel();
    control_.policy.reset();
}

}  // namespace quillory
