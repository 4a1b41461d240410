#include "platform/webrtc/gstreamer/gst_send_path.h"

#include <algorithm>
#include <span>

#include "platform/clock/clock.h"
#include "platform/log/logger.h"
#include "platform/process/process_info.h"

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
        prober_.emplace(*probing, static_cast<double>(maximumBitrateBps_), measurements_, probes_);
    }
}

void GstSendPath::bind(std::weak_ptr<GstSendPath> self) {
    self_ = std::move(self);
}

void GstSendPath::setElements(GstElement* pipeline, GstElement* appsrc) {
    feed_.setElements(pipeline, appsrc);
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
    if (prober_ && !transportFeedback) {
        prober_.reset();
        static const Logger logger("webrtc", "probe");
        logger.info(
            "The sender does not probe: the answer negotiated no transport-wide feedback "
            "to measure probes by.");
    }
    encoder_ = encoderFactory_->createEncoder(codec);
    if (!encoder_) {
        failStream();
        return false;
    }
    encoder_->setCallback([weak = self_](const EncodedImage& image, const H264CodecSpecificInfo&) {
        if (auto self = weak.lock()) {
            self->feed_.push(image);
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
    if (!prober_) {
        return;
    }
    probeCheck_ = queue_.after(GstProber::checkSeconds, [weak = self_] {
        if (auto self = weak.lock(); self && self->connected_) {
            self->probeIfDue();
            self->checkProbesLater();
        }
    });
}

void GstSendPath::probeIfDue() {
    QUILLORY_CHECK_ON(queue_);
    if (prober_ && connected_ && encoder_ && !stopped_) {
        prober_->probeIfDue(estimator_, static_cast<double>(now()) / 1e9);
    }
}

void GstSendPath::probesMeasured(std::vector<ProbeResult> results) {
    if (results.empty()) {
        return;
    }
    queue_.async([weak = self_, results = std::move(results)] {
        auto self = weak.lock();
        if (!self || !self->prober_) {
            return;
        }
        self->prober_->measured(results, self->estimator_, static_cast<double>(now()) / 1e9);
        self->estimated_ = true;
        self->applyEncoderRate();
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
            if (self->prober_ && bounds.maximumBps) {
                self->prober_->setMaximum(static_cast<double>(*bounds.maximumBps));
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
    if (encoder_ && running_.width != 0 && kbps != running_.bitrateKbps) {
        running_.bitrateKbps = kbps;
        encoder_->setBitrate(kbps, static_cast<std::uint32_t>(running_.framesPerSecond));
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
    if (frame.adaptedWidth != running_.width || frame.adaptedHeight != running_.height) {
        if (!startEncoder(frame, maximumFramesPerSecond)) {
            failStream();
            return;
        }
        started = true;
    } else if (maximumFramesPerSecond != running_.framesPerSecond) {
        // A frame-rate step keeps the running encoder: a new one would cost a keyframe and the
        // frames the old one held.
        running_.framesPerSecond = maximumFramesPerSecond;
        measurements_.count([this](SenderCounters& counters) {
            counters.encoderConfigured(counters.targetBitrate, running_.framesPerSecond);
        });
        encoder_->setBitrate(running_.bitrateKbps,
                             static_cast<std::uint32_t>(running_.framesPerSecond));
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
        running_ = {};
        keyframeNext_ = true;
    }
    lastFrame_.emplace(std::move(frame), maximumFramesPerSecond);
}

bool GstSendPath::startEncoder(const VideoFrame& frame, int maximumFramesPerSecond) {
    QUILLORY_CHECK_ON(queue_);
    if (running_.width != 0) {
        encoder_->releaseEncoder();
    }
    const std::int64_t estimate = estimator_.estimateBps();
    const std::int64_t rate = std::min(estimate, bitrateCap().value_or(estimate));
    measurements_.count([&](SenderCounters& counters) {
        counters.encoderConfigured(static_cast<double>(rate), maximumFramesPerSecond);
    });
    pacing_.setTargetBitrate(static_cast<double>(rate));
    running_.bitrateKbps = static_cast<std::uint32_t>(rate / 1000);
    const VideoEncoderSettings settings{
        .width = frame.adaptedWidth,
        .height = frame.adaptedHeight,
        .startBitrateKbps = running_.bitrateKbps,
        .maxFramerate = static_cast<std::uint32_t>(maximumFramesPerSecond),
        .cores = usableCores(),
    };
    running_.width = frame.adaptedWidth;
    running_.height = frame.adaptedHeight;
    running_.framesPerSecond = maximumFramesPerSecond;
    keyframeNext_ = true;
    return encoder_->startEncode(settings) == videoCodecOk;
}

void GstSendPath::failStream() {
    QUILLORY_CHECK_ON(queue_);
    if (std::exchange(stopped_, true)) {
        return;
    }
    failed_(encoderFailed);
}

}  // namespace quillory
