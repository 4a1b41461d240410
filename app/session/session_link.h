#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/link/companion_listener.h"
#include "core/link/device_trust_store.h"
#include "core/link/pen_channel.h"
#include "core/link/stream_connection.h"
#include "protocol/connection_end.h"
#include "protocol/controls_signal.h"
#include "protocol/desktop_action.h"
#include "protocol/desktop_context.h"
#include "protocol/display_geometry.h"
#include "protocol/pen_sample.h"
#include "protocol/studio_signal.h"
#include "protocol/uuid.h"

namespace quillory {

// What the session uses of the listener; the application's is a CompanionListener, the tests'
// a fake. Main thread; callbacks arrive on the main queue.
class SessionListener {
  public:
    virtual ~SessionListener() = default;

    // The error's description when listening could not start.
    virtual std::optional<std::string> start(const std::string& name, const std::string& id) = 0;
    virtual void stop() = 0;
    // The port listened on; 0 when stopped.
    virtual std::uint16_t port() const = 0;

    std::function<void()> onReady;
    std::function<void(const std::string& description)> onFailure;
    std::function<void(StreamConnection)> onConnection;
};

// What the session uses of one secured channel to a tablet. The events, given at start(), arrive
// on the main queue; the input receivers run on the channel's transport queue.
class SessionChannel {
  public:
    using Cause = PenChannel::Cause;

    virtual ~SessionChannel() = default;

    virtual void start(PenChannelEvents events) = 0;
    virtual void close(ConnectionEnd end, Cause cause) = 0;
    virtual bool stop() = 0;
    virtual bool approve() = 0;
    // The channel has ended or is ending on its own.
    virtual bool isClosing() const = 0;
    virtual void send(StudioSignal studio) = 0;
    virtual void send(ControlsSignal controls) = 0;
    virtual void send(DesktopContext context) = 0;
    virtual void setLocalDisplay(std::optional<DisplayGeometry> display) = 0;
    virtual void setInputReceivers(std::function<void(const std::vector<PenSample>&)> samples,
                                   std::function<void(const DesktopAction&)> action,
                                   std::function<void()> cancelled,
                                   std::function<void()> ended) = 0;
    // Waits at most `seconds` until the "stop" line is written or the channel has closed;
    // true when it was.
    virtual bool waitUntilStopWritten(double seconds) = 0;
    // The numeric address this end of the link uses; none before the link is up.
    virtual std::optional<std::string> localAddress() = 0;
};

// Makes the host's channel for an accepted connection; null when it cannot be made.
using SessionChannelFactory = std::function<std::shared_ptr<SessionChannel>(
    StreamConnection connection, const std::string& name, std::shared_ptr<DeviceTrustStore> store,
    const Uuid& intent)>;

// The real listener and channel behind the two interfaces; tests pass their own advertiser.
std::shared_ptr<SessionListener> makeCompanionSessionListener(
    CompanionListener::AdvertiserFactory advertiser = nullptr);
SessionChannelFactory companionChannelFactory();

}  // namespace quillory
