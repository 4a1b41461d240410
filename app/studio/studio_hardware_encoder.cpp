#include "app/studio/studio_hardware_encoder.h"

#include <algorithm>

#include "platform/dispatch/sequence_checker.h"
#include "platform/process/process_info.h"

namespace quillory {
namespace {

// A slice thread for every half million pixels, as many as there are cores: at 1080p four
// threads spend a seventh less CPU time a frame than eight, in wake-ups and slice overhead, and
// encode no slower.
int encoderThreads(int width, int height) {
    constexpr std::int64_t pixelsPerThread = 518'400;
    const std::int64_t pixels = std::int64_t{width} * height;
    return static_cast<int>(std::clamp<std::int64_t>(
        (pixels + pixelsPerThread - 1) / pixelsPerThread, 1, usableCores()));
}

using Stage = StudioPerformanceTrace::Stage;

constexpr int maximumInCodec = StudioEncoderAdmission::maximumInCodec;
constexpr int ticksPerSecond = 600;
constexpr int defaultCadence = 60;
constexpr std::size_t scaledBuffers = maximumInCodec + 2;
constexpr double configurationRevision = 3;

const char* const noEncoder = "libavcodec returned no encoder.";
const char* const zeroBitrate = "The initial video bitrate was zero.";
const char* const invalidDimensions =
    "Video encoding could not start because the frame dimensions are invalid.";
const char* const couldNotStart = "Hardware video encoding could not start. ";
const char* const interruptedMessage = "Video encoding was interrupted. Try Studio again.";
const char* const incompleteMessage =
    "The video encoder returned an incomplete frame. Try Studio again.";
const char* const cadenceFailed = "The video frame rate could not be updated.";

// The cadence divides time; a rate below 1 would make no sense of it.
int usableCadence(int fps) {
    return fps < 1 ? defaultCadence : fps;
}

// A raw frame that never reached the codec counts as a dropped frame of the epoch.
void recordDiscardedRaw(StudioEncoderFeedbackMailbox& feedback, const Uuid& generation, int fps,
                        bool keyframe) {
    feedback.recordSubmission(generation);
    feedback.recordCompletion(generation, fps, true, keyframe);
}

}  // namespace

std::shared_ptr<StudioHardwareEncoder> StudioHardwareEncoder::create(std::string profile,
                                                                     Shared shared) {
    return std::shared_ptr<StudioHardwareEncoder>(
        new StudioHardwareEncoder(std::move(profile), std::move(shared)));
}

StudioHardwareEncoder::StudioHardwareEncoder(std::string profile, Shared shared)
    : profile_(std::move(profile)),
      shared_(std::move(shared)),
      queue_("com.quillory.video.encoder"),
      startupFailure_(noEncoder) {}

StudioHardwareEncoder::~StudioHardwareEncoder() = default;

void StudioHardwareEncoder::setCallback(EncodedImageCallback callback) {
    (void)queue_.sync([&] { callback_ = std::move(callback); });
}

int StudioHardwareEncoder::startEncode(const VideoEncoderSettings& settings) {
    int result = videoCodecError;
    (void)queue_.sync([&] { result = start(settings); });
    return result;
}

int StudioHardwareEncoder::releaseEncoder() {
    (void)queue_.sync([&] { teardown(); });
    return videoCodecOk;
}

int StudioHardwareEncoder::setBitrate(std::uint32_t bitrateKbps, std::uint32_t) {
    int result = videoCodecError;
    (void)queue_.sync([&] { result = updateBitrate(bitrateKbps); });
    return result;
}

std::string StudioHardwareEncoder::implementationName() const {
    return hardware_ ? "quillory-vaapi-low-delay" : "quillory-x264-low-delay";
}

int StudioHardwareEncoder::framesInCodec() const {
    return admission_.framesInCodec();
}

bool StudioHardwareEncoder::waitForQueue() {
    return queue_.sync([] {});
}

int StudioHardwareEncoder::start(const VideoEncoderSettings& settings) {
    QUILLORY_CHECK_ON(queue_);
    teardown();
    failed_ = false;
    startupFailure_ = noEncoder;
    width_ = settings.width;
    height_ = settings.height;
    cadence_ = usableCadence(shared_.desiredCadence->framesPerSecond());
    bitrate_ = settings.startBitrateKbps;
    shared_.feedback->openEpoch(admission_.generation(), width_, height_,
                                static_cast<std::int64_t>(bitrate_) * 1000, cadence_);
    traceEvent(Stage::encoderCreating, nullptr, admission_.generation());
    if (width_ < 1 || height_ < 1) {
        shared_.onFailure(invalidDimensions);
        return videoCodecError;
    }
    if (!configureSession()) {
        shared_.onFailure(couldNotStart + startupFailure_);
        return videoCodecError;
    }
    admission_.open();
    return videoCodecOk;
}

bool StudioHardwareEncoder::configureSession() {
    QUILLORY_CHECK_ON(queue_);
    // The codec refuses a zero rate at open, so this is checked first.
    if (bitrate_ == 0) {
        startupFailure_ = zeroBitrate;
        teardown();
        return false;
    }
    H264CodecConfig config;
    config.width = width_;
    config.height = height_;
    config.bitrateKbps = bitrate_;
    config.framesPerSecond = cadence_;
    config.threads = encoderThreads(width_, height_);
    // What the answer picked: Constrained High shows the picture better at one rate.
    config.profile = profile_.starts_with("64") ? H264Profile::constrainedHigh
                                                : H264Profile::constrainedBaseline;
    StudioCodecOpened opened = shared_.openCodec(config);
    if (!opened.codec) {
        if (opened.error) {
            recordFailure(opened.error, "Compression session creation");
        }
        teardown();
        return false;
    }
    codec_ = std::move(opened.codec);
    codec_->setOutputReady([weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        const double readyAt = self->shared_.clock->nowSeconds();
        self->queue_.async([weak, readyAt] {
            if (auto encoder = weak.lock()) {
                encoder->outputsReady(readyAt);
            }
        });
    });
    pool_ = PixelBufferPool::create(width_, height_, scaledBuffers);
    hardware_ = codec_->hardware();
    StudioEncoderMetrics& metrics = *shared_.metrics;
    metrics.set("encoderHardwareQueryOSStatus", codec_->hardwareProbeStatus());
    metrics.set("encoderHardwareQuerySupported", codec_->hardwareProbeStatus() == 0 ? 1 : 0);
    if (!applyBitrate()) {
        teardown();
        return false;
    }
    metrics.set("encoderHardware", hardware_ ? 1 : 0);
    // The rate control is the codec's ordinary one, one packet per frame.
    metrics.set("encoderLowLatencyRateControl", 0);
    metrics.set("encoderFrameDelayLimitSupported", 1);
    metrics.set("encoderExpectedFPS", cadence_);
    metrics.set("encoderConfigurationRevision", configurationRevision);
    metrics.set("encoderMonotonicTimestamps", 1);
    metrics.set("encoderWidth", width_);
    metrics.set("encoderHeight", height_);
    metrics.increment("encoderSessionStarts");
    traceEvent(Stage::encoderPrepared, nullptr, admission_.generation());
    return true;
}

bool StudioHardwareEncoder::recordFailure(const std::optional<VideoError>& error,
                                          const std::string& step) {
    QUILLORY_CHECK_ON(queue_);
    if (!error) {
        return true;
    }
    startupFailure_ = step + " failed (libavcodec error " + std::to_string(error->code) + ").";
    shared_.metrics->set("encoderLastFailureOSStatus", error->code);
    return false;
}

bool StudioHardwareEncoder::applyBitrate() {
    QUILLORY_CHECK_ON(queue_);
    if (!recordFailure(codec_->setBitrate(bitrate_), "AverageBitRate")) {
        return false;
    }
    // Only VAAPI runs with a one-second ceiling of 1.5 times the average; libx264's ceiling is
    // the average itself (see H264Codec::applyRate).
    shared_.metrics->set("encoderBurstLimitApplied", hardware_ ? 1 : 0);
    shared_.metrics->set("encoderAllocatedBitrateBps", static_cast<double>(bitrate_) * 1000);
    return true;
}

int StudioHardwareEncoder::updateBitrate(std::uint32_t kbps) {
    QUILLORY_CHECK_ON(queue_);
    bitrate_ = kbps;
    const std::int64_t bitsPerSecond = static_cast<std::int64_t>(kbps) * 1000;
    traceEvent(Stage::encoderAllocation, nullptr, admission_.generation(),
               static_cast<double>(bitsPerSecond));
    if (!codec_) {
        return videoCodecError;
    }
    if (kbps > 0) {
        if (!applyBitrate()) {
            return videoCodecError;
        }
    } else {
        // The codec keeps its last rate; the pump discards every frame meanwhile.
        shared_.metrics->set("encoderAllocatedBitrateBps", 0);
    }
    shared_.feedback->updateBitrate(bitsPerSecond, admission_.generation());
    return videoCodecOk;
}

int StudioHardwareEncoder::encode(const VideoFrame& frame, const H264CodecSpecificInfo*,
                                  std::span<const VideoFrameType> frameTypes) {
    const bool wanted =
        std::find(frameTypes.begin(), frameTypes.end(), VideoFrameType::key) != frameTypes.end();
    StudioEncoderAdmission::Admitted admitted =
        admission_.admit(frame, wanted, shared_.clock->nowSeconds());
    if (!admitted.accepted) {
        return videoCodecError;
    }
    if (admitted.replaced) {
        shared_.metrics->increment("encoderReplacedRawFrames");
        traceEvent(Stage::rawDiscard, &admitted.replaced->frame, admitted.generation);
        recordDiscardedRaw(*shared_.feedback, admitted.generation, cadence_,
                           admitted.replaced->keyframe);
    }
    if (admitted.schedule) {
        schedulePump(true);
    }
    return videoCodecOk;
}

void StudioHardwareEncoder::schedulePump(bool claimed) {
    if (!claimed && !admission_.claimPump()) {
        return;
    }
    queue_.async([weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->pump();
        }
    });
}

