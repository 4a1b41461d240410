#include "platform/webrtc/gstreamer/gst_webrtc_setup.h"

#include <agent.h>
#include <netdb.h>

#include <mutex>

namespace quillory {

namespace {

constexpr const char* twccExtension =
    "http://www.ietf.org/id/draft-holmer-rmcat-transport-wide-cc-extensions-01";

}  // namespace

bool gstreamerWebRtcAvailable() {
    static std::once_flag once;
    static bool available = false;
    std::call_once(once, [] {
        gst_init(nullptr, nullptr);
        available = true;
        for (const char* name : {"webrtcbin", "appsrc", "rtph264pay", "rtphdrexttwcc", "nicesrc",
                                 "nicesink", "dtlssrtpenc", "srtpenc", "rtph264depay", "h264parse",
                                 "avdec_h264", "videoconvert", "appsink"}) {
            GstElementFactory* factory = gst_element_factory_find(name);
            if (factory == nullptr) {
                available = false;
                continue;
            }
            gst_object_unref(factory);
        }
    });
    return available;
}

GstCaps* codecPreferences(const std::vector<OfferedVideoCodec>& offered, std::uint32_t ssrc) {
    static const std::string twccExtmap = "extmap-" + std::to_string(twccExtensionId);
    GstCaps* caps = gst_caps_new_empty();
    for (const OfferedVideoCodec& entry : offered) {
        GstStructure* structure =
            gst_structure_new("application/x-rtp", "media", G_TYPE_STRING, "video", "encoding-name",
                              G_TYPE_STRING, "H264", "payload", G_TYPE_INT, entry.payloadType,
                              "clock-rate", G_TYPE_INT, 90000, nullptr);
        for (const auto& [name, value] : entry.codec.parameters) {
            gst_structure_set(structure, name.c_str(), G_TYPE_STRING, value.c_str(), nullptr);
        }
        gst_structure_set(
            structure, "packetization-mode", G_TYPE_STRING, "1", "level-asymmetry-allowed",
            G_TYPE_STRING, "1", "rtcp-fb-nack", G_TYPE_BOOLEAN, TRUE, "rtcp-fb-nack-pli",
            G_TYPE_BOOLEAN, TRUE, "rtcp-fb-ccm-fir", G_TYPE_BOOLEAN, TRUE, "rtcp-fb-transport-cc",
            G_TYPE_BOOLEAN, TRUE, twccExtmap.c_str(), G_TYPE_STRING, twccExtension, nullptr);
        if (ssrc != 0) {
            gst_structure_set(structure, "ssrc", G_TYPE_UINT, ssrc, nullptr);
        }
        gst_caps_append_structure(caps, structure);
    }
    return caps;
}

// Link-local IPv6 keeps its scope through getaddrinfo.
bool pinGathering(GstElement* webrtc, const std::string& address) {
    GstObject* ice = nullptr;
    g_object_get(webrtc, "ice-agent", &ice, nullptr);
    if (ice == nullptr) {
        return false;
    }
    g_object_set(ice, "ice-tcp", FALSE, nullptr);
    NiceAgent* agent = nullptr;
    g_object_get(ice, "agent", &agent, nullptr);
    gst_object_unref(ice);
    if (agent == nullptr) {
        return false;
    }
    // UPnP would announce the port mapping over SSDP to the whole network.
    g_object_set(agent, "upnp", FALSE, nullptr);
    if (address.empty()) {
        g_object_unref(agent);
        return true;
    }
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    bool added = false;
    if (getaddrinfo(address.c_str(), nullptr, &hints, &found) == 0 && found != nullptr) {
        NiceAddress local;
        nice_address_init(&local);
        nice_address_set_from_sockaddr(&local, found->ai_addr);
        added = nice_agent_add_local_address(agent, &local) != FALSE;
        freeaddrinfo(found);
    }
    g_object_unref(agent);
    return added;
}

GstElement* findInside(GstElement* bin, const char* factoryName) {
    GstIterator* iterator = gst_bin_iterate_recurse(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    GstElement* found = nullptr;
    while (found == nullptr && gst_iterator_next(iterator, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(element);
        if (factory != nullptr &&
            g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), factoryName) == 0) {
            found = GST_ELEMENT(gst_object_ref(element));
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(iterator);
    return found;
}

PeerConnectionState peerConnectionState(GstWebRTCPeerConnectionState state) {
    switch (state) {
        case GST_WEBRTC_PEER_CONNECTION_STATE_NEW:
            return PeerConnectionState::fresh;
        case GST_WEBRTC_PEER_CONNECTION_STATE_CONNECTING:
            return PeerConnectionState::connecting;
        case GST_WEBRTC_PEER_CONNECTION_STATE_CONNECTED:
            return PeerConnectionState::connected;
        case GST_WEBRTC_PEER_CONNECTION_STATE_DISCONNECTED:
            return PeerConnectionState::disconnected;
        case GST_WEBRTC_PEER_CONNECTION_STATE_FAILED:
            return PeerConnectionState::failed;
        case GST_WEBRTC_PEER_CONNECTION_STATE_CLOSED:
            return PeerConnectionState::closed;
    }
    return PeerConnectionState::fresh;
}

GstWebRTCSessionDescription* sessionDescription(const std::string& sdp, GstWebRTCSDPType type) {
    GstSDPMessage* message = nullptr;
    if (gst_sdp_message_new_from_text(sdp.c_str(), &message) != GST_SDP_OK) {
        if (message != nullptr) {
            gst_sdp_message_free(message);
        }
        return nullptr;
    }
    return gst_webrtc_session_description_new(type, message);
}

std::optional<std::string> descriptionText(GstElement* webrtc, const char* property) {
    GstWebRTCSessionDescription* description = nullptr;
    g_object_get(webrtc, property, &description, nullptr);
    if (description == nullptr) {
        return std::nullopt;
    }
    gchar* text = gst_sdp_message_as_text(description->sdp);
    std::string sdp = text != nullptr ? text : "";
    g_free(text);
    gst_webrtc_session_description_free(description);
    return sdp;
}

}  // namespace quillory
