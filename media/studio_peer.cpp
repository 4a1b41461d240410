#include "media/studio_peer.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "media/studio_playback_policy.h"
#include "platform/dispatch/sequence_checker.h"
#include "platform/dispatch/serial_queue.h"

namespace quillory {

namespace {

constexpr const char* createFailed = "Could not create the display stream.";
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
        hop([](StudioPeer& peer) { peer.negotiation_->sendLocalDescription(); });
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
        hop([track = std::move(track)](StudioPeer& peer) {
            QUILLORY_CHECK_ON(*peer.main_);
            if (!peer.closed_) {
                call(peer.onTrack, track);
            }
        });
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
      statistics_(std::make_shared<StudioPeerStatistics>(
          main_, std::move(environment.statisticsQueue), std::move(environment.clock),
          StudioPeerStatistics::standardTiming)),
      transportFactory_(std::move(environment.transportFactory)),
      watch_(std::make_shared<StudioPeerConnectionWatch>(main_)),
      managesEncoderResolution_(managesEncoderResolution) {}

std::shared_ptr<StudioPeer> StudioPeer::create(Environment environment,
                                               std::shared_ptr<VideoEncoderFactory> encoderFactory,
                                               std::string localAddress) {
    auto controlQueue = environment.controlQueue;
    auto clock = environment.clock;
    auto peer =
        std::make_shared<StudioPeer>(Private{}, std::move(environment), encoderFactory != nullptr);
    setUpOnce(*peer->transportFactory_);
    peer->adaptation_ = std::make_shared<StudioPeerAdaptation>(
        std::move(controlQueue), std::move(clock),
        [weak = std::weak_ptr(peer), main = peer->main_](const StudioOperatingPoint& target,
                                                         std::uint64_t configurationToken,
                                                         std::uint64_t formatToken) {
            main->post([weak, target, configurationToken, formatToken] {
                if (auto strong = weak.lock()) {
                    strong->operatingPointHandedOff(target, configurationToken, formatToken);
                }
            });
        });

    PeerTransportConfiguration configuration;
    configuration.localAddress = std::move(localAddress);
    peer->events_ = std::make_shared<TransportEvents>(peer, peer->main_);
    peer->connection_ = peer->transportFactory_->createTransport(
        configuration, std::move(encoderFactory), peer->events_);
    peer->negotiation_ = std::make_shared<StudioPeerNegotiation>(
        peer->main_, peer->connection_,
        StudioPeerNegotiation::Callbacks{
            .described =
                [weak = std::weak_ptr(peer)](const std::string& sdp) {
                    if (auto strong = weak.lock()) {
                        call(strong->onDescription, sdp);
                    }
                },
            .failed =
                [weak = std::weak_ptr(peer)](const std::string& message) {
                    if (auto strong = weak.lock()) {
                        strong->fail(message);
                    }
                },
        });

    std::weak_ptr<StudioPeer> weak = peer;
    peer->watch_->startConnectTimeout([weak] {
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
    QUILLORY_CHECK_ON(*main_);
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
    QUILLORY_CHECK_ON(*main_);
    // Without a transport the connect timeout reports the failure.
    if (closed_ || sender_.sending() || !connection_) {
        return;
    }
    if (!sender_.add(*connection_, trackId)) {
        fail(createFailed);
        return;
    }
    apply(StudioStreamConfiguration{.preset = preset, .width = width, .height = height});
    if (!connection_) {
        return;
    }
    connection_->setBitrateBounds(BitrateBounds{
        .currentBps = StudioPlaybackPolicy::initialBitrateBps,
        .maximumBps = StudioPlaybackPolicy::maximumBitrateBps(preset),
    });
    negotiation_->offer();
}

void StudioPeer::apply(const StudioStreamConfiguration& configuration) {
    QUILLORY_CHECK_ON(*main_);
    if (closed_ || !sender_.sending() || configuration.width < 1 || configuration.height < 1) {
        return;
    }
    if (streamConfiguration_ == configuration) {
        return;
    }
    streamConfiguration_ = configuration;
    const std::uint64_t token = ++configurationToken_;

    const std::int64_t maximum = StudioPlaybackPolicy::maximumBitrateBps(configuration.preset);
    sender_.limitBitrate(*connection_, maximum);
    connection_->setBitrateBounds(BitrateBounds{.maximumBps = maximum});

    if (!managesEncoderResolution_) {
        sender_.adaptOutputFormat(configuration.width, configuration.height,
                                  StudioPeerSender::unmanagedFramesPerSecond);
        return;
    }
    adaptation_->configure(token, configuration);
}

void StudioPeer::submit(const StudioEncoderFeedback& feedback,
                        const std::optional<StudioMediaInterval>& interval) {
    QUILLORY_CHECK_ON(*main_);
    if (closed_) {
        return;
    }
    adaptation_->observe(StudioAdaptationObservation(feedback, interval));
}

void StudioPeer::receive(const StudioSignal& signal) {
    QUILLORY_CHECK_ON(*main_);
    if (!closed_) {
        negotiation_->receive(signal);
    }
}

StudioFrameSink StudioPeer::makeFrameSink() const {
    QUILLORY_CHECK_ON(*main_);
    return sender_.frameSink();
}

void StudioPeer::close() {
    QUILLORY_CHECK_ON(*main_);
    if (closed_) {
        return;
    }
    closed_ = true;
    negotiation_->close();
    statistics_->stop();
    onStatistics = nullptr;
    watch_->stop();
    sender_.closeGate();
    if (connection_) {
        connection_->close();
        connection_.reset();
    }
    sender_.detach();
    ++configurationToken_;
    onOperatingPointChanged = nullptr;
    adaptation_->close();
    onSourceFormatChanged = nullptr;
    onTrack = nullptr;
    onDescription = nullptr;
    onConnected = nullptr;
    onRecovering = nullptr;
    onFailure = nullptr;
}

void StudioPeer::connectionStateChanged(PeerConnectionState state) {
    QUILLORY_CHECK_ON(*main_);
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
    QUILLORY_CHECK_ON(*main_);
    sender_.openGate();
    const bool first = !watch_->connectedOnce();
    if (!first) {
        adaptation_->resume();
    }
    statistics_->begin(connection_, [weak = weak_from_this()](const StudioStatisticsReport& report,
                                                              double receivedAt) {
        if (auto peer = weak.lock()) {
            peer->statisticsArrived(report, receivedAt);
        }
    });
    watch_->connected();
    call(onRecovering, false);
    if (first && !closed_) {
        call(onConnected);
    }
}

void StudioPeer::disconnected() {
    QUILLORY_CHECK_ON(*main_);
    sender_.closeGate();
    adaptation_->suspend();
    if (watch_->inGrace()) {
        return;
    }
    call(onRecovering, true);
    if (closed_) {
        return;
    }
    watch_->startGrace([weak = weak_from_this()] {
        auto peer = weak.lock();
        if (peer && !peer->closed_) {
            peer->fail(interrupted);
        }
    });
}

void StudioPeer::statisticsArrived(const StudioStatisticsReport& report, double receivedAt) {
    QUILLORY_CHECK_ON(*main_);
    if (closed_) {
        return;
    }
    const std::optional<StudioMediaInterval> interval =
        sampler_.interval(report, sender_.sending(), receivedAt);
    call(onStatistics, report, interval);
}

void StudioPeer::statistics(std::function<void(const StudioStatisticsReport&)> completion) {
    QUILLORY_CHECK_ON(*main_);
    if (closed_ || !connection_) {
        return;
    }
    statistics_->requestOnce(connection_, std::move(completion));
}

void StudioPeer::operatingPointHandedOff(const StudioOperatingPoint& target,
                                         std::uint64_t configurationToken,
                                         std::uint64_t formatToken) {
    QUILLORY_CHECK_ON(*main_);
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
    QUILLORY_CHECK_ON(*main_);
    if (closed_ || configurationToken_ != configurationToken || formatToken_ != formatToken) {
        return;
    }
    if (!success) {
        fail(formatFailed);
        return;
    }
    sender_.adaptOutputFormat(target.size.requestWidth, target.size.requestHeight,
                              target.framesPerSecond);
    if (sender_.sending()) {
        sender_.limitFrameRate(*connection_, target.framesPerSecond);
    }
    call(onSourceFormatChanged);
    adaptation_->applied(target, configurationToken);
}

}  // namespace quillory
