#pragma once

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dispatch/serial_queue.h"
#include "platform/video/video_codec_info.h"
#include "platform/webrtc/gstreamer/ice_gathering_wait.h"
#include "platform/webrtc/gstreamer/picture_loss_watch.h"
#include "platform/webrtc/peer_transport.h"
#include "platform/webrtc/studio_statistics_report.h"

namespace quillory {

// The receive-only side of a Studio stream, for tests and the command-line tablet: answers an
// offer with one receive-only video transceiver, decodes H.264 to NV12 and hands every decoded
// picture on. When its jitter buffer gives a packet up, it asks for a keyframe by itself, paced
// like a browser's receiver; it can be told to ask, and can black out its network path.
//
// Threads: the owner calls the methods from one thread; frames and completions arrive on
// GStreamer threads (or the receiver's queue "app.quillory.media.receiver"), never after close.
class VideoReceiver final : public std::enable_shared_from_this<VideoReceiver> {
  public:
    struct Frame {
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> luma;         // width × height, no padding
        std::int64_t decodedAtNanoseconds = 0;  // uptime
        bool keyframe = false;                  // an IDR access unit
    };
    using FrameCallback = std::function<void(const Frame& frame)>;
    using AnswerCompletion = std::function<void(std::optional<std::string> sdp, std::string error)>;

    static constexpr double gatheringTimeoutSeconds = 2.0;
    // How long a gap is waited for before its packet counts as lost. Longer waits let more
    // retransmissions in, but hold every picture behind a gap, a requested keyframe included.
    static constexpr unsigned latencyMilliseconds = 20;
    static constexpr guint faststartPackets = 2;
    static constexpr std::uint64_t rtcpMinimumIntervalNanoseconds = 200'000'000;
    static constexpr std::uint64_t twccFeedbackIntervalNanoseconds = 100'000'000;
    // The RTCP bandwidth in bits per second, whatever the stream's rate: enough for a report of
    // transport-wide feedback from each source every few tens of milliseconds.
    static constexpr double rtcpBandwidthBitsPerSecond = 100'000;

    // None when GStreamer lacks an element or the address is not numeric. `codecs` are the H.264
    // entries it accepts, numbered from 96 like the sender's.
    static std::shared_ptr<VideoReceiver> create(const std::string& localAddress,
                                                 const std::vector<VideoCodecInfo>& codecs,
                                                 FrameCallback onFrame);
    ~VideoReceiver();

    // Applies the offer and completes with the full answer once gathering is over.
    void answer(const std::string& offerSdp, AnswerCompletion completion);
    // The other way round: completes with the full offer once gathering is over, then takes the
    // answer (completing with an error text, empty on success).
    void offer(AnswerCompletion completion);
    void acceptAnswer(const std::string& answerSdp, std::function<void(std::string)> completion);
    // Sends a picture loss indication through the depayloader.
    void requestKeyframe();
    // How many requests lost packets made, for the summary.
    std::uint64_t pictureLossRequests() const;
    // While on, every packet both ways is dropped at the ICE elements.
    void setBlackout(bool on);
    // The blackout comes on by itself once the DTLS handshake is over. Before answer().
    void blackOutAfterHandshake();
    // The session's minimum RTCP interval, which it randomises; before answer().
    void setReportInterval(std::uint64_t nanoseconds);
    // A packet given up asks the sender for a keyframe, as a tablet's receiver does; off, only
    // requestKeyframe() asks. Before answer().
    void askForKeyframesOnLoss();
    PeerConnectionState connectionState() const;
    void requestStatistics(std::function<void(std::optional<StudioStatisticsReport>)> completion);
    // No frame reaches the callback once this returns; not to be called from the callback.
    void close();

    struct Private {};
    VideoReceiver(Private, FrameCallback onFrame);

    // What the network path drops; read by pad probes.
    struct Blackout {
        std::atomic<bool> on = false;
        std::atomic<bool> afterHandshake = false;
    };

  private:
    bool build(const std::string& address, const std::vector<VideoCodecInfo>& codecs);
    void padAdded(GstPad* pad);
    // The decoded samples, and the packets, losses, keyframes and pictures on their way.
    void watchSamples(GstElement* sink);
    void watchPictures(GstElement* depayloader, GstElement* decoder);
    // A promise whose reply goes on to `then` while the receiver is open and the reply is no
    // error; an error goes to the completion.
    using Step = std::function<void(VideoReceiver& self, const GstStructure* reply,
                                    AnswerCompletion completion)>;
    GstPromise* step(AnswerCompletion completion, Step then);
    // Sets the created description ("offer" or "answer" of the reply) as the local one and
    // completes once gathering is over, or at the deadline; `negotiated`: the remote description
    // is already set.
    void descriptionCreated(const GstStructure* reply, const char* field, bool negotiated,
                            AnswerCompletion completion);
    void afterNegotiation();
    void sampleArrived(GstSample* sample);
    // From the streaming threads, for the loss watch: a packet the jitter buffer gave up on,
    // retransmissions included, and the packets and pictures after it.
    void packetLost();
    void packetArrived(GstClockTime time);
    void pictureDecoded(GstClockTime time);
    // A loss the limiter keeps is asked for from the receiver's queue once allowed.
    void pictureLost(bool retry);
    void sendKeyframeRequest();
    bool isClosed() const;

    const FrameCallback onFrame_;
    std::shared_ptr<SerialQueue> queue_;
    IceGatheringWait gathering_;
    GstElement* pipeline_ = nullptr;
    GstElement* webrtc_ = nullptr;
    GstElement* depayloader_ = nullptr;
    // Shared with the pad probes, which may run while the pipeline stops after close.
    const std::shared_ptr<Blackout> blackout_ = std::make_shared<Blackout>();
    std::atomic<std::uint64_t> reportInterval_ = rtcpMinimumIntervalNanoseconds;

    // Held while a frame is handed to the callback, so that close() can wait for it.
    std::mutex handingOver_;
    mutable std::mutex mutex_;
    bool closed_ = false;
    PictureLossWatch losses_;
    Timer pictureLossRetry_;
};

}  // namespace quillory