void StudioHardwareEncoder::pump() {
    QUILLORY_CHECK_ON(queue_);
    std::optional<StudioEncoderAdmission::Taken> taken = admission_.take();
    if (!taken) {
        return;
    }
    if (!applyCadence()) {
        return;
    }
    const double started = shared_.clock->nowSeconds();
    const double age = started - taken->job.admitted;
    shared_.metrics->recordMaximum("encoderRawQueueMaximumMS", age * 1000);

    std::shared_ptr<PixelBuffer> buffer;
    const bool late = age >= 2.0 / usableCadence(cadence_);
    if (!late && bitrate_ != 0 && codec_) {
        buffer = fitFrame(taken->job.frame, width_, height_, pool_.get()).buffer;
    }
    if (!buffer) {
        discardRaw(*taken);
    } else {
        submit(std::move(*taken), std::move(buffer), started);
    }
    schedulePump();
}

void StudioHardwareEncoder::discardRaw(const StudioEncoderAdmission::Taken& taken) {
    QUILLORY_CHECK_ON(queue_);
    shared_.metrics->increment("encoderDiscardedRawFrames");
    traceEvent(Stage::rawDiscard, &taken.job.frame, taken.generation);
    if (taken.keyframe) {
        admission_.requestKeyframe();
    }
    // A paused rate is the transport's choice, not an encoder that cannot keep up.
    if (bitrate_ != 0) {
        recordDiscardedRaw(*shared_.feedback, taken.generation, cadence_, taken.keyframe);
    }
}

