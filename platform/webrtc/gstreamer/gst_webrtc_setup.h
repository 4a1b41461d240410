#pragma once

#include <gst/gst.h>
#include <gst/webrtc/webrtc.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/webrtc/gstreamer/sdp_video_answer.h"
#include "platform/webrtc/peer_transport.h"

namespace quillory {

// The header extension the transport-wide sequence number travels in.
constexpr int twccExtensionId = 1;

// The once-per-process GStreamer start (gst_init) and the check that every element the sending
// and receiving pipelines use is installed. Safe from any thread.
bool gstreamerWebRtcAvailable();

// The transceiver's codec preferences: every offered entry with packetization mode 1, level
// asymmetry, NACK, PLI, FIR and transport-wide congestion control (header extension 1). A
// sender's SSRC (non-zero) lets webrtcbin write the track's msid into the offer.
GstCaps* codecPreferences(const std::vector<OfferedVideoCodec>& offered, std::uint32_t ssrc = 0);

// Pins webrtcbin's ICE gathering to one numeric address (every local address when empty), UDP
// only, UPnP off.
bool pinGathering(GstElement* webrtc, const std::string& address);

// The first element made by the named factory anywhere inside a bin; a new reference or null.
GstElement* findInside(GstElement* bin, const char* factoryName);

PeerConnectionState peerConnectionState(GstWebRTCPeerConnectionState state);

// A session description of the SDP text, to be freed by the caller; null when it is not SDP.
GstWebRTCSessionDescription* sessionDescription(const std::string& sdp, GstWebRTCSDPType type);

// The SDP text of webrtcbin's description property ("local-description", ...), if any.
std::optional<std::string> descriptionText(GstElement* webrtc, const char* property);

}  // namespace quillory
