#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/video/pixel_buffer.h"
#include "platform/webrtc/peer_transport.h"

namespace quillory {

class StudioFrameAdmission;

// Takes one captured frame (host time in nanoseconds) on the capture thread.
using StudioFrameSink =
    std::function<void(const std::shared_ptr<PixelBuffer>& buffer, std::int64_t timestamp)>;

// The sending side of a Studio peer: the screen track's video source, the encodings of its sender,
// and the gate that admits captured frames only while the peer is connected. Main thread, except
// the frame sink, which runs on the capture thread.
class StudioPeerSender {
  public:
    // The frame rate a source asks for when no encoder factory manages the resolution.
    static constexpr int unmanagedFramesPerSecond = 60;

    StudioPeerSender();

    // Adds the send-only screen track; false when the transport made none.
    bool add(PeerTransport& connection, const std::string& trackId);
    bool sending() const { return static_cast<bool>(source_); }
    // Every encoding at most `maximumBps`, at low network priority, keeping the frame rate.
    void limitBitrate(PeerTransport& connection, std::int64_t maximumBps);
    void limitFrameRate(PeerTransport& connection, int framesPerSecond);
    void adaptOutputFormat(int requestWidth, int requestHeight, int framesPerSecond);
    // Empty while not sending.
    StudioFrameSink frameSink() const;
    void openGate();
    void closeGate();
    // The source goes; frame sinks already handed out keep theirs, behind the gate.
    void detach() { source_.reset(); }

  private:
    std::shared_ptr<PeerVideoSource> source_;
    const std::shared_ptr<StudioFrameAdmission> admission_;
};

}  // namespace quillory