void StudioHardwareEncoder::submit(StudioEncoderAdmission::Taken taken,
                                   std::shared_ptr<PixelBuffer> buffer, double started) {
    QUILLORY_CHECK_ON(queue_);
    const double prepared = shared_.clock->nowSeconds();
    shared_.metrics->recordMaximum("encoderPreparationMaximumMS", (prepared - started) * 1000);
    const int inCodec = admission_.submitted();
    shared_.metrics->recordMaximum("encoderMaximumInFlight", inCodec);
    shared_.metrics->increment("encoderSubmittedFrames");
    shared_.feedback->recordSubmission(taken.generation);
    traceEvent(Stage::encodeSubmitted, &taken.job.frame, taken.generation, std::nullopt,
               taken.keyframe);

    const std::int64_t pts = encoderTimestampTicks_;
    encoderTimestampTicks_ += ticksPerSecond / usableCadence(cadence_);
    inCodec_[pts] = EncodingContext{std::move(taken.job.frame),
                                    taken.generation,
                                    started,
                                    prepared,
                                    width_,
                                    height_,
                                    taken.keyframe,
                                    cadence_};
    std::vector<StudioCodecOutput> outputs;
    if (codec_->encode(std::move(buffer), taken.keyframe, pts, outputs)) {
        inCodec_.erase(pts);
        admission_.refused();
        shared_.metrics->increment("encoderFailedFrames");
        fail(interruptedMessage);
    }
    // Outputs that come out of the same call were never queued.
    handleOutputs(outputs, std::nullopt);
}

