#pragma once

#include <asio/generic/stream_protocol.hpp>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/link/device_trust_store.h"
#include "core/link/session_crypto.h"
#include "core/link/stream_connection.h"
#include "core/link/transport_timers.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/serial_queue.h"
#include "platform/log/logger.h"
#include "protocol/connection_end.h"
#include "protocol/controls_signal.h"
#include "protocol/desktop_action.h"
#include "protocol/desktop_context.h"
#include "protocol/display_geometry.h"
#include "protocol/link_latency.h"
#include "protocol/packet_decoder.h"
#include "protocol/pen_sample.h"
#include "protocol/remembered_device.h"
#include "protocol/session_hello.h"
#include "protocol/session_packet.h"
#include "protocol/session_payload.h"
#include "protocol/studio_signal.h"
#include "protocol/uuid.h"

namespace quillory {

// The secured link to one peer over one connected stream socket, in either role: the host
// ("mac", which accepts) or the tablet ("pad", which connects). All network work runs on the
// channel's own transport queue; state callbacks are posted to the main queue, input receivers
// run on the transport queue.
class PenChannel : public std::enable_shared_from_this<PenChannel> {
  public:
    using Role = SessionRole;

    struct Termination {
        enum class Cause {
            application,
            systemPaused,
            peerStopped,
            intentStopped,
            peerClosed,
            networkFailure,
            handshakeTimeout,
            heartbeatExpired,
            frameSizeExceeded,
            writeBackpressure,
            invalidFrame,
            unsupportedVersion,
            handshakeRejected,
            decryptionFailed,
            invalidPayload,
            identityMismatch,
            pairingNotAllowed,
            storageFailure,
        };
        static const char* rawValue(Cause cause);
    };
    using Cause = Termination::Cause;

    // Fixed secrets and timers for tests; production leaves both empty.
    struct Options {
        std::shared_ptr<TransportTimers> timers;
        std::optional<SecretBytes> ephemeralPrivateKey;
        std::optional<Bytes> nonce;
    };

    // Nothing when the connection or the store is missing (the host treats that as a storage
    // failure).
    static std::shared_ptr<PenChannel> create(StreamConnection connection, Role role,
                                              std::string name,
                                              std::shared_ptr<DeviceTrustStore> store, Uuid intent,
                                              std::optional<std::string> expectedPeer,
                                              bool allowPairing, Options options = {});
    ~PenChannel();
    PenChannel(const PenChannel&) = delete;
    PenChannel& operator=(const PenChannel&) = delete;

    void start();
    // Ends the channel on its queue; the first close wins.
    void close(ConnectionEnd end, Cause cause);
    // Main thread. Records a remembered peer's intent as stopped, sends "stop" and closes half a
    // second later; false when the stop could not be recorded (the channel then ends as storage).
    bool stop();
    // Main thread. The local user confirmed the code; false when approval is not possible now.
    bool approve();

    void send(StudioSignal studio);
    void send(ControlsSignal controls);
    void send(DesktopContext desktopContext);
    // Pad role only.
    void send(std::vector<PenSample> samples);
    void send(DesktopAction action);

    // Why the channel closed; nothing while it is open. Any thread.
    std::optional<Cause> closedCause() const;

    void setLocalDisplay(std::optional<DisplayGeometry> display);
    // Called on the transport queue.
    void setInputReceivers(std::function<void(const std::vector<PenSample>&)> samples,
                           std::function<void(const DesktopAction&)> action,
                           std::function<void()> cancelled, std::function<void()> ended);

    // Set before start(); each is posted to the main queue.
    std::function<void(const std::string& code, const std::string& peerName)> onPairing;
    std::function<void()> onReady;
    std::function<void(bool local, bool remote)> onApprovalChange;
    std::function<void(LinkLatency)> onLatency;
    std::function<void(std::vector<PenSample>)> onSamples;
    std::function<void(ConnectionEnd)> onEnded;
    std::function<void(StudioSignal)> onStudio;
    std::function<void(RememberedDevice, Uuid)> onPeer;
    std::function<void(DisplayGeometry)> onDisplay;
    std::function<void(DesktopContext)> onDesktopContext;
    std::function<void(ControlsSignal)> onControls;

    static constexpr double kHandshakeDeadline = 15.0;
    static constexpr double kPairingDeadline = 120.0;
    static constexpr double kPingInterval = 2.0;
    static constexpr double kHeartbeatExpiry = 6.0;
    static constexpr double kStopDelay = 0.5;
    static constexpr std::size_t kMaxQueuedBytes = 4 * 1024 * 1024;
    static constexpr std::size_t kMaxQueuedLines = 512;
    static constexpr std::size_t kMaxBufferedSamples = 512;
    static constexpr std::size_t kMaxSamplesPerLine = 128;
    static constexpr std::size_t kMaxPendingLinesForSamples = 2;
    static constexpr std::size_t kMaxPayloadBytes = 49'106;

