#include "media/studio_peer_sender.h"

#include "media/studio_frame_admission.h"
#include "media/studio_source_fit.h"

namespace quillory {

StudioPeerSender::StudioPeerSender() : admission_(std::make_shared<StudioFrameAdmission>()) {}

bool StudioPeerSender::add(PeerTransport& connection, const std::string& trackId) {
    source_ = connection.addVideoTrack(trackId, studioSourceFit);
    return sending();
}

void StudioPeerSender::limitBitrate(PeerTransport& connection, std::int64_t maximumBps) {
    if (auto parameters = connection.senderParameters()) {
        for (RtpEncodingParameters& encoding : parameters->encodings) {
            encoding.maxBitrateBps = maximumBps;
            encoding.networkPriority = NetworkPriority::low;
        }
        parameters->degradationPreference = DegradationPreference::maintainFramerate;
        connection.setSenderParameters(*parameters);
    }
}

void StudioPeerSender::limitFrameRate(PeerTransport& connection, int framesPerSecond) {
    if (auto parameters = connection.senderParameters()) {
        for (RtpEncodingParameters& encoding : parameters->encodings) {
            encoding.maxFramerate = framesPerSecond;
        }
        connection.setSenderParameters(*parameters);
    }
}

void StudioPeerSender::adaptOutputFormat(int requestWidth, int requestHeight, int framesPerSecond) {
    if (source_) {
        source_->adaptOutputFormat(requestWidth, requestHeight, framesPerSecond);
    }
}

StudioFrameSink StudioPeerSender::frameSink() const {
    if (!source_) {
        return {};
    }
    return [admission = admission_, source = source_](const std::shared_ptr<PixelBuffer>& buffer,
                                                      std::int64_t timestamp) {
        if (admission->admit(timestamp)) {
            source->deliverFrame(buffer, timestamp);
        }
    };
}

void StudioPeerSender::openGate() {
    admission_->open();
}

void StudioPeerSender::closeGate() {
    admission_->close();
}

}  // namespace quillory