bool StudioHardwareEncoder::applyCadence() {
    QUILLORY_CHECK_ON(queue_);
    const int desired = usableCadence(shared_.desiredCadence->framesPerSecond());
    if (desired == cadence_) {
        return true;
    }
    if (codec_ && recordFailure(codec_->setFramesPerSecond(desired), "ExpectedFrameRate")) {
        cadence_ = desired;
        shared_.feedback->updateFramesPerSecond(desired, admission_.generation());
        shared_.metrics->set("encoderExpectedFPS", desired);
        return true;
    }
    fail(cadenceFailed);
    return false;
}

void StudioHardwareEncoder::outputsReady(double readyAt) {
    QUILLORY_CHECK_ON(queue_);
    if (!codec_) {
        return;
    }
    std::vector<StudioCodecOutput> outputs;
    codec_->drain(outputs);
    handleOutputs(outputs, readyAt);
}

void StudioHardwareEncoder::handleOutputs(const std::vector<StudioCodecOutput>& outputs,
                                          std::optional<double> readyAt) {
    QUILLORY_CHECK_ON(queue_);
    for (const StudioCodecOutput& output : outputs) {
        const auto found = inCodec_.find(output.pts);
        if (found == inCodec_.end()) {
            continue;
        }
        const EncodingContext context = std::move(found->second);
        inCodec_.erase(found);
        handleOutput(context, output, readyAt);
    }
}

void StudioHardwareEncoder::handleOutput(const EncodingContext& context,
                                         const StudioCodecOutput& output,
                                         std::optional<double> queuedAt) {
    QUILLORY_CHECK_ON(queue_);
    if (context.generation != admission_.generation() || !admission_.completed()) {
        return;
    }
    traceEvent(Stage::encodeCompleted, &context.frame, context.generation);
    const double handled = shared_.clock->nowSeconds();
    const double readyAt = queuedAt.value_or(handled);
    shared_.metrics->recordMaximum("encoderCallbackQueueMaximumMS", (handled - readyAt) * 1000);

    if (output.status != 0) {
        shared_.metrics->increment("encoderFailedFrames");
        fail(interruptedMessage);
    } else if (!output.dropped && output.data) {
        if (auto unit = annexBAccessUnit(*output.data, parameterSets_)) {
            deliver(context, std::move(*unit), readyAt, handled);
        } else {
            fail(incompleteMessage);
        }
    } else {
        recordDrop(context, output, readyAt);
    }
    schedulePump();
}

