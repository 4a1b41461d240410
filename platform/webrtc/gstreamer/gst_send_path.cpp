#include "platform/webrtc/gstreamer/gst_send_path.h"

#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <limits>
#include <span>

#include "platform/clock/clock.h"
#include "platform/log/logger.h"
#include "platform/process/process_info.h"
#include "platform/webrtc/gstreamer/glib_handoff.h"

namespace quillory {

namespace {

constexpr const char* encoderFailed = "Could not start the video encoder.";
constexpr int defaultFramesPerSecond = 60;

std::int64_t now() {
    return static_cast<std::int64_t>(uptimeNanoseconds());
}

}  // namespace

GstSendPath::GstSendPath(SerialQueue& queue, std::shared_ptr<VideoEncoderFactory> encoderFactory,
                         GstSenderMeasurements& measurements, PacingGate& pacing,
                         GstProbeSender& probes, std::int64_t maximumBitrateBps,
                         std::optional<ProbingConfiguration> probing, Failed failed)
    : queue_(queue),
      encoderFactory_(std::move(encoderFactory)),
      measurements_(measurements),
      pacing_(pacing),
      probes_(probes),
      maximumBitrateBps_(maximumBitrateBps),
      failed_(std::move(failed)) {
    if (probing) {
        measurements_.setApplicationLimitSettings(probing->applicationLimit);
        probing_.emplace(*probing, static_cast<double>(maximumBitrateBps_));
    }
}

void GstSendPath::bind(std::weak_ptr<GstSendPath> self) {
    self_ = std::move(self);
}

void GstSendPath::setElements(GstElement* pipeline, GstElement* appsrc) {
    pipeline_ = pipeline;
    appsrc_ = appsrc;
}

void GstSendPath::setBitrateCap(std::optional<std::int64_t> capBps) {
    std::lock_guard lock(mutex_);
    capBps_ = capBps;
}

std::optional<std::int64_t> GstSendPath::bitrateCap() const {
    std::lock_guard lock(mutex_);
    return capBps_;
}

void GstSendPath::frameArrived(VideoFrame frame, int maximumFramesPerSecond) {
    if (framesQueued_.load() >= 2) {
        measurements_.count([](SenderCounters& counters) { counters.framesDroppedBusy += 1; });
        return;
    }
    ++framesQueued_;
    queue_.async([weak = self_, frame = std::move(frame), maximumFramesPerSecond]() mutable {
        if (auto self = weak.lock()) {
            --self->framesQueued_;
            self->encodeFrame(std::move(frame), maximumFramesPerSecond);
        }
    });
}

bool GstSendPath::start(const VideoCodecInfo& codec, bool transportFeedback) {
    QUILLORY_CHECK_ON(queue_);
    transportFeedback_ = transportFeedback;
    encoder_ = encoderFactory_->createEncoder(codec);
    if (!encoder_) {
        failStream();
        return false;
    }
    encoder_->setCallback([weak = self_](const EncodedImage& image, const H264CodecSpecificInfo&) {
        if (auto self = weak.lock()) {
            self->imageEncoded(image);
        }
        return true;
    });
    return true;
}

void GstSendPath::connectionChanged(bool connected) {
    QUILLORY_CHECK_ON(queue_);
    // Whatever was lost while away, the stream resumes with an IDR.
    const bool came = connected && !connected_;
    connected_ = connected;
    if (came) {
        keyframeNext_ = true;
        checkProbesLater();
    }
}

void GstSendPath::checkProbesLater() {
    QUILLORY_CHECK_ON(queue_);
    if (!probing_) {
        return;
    }
    probeCheck_ = queue_.after(probeCheckSeconds, [weak = self_] {
        if (auto self = weak.lock(); self && self->connected_) {
            self->probeIfDue();
            self->checkProbesLater();
        }
    });
}

void GstSendPath::probeIfDue() {
    QUILLORY_CHECK_ON(queue_);
    if (!probing_ || !connected_ || !encoder_ || stopped_ || !probes_.ready()) {
        return;
    }
    for (const ProbeCluster& cluster : probes_.takeCutShort()) {
        probing_->cutShort(cluster);
    }
    const auto estimate = static_cast<double>(estimator_.estimateBps());
    const double at = static_cast<double>(now()) / 1e9;
    const auto cut = estimator_.lastDecreaseAt();
    const auto clean = estimator_.cleanSince();
    if (!clean || at - *clean < probeAfterCleanSeconds ||
        (cut && at - *cut < probeAfterCutSeconds)) {
        return;
    }
    std::vector<ProbeCluster> clusters = probing_->start(estimate, at);
    if (clusters.empty()) {
        // Held at the path's last limit, the stream cannot show that the path has widened any
        // more than a stream that does not use its rate.
        const auto limited = measurements_.applicationLimitedSince(now());
        const auto since = limited ? std::optional<double>(static_cast<double>(*limited) / 1e9)
                           : estimator_.atLimit() ? clean
                                                  : std::nullopt;
        clusters = probing_->process(estimate, since, at);
    }
    sendProbes(clusters);
}

void GstSendPath::sendProbes(const std::vector<ProbeCluster>& clusters) {
    QUILLORY_CHECK_ON(queue_);
    constexpr std::size_t kept = 8;
    for (const ProbeCluster& cluster : clusters) {
        probesSent_.push_back(cluster);
        if (probesSent_.size() > kept) {
            probesSent_.pop_front();
        }
        probes_.send(cluster);
    }
}

void GstSendPath::probesMeasured(std::vector<ProbeResult> results) {
    if (results.empty()) {
        return;
    }
    queue_.async([weak = self_, results = std::move(results)] {
        auto self = weak.lock();
        if (!self || !self->probing_) {
            return;
        }
        for (const ProbeResult& result : results) {
            const auto cluster = std::find_if(
                self->probesSent_.begin(), self->probesSent_.end(),
                [&result](const ProbeCluster& sent) { return sent.id == result.cluster; });
            if (cluster == self->probesSent_.end() || !self->probes_.completed(result.cluster)) {
                continue;
            }
            const ProbeCluster probe = *cluster;
            const double at = static_cast<double>(now()) / 1e9;
            const bool measured = measuredPath(result, probe.targetBps,
                                               static_cast<double>(self->estimator_.estimateBps()));
            const auto estimate =
                static_cast<double>(self->estimator_.probed(result, probe.targetBps, at));
            // Debug only (QUILLORY_DEBUG=webrtc).
            static const Logger logger("webrtc", "probe");
            logger.debug("Probe %d at %.0f kbit/s carried %.0f kbit/s%s; estimate %.0f kbit/s",
                         probe.id, probe.targetBps / 1e3, result.bitsPerSecond / 1e3,
                         result.pathLimited ? ", the path's limit" : "", estimate / 1e3);
            self->estimated_ = true;
            self->applyEncoderRate();
            // Only a busy sender's probe goes again: one the path seemed to slow below the
            // estimate may have met a full queue, which a probe sent again would fill further at
            // the cost of the stream's packets.
            if (measured) {
                self->sendProbes(
                    self->probing_->resultArrived(probe, result.bitsPerSecond, estimate, at));
            } else if (!result.pathLimited) {
                self->sendProbes(self->probing_->measuredNothing(probe, estimate, at));
            }
        }
    });
}

void GstSendPath::close() {
    QUILLORY_CHECK_ON(queue_);
    connected_ = false;
    probeCheck_.cancel();
    probes_.close();
    if (encoder_) {
        encoder_->releaseEncoder();
        encoder_.reset();
    }
}

std::shared_ptr<VideoEncoder> GstSendPath::takeEncoder() {
    return std::move(encoder_);
}

void GstSendPath::setBitrateBounds(const BitrateBounds& bounds) {
    queue_.async([weak = self_, bounds] {
        if (auto self = weak.lock()) {
            self->estimator_.setBounds(bounds);
            if (self->probing_ && bounds.maximumBps) {
                self->probing_->setMaximum(static_cast<double>(*bounds.maximumBps));
            }
            self->applyEncoderRate();
        }
    });
}

void GstSendPath::estimateArrived(const BandwidthFeedbackWindow& window) {
    QUILLORY_CHECK_ON(queue_);
    const std::int64_t before = estimator_.estimateBps();
    const auto estimate = static_cast<double>(estimator_.update(window));
    if (estimate < static_cast<double>(before)) {
        // Debug only (QUILLORY_DEBUG=webrtc): what made the sending rate fall.
        static const Logger logger("webrtc", "estimate");
        logger.debug(
            "Estimate %.0f kbit/s after sent %.0f, received %.0f kbit/s, loss %.1f %%, "
            "queue %s",
            estimate / 1e3, window.sentBps.value_or(-1e3) / 1e3,
            window.receivedBps.value_or(-1e3) / 1e3, window.lossPercent.value_or(-1),
            window.delayTrend == DelayTrend::overusing ? "growing" : "not growing");
    }
    estimated_ = true;
    const auto cap = static_cast<double>(bitrateCap().value_or(maximumBitrateBps_));
    measurements_.count([&](SenderCounters& counters) {
        counters.bandwidthLimited =
            window.sentBps && *window.sentBps >= BandwidthEstimator::underuseShare * estimate &&
            estimate < cap;
    });
    applyEncoderRate();
    probeIfDue();
}

// Without transport-wide feedback the receiver's reports are all the estimate has to go on.
void GstSendPath::feedbackArrived(std::optional<BandwidthFeedbackWindow> window,
                                  bool receiverReport) {
    if (!window) {
        return;
    }
    queue_.async([weak = self_, window = *window, receiverReport] {
        if (auto self = weak.lock(); self && !(receiverReport && self->transportFeedback_)) {
            self->estimateArrived(window);
        }
    });
}

void GstSendPath::applyEncoderRate() {
    QUILLORY_CHECK_ON(queue_);
    const std::int64_t estimate = estimator_.estimateBps();
    const std::int64_t rate = std::min(estimate, bitrateCap().value_or(estimate));
    measurements_.count([&](SenderCounters& counters) {
        if (estimated_) {
            counters.availableOutgoingBitrate = static_cast<double>(estimate);
        }
        if (encoder_) {
            counters.targetBitrate = static_cast<double>(rate);
        }
    });
    pacing_.setTargetBitrate(static_cast<double>(rate));
    measurements_.setEstimate(static_cast<double>(estimate));
    const auto kbps = static_cast<std::uint32_t>(rate / 1000);
    if (encoder_ && encoderWidth_ != 0 && kbps != encoderBitrateKbps_) {
        encoderBitrateKbps_ = kbps;
        encoder_->setBitrate(kbps, static_cast<std::uint32_t>(encoderRate_));
    }
}

void GstSendPath::keyframeRequested(bool fullIntraRequest) {
    if (fullIntraRequest) {
        measurements_.count([](SenderCounters& counters) { counters.firCount += 1; });
    }
    queue_.async([weak = self_] {
        if (auto self = weak.lock()) {
            self->keyframes_.request();
            self->repeatForKeyframe();
        }
    });
}

// A frame on its way takes the request; otherwise the last picture goes again as an IDR, once
// the limiter lets one out.
void GstSendPath::repeatForKeyframe() {
    QUILLORY_CHECK_ON(queue_);
    if (!lastFrame_ || !keyframes_.pending() || framesQueued_.load() > 0) {
        return;
    }
    if (const std::int64_t wait = keyframes_.wait(now()); wait > 0) {
        keyframeRepeat_ = queue_.after(static_cast<double>(wait) / 1e9, [weak = self_] {
            if (auto self = weak.lock()) {
                self->repeatForKeyframe();
            }
        });
        return;
    }
    auto [frame, rate] = *lastFrame_;
    // A new frame to the receiver, with an RTP time of its own.
    frame.captureTimeNs = now();
    encodeFrame(std::move(frame), rate);
}

void GstSendPath::encodeFrame(VideoFrame frame, int maximumFramesPerSecond) {
    QUILLORY_CHECK_ON(queue_);
    if (!connected_ || !encoder_ || stopped_) {
        return;
    }
    if (maximumFramesPerSecond <= 0) {
        maximumFramesPerSecond = defaultFramesPerSecond;
    }
    bool started = false;
    if (frame.adaptedWidth != encoderWidth_ || frame.adaptedHeight != encoderHeight_) {
        if (!startEncoder(frame, maximumFramesPerSecond)) {
            failStream();
            return;
        }
        started = true;
    } else if (maximumFramesPerSecond != encoderRate_) {
        // A frame-rate step keeps the running encoder: a new one would cost a keyframe and the
        // frames the old one held.
        encoderRate_ = maximumFramesPerSecond;
        measurements_.count([this](SenderCounters& counters) {
            counters.encoderConfigured(counters.targetBitrate, encoderRate_);
        });
        encoder_->setBitrate(encoderBitrateKbps_, static_cast<std::uint32_t>(encoderRate_));
    }
    // A picture sent again takes the time of its request, which a frame captured before it may
    // reach the queue after; RTP times must still rise.
    if (lastFrame_ && frame.captureTimeNs <= lastFrame_->first.captureTimeNs) {
        frame.captureTimeNs = lastFrame_->first.captureTimeNs + 1'000'000;
    }
    const std::int64_t at = now();
    bool key = std::exchange(keyframeNext_, false);
    if (key) {
        keyframes_.keyframeSent(at);
    } else {
        key = keyframes_.forceKeyframe(at);
    }
    const VideoFrameType type = key ? VideoFrameType::key : VideoFrameType::delta;
    const H264CodecSpecificInfo info{.packetizationMode = 1};
    if (encoder_->encode(frame, &info, std::span<const VideoFrameType>(&type, 1)) != videoCodecOk) {
        // An encoder that refuses a frame starts afresh with the next one, as a keyframe, so the
        // picture is whole again; one that refuses the first frame after a start cannot encode.
        if (started) {
            failStream();
            return;
        }
        encoder_->releaseEncoder();
        encoderWidth_ = 0;
        encoderHeight_ = 0;
        keyframeNext_ = true;
    }
    lastFrame_.emplace(std::move(frame), maximumFramesPerSecond);
}

bool GstSendPath::startEncoder(const VideoFrame& frame, int maximumFramesPerSecond) {
    QUILLORY_CHECK_ON(queue_);
    if (encoderWidth_ != 0) {
        encoder_->releaseEncoder();
    }
    const std::int64_t estimate = estimator_.estimateBps();
    const std::int64_t rate = std::min(estimate, bitrateCap().value_or(estimate));
    measurements_.count([&](SenderCounters& counters) {
        counters.encoderConfigured(static_cast<double>(rate), maximumFramesPerSecond);
    });
    pacing_.setTargetBitrate(static_cast<double>(rate));
    encoderBitrateKbps_ = static_cast<std::uint32_t>(rate / 1000);
    const VideoEncoderSettings settings{
        .width = frame.adaptedWidth,
        .height = frame.adaptedHeight,
        .startBitrateKbps = encoderBitrateKbps_,
        .maxFramerate = static_cast<std::uint32_t>(maximumFramesPerSecond),
        .cores = usableCores(),
    };
    encoderWidth_ = frame.adaptedWidth;
    encoderHeight_ = frame.adaptedHeight;
    encoderRate_ = maximumFramesPerSecond;
    keyframeNext_ = true;
    return encoder_->startEncode(settings) == videoCodecOk;
}

void GstSendPath::imageEncoded(const EncodedImage& image) {
    QUILLORY_CHECK_SEQUENCE(encoding_);
    if (!image.buffer || image.buffer->empty() || appsrc_ == nullptr) {
        return;
    }
    const bool key = image.frameType == VideoFrameType::key;
    const H264StreamReader::AccessUnit unit = reader_.read(*image.buffer);

    const GstClockTime base = gst_element_get_base_time(pipeline_);
    const std::int64_t capture = image.captureTimeMs * 1'000'000;
    const GstClockTime pts = capture > 0 && static_cast<GstClockTime>(capture) > base
                                 ? static_cast<GstClockTime>(capture) - base
                                 : 0;
    const std::uint32_t rtpTimestamp =
        static_cast<std::uint32_t>(gst_util_uint64_scale_int(pts, 90000, GST_SECOND));

    auto* bytes = handedToGlib(new std::shared_ptr<const Bytes>(image.buffer));
    GstBuffer* buffer = gst_buffer_new_wrapped_full(
        GST_MEMORY_FLAG_READONLY, const_cast<std::uint8_t*>((*bytes)->data()), (*bytes)->size(), 0,
        (*bytes)->size(), bytes, deleteFromGlib<std::shared_ptr<const Bytes>>);
    GST_BUFFER_PTS(buffer) = pts;
    if (!key) {
        GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
    }
    std::optional<int> qp = unit.qp;
    if (!qp && image.qp >= 0) {
        qp = image.qp;
    }
    measurements_.count([&](SenderCounters& counters) {
        counters.frameEncoded({
            .rtpTimestamp = rtpTimestamp,
            .pushedAtNanoseconds = now(),
            .bytes = image.buffer->size(),
            .key = key,
            .qp = qp,
            .encodeSeconds = static_cast<double>(std::max<std::int64_t>(
                                 0, image.encodeFinishMs - image.encodeStartMs)) /
                             1000.0,
            .width = image.encodedWidth,
            .height = image.encodedHeight,
        });
    });
    pacing_.frameQueued(rtpTimestamp, image.buffer->size());
    gst_app_src_push_buffer(GST_APP_SRC(appsrc_), buffer);
}

void GstSendPath::failStream() {
    QUILLORY_CHECK_ON(queue_);
    if (std::exchange(stopped_, true)) {
        return;
    }
    failed_(encoderFailed);
}

}  // namespace quillory
