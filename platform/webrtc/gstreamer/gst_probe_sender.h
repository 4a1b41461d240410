#pragma once

#include <gst/gst.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/dispatch/serial_queue.h"
#include "platform/webrtc/gstreamer/packet_pacer.h"
#include "platform/webrtc/probe_controller.h"
#include "platform/webrtc/probe_results.h"

namespace quillory {

// Sends probe clusters: RTP packets of padding alone on the retransmission stream, with the
// cluster's id as their RTP time, pushed where retransmissions join the media so that the session
// gives them transport-wide sequence numbers. A receiver discards them unread. Packets leave over
// about 10 ms at the cluster's rate; a cluster pauses while the pacer spreads a burst, so a
// keyframe never waits behind a probe. Media that leaves meanwhile is measured with the cluster.
// A cluster held longer than the pacer's longest delay is cut short. The retransmission stream's
// numbers are ours, so that probes and retransmissions count up together.
//
// Threads: send() and close() on the transport's queue, whose timers pace the packets; setStream()
// and renumber() on GStreamer threads.
class GstProbeSender {
  public:
    static constexpr std::int64_t clusterNanoseconds = 10'000'000;
    // Enough that one lost packet still leaves a measurable cluster.
    static constexpr std::size_t fewestPackets = ProbeResults::fewestMeasuredPackets + 1;
    // The most an RTP padding count can say.
    static constexpr std::size_t paddingBytes = 255;
    static constexpr std::int64_t longestPauseNanoseconds = 100'000'000;
    static constexpr std::int64_t pauseCheckNanoseconds = 1'000'000;

    GstProbeSender(SerialQueue& queue, PacingGate& pacing);
    ~GstProbeSender();
    GstProbeSender(const GstProbeSender&) = delete;
    GstProbeSender& operator=(const GstProbeSender&) = delete;

    void bind(std::weak_ptr<GstProbeSender> self);
    // Where retransmissions join the media, the element that makes them, the retransmission
    // stream's SSRC and the media's payload type; references are taken.
    void setStream(GstElement* retransmitter, GstPad* pad, std::uint32_t ssrc,
                   int mediaPayloadType);
    // The packet of a stream other than `mediaSsrc` with the stream's next number; the buffer to
    // pass on, which may be a writable copy.
    GstBuffer* renumber(GstBuffer* buffer, std::uint32_t mediaSsrc);

    // False when nothing can be sent: no retransmission stream was negotiated.
    bool ready();
    // Sends after any cluster still leaving.
    void send(const ProbeCluster& cluster);
    // Whether the cluster left whole; one cut short measures too little to go by.
    bool completed(int id) const;
    // The clusters cut short since the last call.
    std::vector<ProbeCluster> takeCutShort();
    void close();

  private:
    struct Sending {
        ProbeCluster cluster;
        std::size_t packets = 0;
        std::size_t sent = 0;
        std::optional<std::int64_t> startedAt;
        std::int64_t nextAt = 0;
        bool paused = false;
    };
    void schedule(std::int64_t at);
    void sendDue();
    // The retransmission stream's payload type, from the retransmitter's map.
    bool learnStream();
    void release();
    GstBuffer* probePacket(int cluster, std::uint32_t ssrc) const;

    SerialQueue& queue_;
    PacingGate& pacing_;
    std::weak_ptr<GstProbeSender> self_;
    mutable std::mutex mutex_;
    GstElement* retransmitter_ = nullptr;
    GstPad* pad_ = nullptr;
    std::uint32_t ssrc_ = 0;
    int mediaPayloadType_ = -1;
    std::atomic<std::uint16_t> nextSequence_;

    // Queue state.
    std::optional<std::uint8_t> payloadType_;
    std::deque<Sending> clusters_;
    std::deque<int> completed_;  // the latest
    std::vector<ProbeCluster> cutShort_;
    Timer timer_;
    bool closed_ = false;
};

}  // namespace quillory