void StudioHardwareEncoder::deliver(const EncodingContext& context, AnnexBAccessUnit unit,
                                    double readyAt, double handled) {
    QUILLORY_CHECK_ON(queue_);
    shared_.feedback->recordCompletion(context.generation, context.fps, false, context.keyframe);
    EncodedImage image =
        encodedImageOf(context.frame, std::make_shared<const Bytes>(std::move(unit.bytes)),
                       unit.keyframe, context.width, context.height);
    image.encodeStartMs = static_cast<std::int64_t>(context.started * 1000);
    image.encodeFinishMs = static_cast<std::int64_t>(handled * 1000);
    StudioEncoderMetrics& metrics = *shared_.metrics;
    metrics.increment("encoderOutputFrames");
    metrics.recordMaximum("encoderHardwareCompletionMaximumMS",
                          (readyAt - context.submitted) * 1000);
    metrics.recordMaximum("encoderMaximumFrameBytes", static_cast<double>(image.buffer->size()));
    metrics.recordMaximum("encoderCompletionMaximumMS", (handled - context.started) * 1000);
    traceEvent(Stage::encodedOutput, &context.frame, context.generation,
               static_cast<double>(image.buffer->size()), unit.keyframe);
    if (callback_) {
        (void)callback_(image, H264CodecSpecificInfo{0});
    }
}

void StudioHardwareEncoder::recordDrop(const EncodingContext& context,
                                       const StudioCodecOutput& output, double readyAt) {
    QUILLORY_CHECK_ON(queue_);
    shared_.feedback->recordCompletion(context.generation, context.fps, true, context.keyframe);
    StudioEncoderMetrics& metrics = *shared_.metrics;
    metrics.increment("encoderDroppedOutputFrames");
    metrics.increment(output.dropped ? "encoderNativeDroppedFrames" : "encoderMissingOutputFrames");
    traceEvent(Stage::encoderDrop, &context.frame, context.generation, std::nullopt,
               context.keyframe);
    metrics.recordMaximum("encoderDroppedCompletionMaximumMS",
                          (readyAt - context.submitted) * 1000);
    if (context.keyframe) {
        admission_.requestKeyframe();
    }
}

void StudioHardwareEncoder::fail(const std::string& message) {
    QUILLORY_CHECK_ON(queue_);
    if (failed_) {
        return;
    }
    failed_ = true;
    admission_.close();
    shared_.onFailure(message);
}

void StudioHardwareEncoder::teardown() {
    QUILLORY_CHECK_ON(queue_);
    shared_.feedback->closeEpoch(admission_.generation());
    admission_.renew();
    if (codec_) {
        // What the codec still gives belongs to the old generation and is ignored.
        std::vector<StudioCodecOutput> outputs;
        codec_->drain(outputs);
        handleOutputs(outputs, std::nullopt);
        codec_.reset();
    }
    inCodec_.clear();
    encoderTimestampTicks_ = 0;
    pool_.reset();
    parameterSets_ = {};
}

void StudioHardwareEncoder::traceEvent(Stage stage, const VideoFrame* frame, const Uuid& generation,
                                       std::optional<double> value,
                                       std::optional<bool> keyframe) const {
    if (!shared_.trace) {
        return;
    }
    StudioPerformanceTrace::Details details;
    details.fields.epoch = generation;
    details.fields.value = value;
    details.fields.keyframe = keyframe;
    if (frame != nullptr) {
        details.fields.rtpTimestamp = frame->rtpTimestamp;
        details.fields.captureTimestampNs = frame->captureTimeNs;
    }
    shared_.trace->record(stage, std::move(details), shared_.clock->nowSeconds());
}

}  // namespace quillory
