#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/link/channel_handshake.h"
#include "core/link/channel_termination.h"
#include "core/link/input_receivers.h"
#include "core/link/liveness_timers.h"
#include "core/link/payload_outbox.h"
#include "core/link/sealed_transport.h"
#include "core/link/stop_settlement.h"
#include "core/link/stream_connection.h"
#include "platform/dispatch/main_queue.h"
#include "protocol/controls_signal.h"
#include "protocol/desktop_action.h"
#include "protocol/desktop_context.h"
#include "protocol/display_geometry.h"
#include "protocol/link_latency.h"
#include "protocol/pen_sample.h"
#include "protocol/studio_signal.h"

namespace quillory {

// What a channel reports, each posted to the main queue; any may be empty. The peer's input does
// not come this way but through the input receivers.
struct PenChannelEvents {
    std::function<void(const std::string& code, const std::string& peerName)> onPairing;
    std::function<void()> onReady;
    std::function<void(bool local, bool remote)> onApprovalChange;
    std::function<void(LinkLatency)> onLatency;
    std::function<void(ConnectionEnd)> onEnded;
    std::function<void(StudioSignal)> onStudio;
    std::function<void(RememberedDevice, Uuid)> onPeer;
    std::function<void(DisplayGeometry)> onDisplay;
    std::function<void(DesktopContext)> onDesktopContext;
    std::function<void(ControlsSignal)> onControls;
};

// The secured link to one peer over one connected stream socket, in either role: the host
// ("mac", which accepts) or the tablet ("pad", which connects). All network work runs on the
// channel's own transport queue; state callbacks are posted to the main queue, input receivers
// run on the transport queue. It joins the handshake and trust phase (ChannelHandshake), the
// byte stream (SealedTransport), the timers (LivenessTimers), what it sends (PayloadOutbox) and
// where the peer's input goes (InputReceivers).
class PenChannel : public std::enable_shared_from_this<PenChannel>,
                   public PenChannelEvents,
                   private SealedTransport::Owner,
                   private LivenessTimers::Owner {
  public:
    using Role = SessionRole;

    using Termination = ChannelTermination;
    using Cause = Termination::Cause;

    // Fixed secrets and time for tests; production leaves them empty.
    struct Options {
        std::shared_ptr<Executor> timers;
        std::shared_ptr<const Clock> clock;
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
    ~PenChannel() override;
    PenChannel(const PenChannel&) = delete;
    PenChannel& operator=(const PenChannel&) = delete;

    // The events are set before start(), one by one or all at once.
    void start();
    void setEvents(PenChannelEvents events);
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
    // Main thread. This end's numeric IP address (IPv4-mapped addresses as plain IPv4) once the
    // channel has started; none for a local socket.
    std::optional<std::string> localAddress();
    // Main thread. Waits at most `seconds` until a "stop" line has been written to the socket or
    // the channel has closed; false when the time ran out first.
    bool waitUntilStopWritten(double seconds);

    void setLocalDisplay(std::optional<DisplayGeometry> display);
    // Called on the transport queue. Until a samples receiver is installed, the peer's input is
    // held (InputReceivers).
    void setInputReceivers(std::function<void(const std::vector<PenSample>&)> samples,
                           std::function<void(const DesktopAction&)> action,
                           std::function<void()> cancelled, std::function<void()> ended);

    static constexpr double handshakeDeadline = ChannelHandshake::handshakeDeadline;
    static constexpr double pairingDeadline = ChannelHandshake::pairingDeadline;
    static constexpr double pingInterval = LivenessTimers::pingInterval;
    static constexpr double heartbeatExpiry = LivenessTimers::heartbeatExpiry;
    static constexpr double stopDelay = LivenessTimers::stopDelay;

  private:
    using Phase = ChannelHandshake::Phase;

    PenChannel(int fd, Role role, std::string name, std::shared_ptr<DeviceTrustStore> store,
               Uuid intent, std::optional<std::string> expectedPeer, bool allowPairing,
               Options options);

    // Transport queue only, from here on.
    template <typename Work>
    void onQueue(Work work);
    template <typename Work>
    bool onQueueSync(Work work);
    bool isClosed() const { return handshake_.phase() == Phase::closed; }
    // Posts a callback to the main queue, unless it is unset or the channel has ended.
    template <typename Callback, typename... Args>
    void post(const Callback& callback, Args&&... args) {
        if (!callback || isClosed()) {
            return;
        }
        MainQueue::post([callback, ... args = std::forward<Args>(args)]() mutable {
            callback(std::move(args)...);
        });
    }

    // Runs a user's request (approve, stop) on the transport queue; its answer.
    bool askHandshake(ChannelHandshake::Step (ChannelHandshake::*request)());
    void begin();
    // Carries out what the handshake asked for, in order, until the channel closes.
    void apply(ChannelHandshake::Step step);
    void handlePayload(SessionPayload payload);
    void fail(Cause cause);
    void finish(ConnectionEnd end, Cause cause);

    // SealedTransport::Owner
    void transportReceived(const std::vector<SessionPacket>& packets) override;
    void transportFailed(Cause cause) override;
    void transportWrote() override;
    // LivenessTimers::Owner
    void handshakeDeadlinePassed() override;
    void heartbeatExpired() override;
    void pingDue() override;
    void stopDelayPassed() override;

    // Settled once the "stop" line is out or the channel closed; waited for on the main thread.
    StopSettlement stopWritten_;
    // Declared before the parts that live on it, so they go first.
    std::unique_ptr<SerialQueue> queue_;
    std::atomic<int> closedCause_{-1};

    // Everything below belongs to the transport queue.
    ChannelHandshake handshake_;
    SealedTransport transport_;
    LivenessTimers liveness_;
    PayloadOutbox outbox_;
    InputReceivers inbound_;
    std::optional<DisplayGeometry> lastPostedDisplay_;
};

}  // namespace quillory
