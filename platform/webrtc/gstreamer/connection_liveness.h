#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/dispatch/serial_queue.h"
#include "platform/webrtc/peer_transport.h"

namespace quillory {

// The connection state a sender reports: webrtcbin's, except that a connection it calls
// connected counts as disconnected while nothing has come from the other side for longer than
// the limit (webrtcbin stays connected long after the other side went), and as connected again
// when its RTCP returns. The watch starts at the first connected state, so a side that dies
// before its first report is noticed too. Each step answers the state to report when it changed.
// Not thread-safe.
class ConnectionLiveness {
  public:
    // A receiver's reports come every 0.5 to 1.5 s at random and a still screen sends no media,
    // so the limit leaves a late report a second to spare; with the check period it still finds
    // a dead side within the 3 s disconnect grace.
    static constexpr double silenceLimitSeconds = 2.5;

    std::optional<PeerConnectionState> webrtcChanged(PeerConnectionState state,
                                                     std::int64_t nowNanoseconds);
    std::optional<PeerConnectionState> rtcpArrived(std::int64_t nowNanoseconds);
    std::optional<PeerConnectionState> check(std::int64_t nowNanoseconds);

  private:
    std::optional<PeerConnectionState> report();

    bool webrtcConnected_ = false;
    std::optional<std::int64_t> lastSign_;
    bool silent_ = false;
    std::optional<PeerConnectionState> reported_;
};

// Takes the liveness steps from any thread (webrtcbin's signals, the RTCP thread, the liveness
// timer) and delivers each decided state through `post`, a serial queue. States reach `deliver`
// in the order they were decided: one overtaken on its way to the queue is dropped, as a later
// state was already delivered.
class ConnectionStateReporter final : public std::enable_shared_from_this<ConnectionStateReporter> {
  public:
    using Post = std::function<void(std::function<void()>)>;
    using Deliver = std::function<void(PeerConnectionState)>;

    static std::shared_ptr<ConnectionStateReporter> create(Post post, Deliver deliver);

    void webrtcChanged(PeerConnectionState state, std::int64_t nowNanoseconds);
    void rtcpArrived(std::int64_t nowNanoseconds);
    void check(std::int64_t nowNanoseconds);
    // On `queue`: checks every `intervalSeconds` by the uptime clock, until stopped there.
    void watch(SerialQueue& queue, double intervalSeconds);
    void stopWatching();

    struct Private {};
    ConnectionStateReporter(Private, Post post, Deliver deliver);

  private:
    template <typename Step>
    void decide(Step step);
    void delivered(PeerConnectionState state, std::uint64_t number);

    const Post post_;
    const Deliver deliver_;
    std::mutex mutex_;
    ConnectionLiveness liveness_;
    std::uint64_t decided_ = 0;
    // Queue state.
    std::uint64_t delivered_ = 0;
    Timer watch_;
};

}  // namespace quillory
