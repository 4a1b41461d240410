#include <gst/gst.h>
#include <gst/webrtc/webrtc.h>

#include <iostream>
#include <string>

#include "app/studio/bench/glass_bench_senders.h"
#include "platform/webrtc/gstreamer/gst_promise_callback.h"
#include "platform/webrtc/gstreamer/gst_webrtc_setup.h"
#include "protocol/json_codec.h"

namespace quillory::bench {

namespace {

// The pipeline as one would write it for gst-launch. The conversion is pinned to BT.601 video
// range, the matrix our capture converts with, so that both are measured against one reference.
std::string pipelineText(int bitrateKbps) {
    return "ximagesrc use-damage=false ! video/x-raw,framerate=60/1 ! videoconvert ! "
           "video/x-raw,format=I420,colorimetry=bt601 ! "
           "x264enc tune=zerolatency speed-preset=ultrafast bitrate=" +
           std::to_string(bitrateKbps) +
           " ! rtph264pay config-interval=-1 ! "
           "application/x-rtp,media=video,encoding-name=H264,payload=96 ! "
           "webrtcbin name=sender bundle-policy=max-bundle";
}

void offerCreated(GstElement* webrtc, const GstStructure* reply) {
    GstWebRTCSessionDescription* offer = nullptr;
    if (reply == nullptr ||
        !gst_structure_get(reply, "offer", GST_TYPE_WEBRTC_SESSION_DESCRIPTION, &offer, nullptr)) {
        emitLine({{"failure", "webrtcbin made no offer"}});
        return;
    }
    g_signal_emit_by_name(webrtc, "set-local-description", offer, nullptr);
    gst_webrtc_session_description_free(offer);
}

void setRemote(GstElement* webrtc, const std::string& sdp) {
    GstSDPMessage* message = nullptr;
    if (gst_sdp_message_new_from_text(sdp.c_str(), &message) != GST_SDP_OK) {
        emitLine({{"failure", "the answer is no SDP"}});
        return;
    }
    GstWebRTCSessionDescription* answer =
        gst_webrtc_session_description_new(GST_WEBRTC_SDP_TYPE_ANSWER, message);
    g_signal_emit_by_name(webrtc, "set-remote-description", answer, nullptr);
    gst_webrtc_session_description_free(answer);
}

}  // namespace

int runPlainSender(int bitrateKbps) {
    if (!gstreamerWebRtcAvailable()) {
        emitLine({{"failure", "GStreamer lacks an element"}});
        return 1;
    }
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(pipelineText(bitrateKbps).c_str(), &error);
    if (pipeline == nullptr || error != nullptr) {
        emitLine({{"failure", error != nullptr ? error->message : "no pipeline"}});
        g_clear_error(&error);
        return 1;
    }
    GstElement* webrtc = gst_bin_get_by_name(GST_BIN(pipeline), "sender");
    if (!pinGathering(webrtc, "127.0.0.1")) {
        emitLine({{"failure", "ICE cannot gather on 127.0.0.1"}});
        return 1;
    }
    g_signal_connect(
        webrtc, "on-negotiation-needed", G_CALLBACK(+[](GstElement* element, gpointer) {
            GstPromise* promise = makePromise(
                [element](bool, const GstStructure* reply) { offerCreated(element, reply); });
            g_signal_emit_by_name(element, "create-offer", nullptr, promise);
        }),
        nullptr);
    g_signal_connect(webrtc, "notify::ice-gathering-state",
                     G_CALLBACK(+[](GstElement* element, GParamSpec*, gpointer) {
                         GstWebRTCICEGatheringState state{};
                         g_object_get(element, "ice-gathering-state", &state, nullptr);
                         if (state != GST_WEBRTC_ICE_GATHERING_STATE_COMPLETE) {
                             return;
                         }
                         if (const auto sdp = descriptionText(element, "local-description")) {
                             emitLine({{"offer", *sdp}});
                         }
                     }),
                     nullptr);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        emitLine({{"failure", "the pipeline does not play"}});
        return 1;
    }

    std::string line;
    while (std::getline(std::cin, line)) {
        const Json command = Json::parse(line, nullptr, false);
        if (!command.is_discarded() && command.is_object() && command.contains("answer") &&
            command["answer"].is_string()) {
            setRemote(webrtc, command["answer"].get<std::string>());
        }
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(webrtc);
    gst_object_unref(pipeline);
    return 0;
}

}  // namespace quillory::bench