  private:
    enum class Phase {
        idle,
        awaitCommit,
        awaitHello,
        awaitTrust,
        confirming,
        awaitSaved,
        ready,
        stopping,
        closed,
    };

    struct Decided {
        ConnectionEnd end;
        Cause cause;
    };

    PenChannel(int fd, Role role, std::string name, std::shared_ptr<DeviceTrustStore> store,
               Uuid intent, std::optional<std::string> expectedPeer, bool allowPairing,
               Options options);

    // Transport queue only, from here on.
    template <typename Work>
    void onQueue(Work work);
    template <typename Work>
    bool onQueueSync(Work work);
    // Posts a callback to the main queue, unless it is unset or the channel has ended.
    template <typename Callback, typename... Args>
    void post(const Callback& callback, Args&&... args) {
        if (!callback || phase_ == Phase::closed) {
            return;
        }
        MainQueue::post([callback, ... args = std::forward<Args>(args)]() mutable {
            callback(std::move(args)...);
        });
    }
    static const Logger& log();
    static session_crypto::Side sideOf(Role role);
    static ConnectionEnd endFor(Cause cause);
    static SessionPayload payloadOf(SessionPayload::Kind kind);

    void begin();
    void readMore();
    void received(std::size_t count);
    void handle(const SessionPacket& packet);
    void handleCommit(const SessionPacket& packet);
    void handleHello(const SessionPacket& packet);
    void handleSealed(const SessionPacket& packet);
    void handlePayload(SessionPayload payload);
    void handleTrust(SessionPayload::Kind kind);
    void handlePong(const SessionPayload& payload);
    void deliverSamples(std::vector<PenSample> samples);
    void receivedApprove();
    bool approveNow();
    bool stopNow();
    void save();
    void becomeReady();
    void beginStopping(ConnectionEnd end, Cause cause);
    void fail(Cause cause);
    void finish(ConnectionEnd end, Cause cause);

    void sendLine(SessionPacket::Kind kind, ByteView data);
    bool sendPayload(SessionPayload payload);
    bool sendSealed(SessionPayload payload);
    void flushSamples();
    void writeNext();
    void written(const std::error_code& error);
    static void releaseOnMain(std::shared_ptr<PenChannel> self);

    void armHandshakeDeadline(double seconds);
    void armHeartbeat();
    void armPing();
    void ping();
    bool acceptsKind(SessionPayload::Kind kind) const;
    double secondsSince(std::uint64_t nanoseconds) const;

    const Role role_;
    const std::string name_;
    const std::shared_ptr<DeviceTrustStore> store_;
    const Uuid intent_;
    const std::optional<std::string> expectedPeer_;
    const bool allowPairing_;
    std::shared_ptr<TransportTimers> timers_;
    // Declared before the socket, so the socket goes first.
    std::unique_ptr<SerialQueue> queue_;
    asio::generic::stream_protocol::socket socket_;
    int pendingFd_;
    Options options_;
    std::atomic<int> closedCause_{-1};

    // Everything below belongs to the transport queue.
    Phase phase_ = Phase::idle;
    std::optional<Decided> decided_;
    PacketDecoder decoder_;
    std::vector<std::uint8_t> readBuffer_;
    std::deque<std::string> writeQueue_;
    std::size_t queuedBytes_ = 0;
    bool writing_ = false;

    std::optional<crypto::X25519PrivateKey> ephemeral_;
    Bytes nonce_;
    crypto::Sha256Digest ownCommit_{};
    crypto::Sha256Digest peerCommit_{};
    std::optional<session_crypto::Keys> keys_;
    session_crypto::RecordSealer sealer_;
    session_crypto::RecordOpener opener_;
    std::optional<RememberedDevice> peer_;
    std::optional<Uuid> peerIntent_;
    bool localKnown_ = false;
    bool remoteKnown_ = false;
    bool localApproved_ = false;
    bool remoteApproved_ = false;
    bool saved_ = false;

    std::uint64_t startedAt_ = 0;
    std::uint64_t lastInbound_ = 0;
    std::optional<Uuid> probe_;
    std::uint64_t probeSentAt_ = 0;
    std::optional<DisplayGeometry> localDisplay_;
    std::optional<DisplayGeometry> lastPostedDisplay_;
    std::deque<PenSample> outboundSamples_;
    std::uint64_t discardedSamples_ = 0;

    Timer handshakeDeadline_;
    Timer heartbeat_;
    Timer pingTimer_;
    Timer stopTimer_;

    std::function<void(const std::vector<PenSample>&)> samplesReceiver_;
    std::function<void(const DesktopAction&)> actionReceiver_;
    std::function<void()> cancelledReceiver_;
    std::function<void()> endedReceiver_;
};

}  // namespace quillory
