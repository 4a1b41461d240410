#include "tools/pad/studio_share.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "media/interactive_h264_factory.h"
#include "platform/clock/clock.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/sequence_checker.h"
#include "platform/webrtc/gstreamer/video_receiver.h"
#include "tests/support/frame_barcode.h"
#include "tests/support/udp_relay.h"
#include "tools/pad/share_syntax.h"
#include "tools/pad/studio_listing.h"

namespace quillory::pad {

namespace {

constexpr std::int64_t nanosecondsPerSecond = 1'000'000'000;

std::int64_t now() {
    return static_cast<std::int64_t>(uptimeNanoseconds());
}

double milliseconds(std::int64_t nanoseconds) {
    return static_cast<double>(nanoseconds) / 1e6;
}

std::string sizeText(int width, int height) {
    return std::to_string(width) + "×" + std::to_string(height);
}

testing::UdpRelay::Shaping relayShaping(const LinkShaping& shaping) {
    return testing::UdpRelay::Shaping{.lossFraction = shaping.lossFraction,
                                      .delaySeconds = shaping.delaySeconds,
                                      .rateBps = shaping.rateBitsPerSecond};
}

Json shapingJSON(const LinkShaping& shaping) {
    return {{"rate", shaping.rateBitsPerSecond ? Json(*shaping.rateBitsPerSecond) : Json()},
            {"loss", shaping.lossFraction},
            {"delay", shaping.delaySeconds}};
}

}  // namespace

std::shared_ptr<StudioShareDriver> StudioShare::make(const PadOptions& options,
                                                     std::shared_ptr<EventOutput> output,
                                                     StudioShareLink link) {
    return std::make_shared<StudioShare>(options, std::move(output), std::move(link));
}

StudioShare::StudioShare(const PadOptions& options, std::shared_ptr<EventOutput> output,
                         StudioShareLink link)
    : options_(options), output_(std::move(output)), link_(std::move(link)) {}

StudioShare::~StudioShare() {
    if (receiver_) {
        receiver_->close();
    }
}

Timer StudioShare::after(double seconds, void (StudioShare::*method)()) {
    std::weak_ptr<StudioShare> weak = weak_from_this();
    return MainQueue::after(seconds, [weak, method] {
        if (auto self = weak.lock()) {
            ((*self).*method)();
        }
    });
}

void StudioShare::start() {
    QUILLORY_CHECK_MAIN_THREAD();
    if (!options_.window && !options_.source) {
        request(std::nullopt);
        return;
    }
    // Sources are known by the ids of the computer's latest list.
    listID_ = Uuid::random();
    link_.send(StudioSignal{.id = *listID_, .kind = StudioSignal::Kind::listSources});
    std::weak_ptr<StudioShare> weak = weak_from_this();
    waitTimer_ = MainQueue::after(listTimeout, [weak] {
        if (auto self = weak.lock()) {
            self->finish(1,
                         "The computer did not answer the source list. Is Studio available "
                         "there?");
        }
    });
}

void StudioShare::studioArrived(const StudioSignal& signal) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (finished_) {
        return;
    }
    if (listID_ && signal.id == *listID_) {
        if (signal.kind == StudioSignal::Kind::sources && signal.sources) {
            sourcesArrived(signal);
        } else if (signal.kind == StudioSignal::Kind::failure) {
            finish(1, "The computer refused the list: " + signal.message.value_or(""));
        }
        return;
    }
    if (!streamID_ || signal.id != *streamID_) {
        return;
    }
    switch (signal.kind) {
        case StudioSignal::Kind::offer:
            offerArrived(signal);
            break;
        case StudioSignal::Kind::configured:
            output_->event("configured",
                           {{"width", signal.width.value_or(0)},
                            {"height", signal.height.value_or(0)},
                            {"preset", signal.preset ? rawValue(*signal.preset) : ""},
                            {"settingsID", signal.settingsID ? signal.settingsID->text() : ""}},
                           "Configured: " +
                               sizeText(static_cast<int>(signal.width.value_or(0)),
                                        static_cast<int>(signal.height.value_or(0))) +
                               ".");
            break;
        case StudioSignal::Kind::failure: {
            const auto message = signal.message.value_or("");
            output_->event("failure", {{"message", message}}, message);
            closeStream();
            finish(1, "Studio failed on the computer: " + message);
            break;
        }
        case StudioSignal::Kind::stop:
            output_->event("stopped", {{"by", "computer"}}, "The computer stopped sharing.");
            closeStream();
            finish(0);
            break;
        default:
            break;
    }
}

void StudioShare::sourcesArrived(const StudioSignal& signal) {
    listID_.reset();
    waitTimer_.cancel();
    auto chosen = chooseSource(*signal.sources, options_.source, options_.window);
    if (const auto* message = std::get_if<std::string>(&chosen)) {
        finish(1, *message);
        return;
    }
    const auto& source = std::get<StudioSource>(chosen);
    output_->event("source",
                   {{"id", source.id.text()},
                    {"kind", source.kind == StudioSource::Kind::display ? "display" : "window"},
                    {"name", source.name}},
                   "Sharing " + source.name + "…");
    request(source.id);
}

void StudioShare::request(const std::optional<Uuid>& sourceID) {
    streamID_ = Uuid::random();
    offered_ = false;
    const StudioSignal signal{.id = *streamID_,
                              .kind = StudioSignal::Kind::request,
                              .sourceID = sourceID,
                              .viewport = options_.viewport,
                              .preset = options_.preset.value_or(StudioPreset::balanced)};
    link_.send(signal);
    output_->event("request", {{"studio", signal.toJSON()}}, {});
    std::weak_ptr<StudioShare> weak = weak_from_this();
    waitTimer_ = MainQueue::after(offerTimeout, [weak] {
        if (auto self = weak.lock()) {
            self->finish(1, "The computer did not answer the Studio request.");
        }
    });
    if (options_.seconds && !secondsTimer_.isScheduled()) {
        secondsTimer_ = MainQueue::after(*options_.seconds, [weak] {
            if (auto self = weak.lock()) {
                self->stopStream();
                self->finish(0);
            }
        });
    }
}

void StudioShare::offerArrived(const StudioSignal& offer) {
    if (offered_) {
        return;
    }
    offered_ = true;
    waitTimer_.cancel();
    const bool valid = offer.isValid();
    output_->event("offer",
                   {{"width", offer.width.value_or(0)},
                    {"height", offer.height.value_or(0)},
                    {"sourceName", offer.sourceName.value_or("")},
                    {"valid", valid}},
                   "Offer for " + offer.sourceName.value_or("a source") + ", " +
                       sizeText(static_cast<int>(offer.width.value_or(0)),
                                static_cast<int>(offer.height.value_or(0))) +
                       ".");
    if (!valid) {
        stopStream();
        finish(1, "The computer's offer is not a valid Studio description.");
        return;
    }
    std::string sdp = *offer.sdp;
    std::string address = link_.localAddress().value_or("");
    if (options_.shape) {
        relay_ = testing::UdpRelay::create();
        sdp = relay_ ? relay_->rewriteOffer(sdp) : std::string();
        if (sdp.empty()) {
            stopStream();
            finish(1, "Cannot relay the stream: no loopback port, or no UDP candidate offered.");
            return;
        }
        relay_->setShaping(relayShaping(*options_.shape));
        address = "127.0.0.1";
    }
    std::weak_ptr<StudioShare> weak = weak_from_this();
    const Uuid streamID = *streamID_;
    framesThisSecond_ = std::make_shared<std::atomic<std::uint64_t>>(0);
    receiver_ = VideoReceiver::create(
        address, InteractiveH264Factory::codecList(),
        [weak, streamID, counted = framesThisSecond_](const VideoReceiver::Frame& frame) {
            counted->fetch_add(1);
            // Read here, on GStreamer's thread, so that the main queue only sums up.
            Decoded decoded{frame.width, frame.height, frame.decodedAtNanoseconds, frame.keyframe,
                            testing::readFrameBarcode(frame.luma.data(), frame.width, frame.height,
                                                      frame.width)};
            MainQueue::post([weak, streamID, decoded] {
                if (auto self = weak.lock()) {
                    self->frameArrived(streamID, decoded);
                }
            });
        });
    if (!receiver_) {
        stopStream();
        finish(1, "Cannot receive video here: GStreamer's WebRTC elements are missing or " +
                      (address.empty() ? std::string("the link has no local address")
                                       : address + " is no numeric address") +
                      ".");
        return;
    }
    receiver_->askForKeyframesOnLoss();
    receiver_->answer(sdp, [weak, streamID](std::optional<std::string> answer, std::string error) {
        MainQueue::post([weak, streamID, answer = std::move(answer), error = std::move(error)] {
            if (auto self = weak.lock()) {
                self->answerReady(streamID, answer, error);
            }
        });
    });
}

void StudioShare::answerReady(const Uuid& streamID, std::optional<std::string> sdp,
                              const std::string& error) {
    if (finished_ || streamID_ != streamID) {
        return;
    }
    if (!sdp) {
        stopStream();
        finish(1, "Could not answer the offer: " + error);
        return;
    }
    if (relay_) {
        sdp = relay_->rewriteAnswer(*sdp);
    }
    const StudioSignal answer{.id = streamID, .kind = StudioSignal::Kind::answer, .sdp = sdp};
    link_.send(answer);
    answeredAt_ = now();
    reportFrom_ = answeredAt_;
    output_->event("answered", {{"relayed", relay_ != nullptr}}, "Answered; waiting for video…");
    std::weak_ptr<StudioShare> weak = weak_from_this();
    waitTimer_ = MainQueue::after(firstFrameTimeout, [weak] {
        if (auto self = weak.lock()) {
            self->stopStream();
            self->finish(1, "No video arrived from the computer.");
        }
    });
    scheduleReport();
}

void StudioShare::frameArrived(const Uuid& streamID, const Decoded& frame) {
    if (finished_ || streamID_ != streamID || !receiver_) {
        return;
    }
    ++frames_;
    if (!firstFrameAt_) {
        firstFrameAt_ = frame.decodedAt;
        waitTimer_.cancel();
        output_->event("firstFrame",
                       {{"width", frame.width},
                        {"height", frame.height},
                        {"keyframe", frame.keyframe},
                        {"afterAnswer", milliseconds(frame.decodedAt - answeredAt_) / 1e3}},
                       "First picture: " + sizeText(frame.width, frame.height) + ".");
    } else {
        longestGap_ = std::max(longestGap_, frame.decodedAt - lastFrameAt_);
    }
    lastFrameAt_ = frame.decodedAt;
    if (frame.width != width_ || frame.height != height_) {
        width_ = frame.width;
        height_ = frame.height;
        output_->event("size", {{"width", width_}, {"height", height_}},
                       "Decoding " + sizeText(width_, height_) + ".");
    }
    if (frame.counter) {
        ++barcodes_;
        lastCounter_ = frame.counter;
        latency_.decoded(*frame.counter, frame.decodedAt);
    }
    if (sinceKeyframeRequest_) {
        ++*sinceKeyframeRequest_;
        if (frame.keyframe) {
            output_->event("keyframe", {{"afterFrames", *sinceKeyframeRequest_}},
                           "Keyframe " + std::to_string(*sinceKeyframeRequest_) +
                               " pictures after the request.");
            sinceKeyframeRequest_.reset();
        }
    }
}

void StudioShare::scheduleReport() {
    reportTimer_ = after(1.0, &StudioShare::report);
}

void StudioShare::report() {
    if (finished_ || !receiver_) {
        return;
    }
    const bool connected = receiver_->connectionState() == PeerConnectionState::connected;
    if (connected != connected_) {
        connected_ = connected;
        output_->event("connection", {{"connected", connected}},
                       connected ? "Connected." : "Connection lost.");
    }
    // Pictures per second over a whole interval: the one in which the first picture came is
    // only partly covered, and a late timer makes an interval longer than a second.
    const std::int64_t at = now();
    const double seconds = static_cast<double>(at - reportFrom_) / nanosecondsPerSecond;
    const auto fps = static_cast<std::uint64_t>(
        std::lround(static_cast<double>(framesThisSecond_->exchange(0)) / std::max(seconds, 1e-3)));
    const bool wholeInterval = firstFrameAt_ && *firstFrameAt_ < reportFrom_;
    reportFrom_ = at;
    if (wholeInterval) {
        Json fields = {{"fps", fps},
                       {"width", width_},
                       {"height", height_},
                       {"frames", frames_},
                       {"barcodes", barcodes_}};
        if (lastCounter_) {
            fields["counter"] = *lastCounter_;
        }
        std::string text = std::to_string(fps) + " pictures/s, " + sizeText(width_, height_);
        if (relay_) {
            // What the shaped path adds to the picture's delay.
            const auto waited = std::lround(relay_->takeLongestWait() * 1e3);
            fields["relayQueueMs"] = waited;
            text += ", relay queue up to " + std::to_string(waited) + " ms";
        }
        output_->event("frames", std::move(fields), text);
    }
    scheduleReport();
}

void StudioShare::input(const std::string& line) {
    QUILLORY_CHECK_MAIN_THREAD();
    if (finished_ || line.empty()) {
        return;
    }
    auto parsed = parseShareCommand(line);
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        output_->event("refused", {{"message", error->message}}, error->message);
        return;
    }
    const auto command = std::get<ShareCommand>(parsed);
    const auto refuse = [this](const std::string& message) {
        output_->event("refused", {{"message", message}}, message);
    };
    switch (command.kind) {
        case ShareCommand::Kind::configure: {
            if (!streamID_ || !offered_) {
                refuse("Nothing is shared yet.");
                return;
            }
            const StudioSignal signal{.id = *streamID_,
                                      .kind = StudioSignal::Kind::configure,
                                      .viewport = command.viewport,
                                      .preset = command.preset,
                                      .settingsID = Uuid::random()};
            link_.send(signal);
            output_->event("configure", {{"studio", signal.toJSON()}}, {});
            return;
        }
        case ShareCommand::Kind::keyframe:
            if (!receiver_) {
                refuse("Nothing is shared yet.");
                return;
            }
            receiver_->requestKeyframe();
            sinceKeyframeRequest_ = 0;
            output_->event("keyframeRequested", {}, {});
            return;
        case ShareCommand::Kind::shape:
            if (!relay_) {
                refuse("The stream is not relayed: start with --shape to shape it.");
                return;
            }
            relay_->setShaping(relayShaping(command.shaping));
            output_->event("shaped", shapingJSON(command.shaping), {});
            return;
        case ShareCommand::Kind::draw:
            draw(command.x, command.y);
            return;
        case ShareCommand::Kind::stop:
            if (!streamID_) {
                refuse("Nothing is shared.");
                return;
            }
            stopStream();
            return;
        case ShareCommand::Kind::quit:
            stopStream();
            finish(0);
            return;
    }
}

void StudioShare::draw(double x, double y) {
    // A short press and drag to the right, each point inside the picture.
    constexpr int points = 6;
    constexpr double step = 0.01;
    std::vector<PenSample> samples;
    for (int index = 0; index < points; ++index) {
        PenSample sample;
        sample.phase = index == 0            ? PenSample::Phase::began
                       : index + 1 == points ? PenSample::Phase::ended
                                             : PenSample::Phase::moved;
        sample.x = std::min(1.0, x + step * index);
        sample.y = y;
        sample.pressure = 0.5;
        sample.altitude = 1.2;
        sample.studioID = streamID_;
        samples.push_back(sample);
    }
    link_.draw(samples);
    Json points_ = Json::array();
    for (const auto& sample : samples) {
        points_.push_back({{"x", sample.x}, {"y", sample.y}, {"phase", rawValue(sample.phase)}});
    }
    output_->event("draw",
                   {{"studioID", streamID_ ? Json(streamID_->text()) : Json()},
                    {"points", std::move(points_)}},
                   streamID_ ? "Drew in the shared picture." : "Drew on the computer's display.");
}

void StudioShare::stopStream() {
    if (!streamID_) {
        return;
    }
    link_.send(StudioSignal{.id = *streamID_, .kind = StudioSignal::Kind::stop});
    output_->event("stopped", {{"by", "tablet"}}, "Stopped sharing.");
    closeStream();
}

void StudioShare::closeStream() {
    if (receiver_) {
        printSummary();
        receiver_->close();
        receiver_.reset();
    }
    relay_.reset();
    streamID_.reset();
    listID_.reset();
    waitTimer_.cancel();
    reportTimer_.cancel();
    sinceKeyframeRequest_.reset();
}

void StudioShare::printSummary() {
    const double seconds =
        firstFrameAt_ ? static_cast<double>(lastFrameAt_ - *firstFrameAt_) / nanosecondsPerSecond
                      : 0.0;
    output_->event("shared",
                   {{"frames", frames_},
                    {"seconds", seconds},
                    {"fps", seconds > 0 ? static_cast<double>(frames_ - 1) / seconds : 0.0},
                    {"longestGap", milliseconds(longestGap_) / 1e3},
                    {"barcodes", barcodes_},
                    {"pictureLossRequests", receiver_->pictureLossRequests()},
                    {"width", width_},
                    {"height", height_}},
                   std::to_string(frames_) + " pictures decoded, the longest gap " +
                       std::to_string(static_cast<int>(milliseconds(longestGap_))) + " ms.");
    if (!options_.paintLog) {
        return;
    }
    std::ifstream log(*options_.paintLog);
    if (!log) {
        output_->event("latency", {{"frames", 0}}, "Cannot read " + *options_.paintLog + ".");
        return;
    }
    latency_.readLog(log);
    const auto summary = latency_.summary();
    if (!summary) {
        output_->event("latency", {{"frames", 0}},
                       "No decoded picture carried a counter of the paint log.");
        return;
    }
    output_->event("latency",
                   {{"frames", summary->frames},
                    {"median", summary->medianMilliseconds},
                    {"p95", summary->p95Milliseconds}},
                   "Paint to decode: median " +
                       std::to_string(static_cast<int>(summary->medianMilliseconds)) + " ms, p95 " +
                       std::to_string(static_cast<int>(summary->p95Milliseconds)) + " ms over " +
                       std::to_string(summary->frames) + " pictures.");
}

void StudioShare::endOfInput() {
    QUILLORY_CHECK_MAIN_THREAD();
    // Typed commands end with the input; a timed share runs its time.
    if (!options_.seconds) {
        input("quit");
    }
}

void StudioShare::interrupt() {
    QUILLORY_CHECK_MAIN_THREAD();
    stopStream();
    finish(130, "Interrupted.");
}

void StudioShare::linkEnded() {
    QUILLORY_CHECK_MAIN_THREAD();
    closeStream();
    secondsTimer_.cancel();
    finished_ = true;
}

void StudioShare::finish(int status, std::string message) {
    if (finished_) {
        return;
    }
    closeStream();
    secondsTimer_.cancel();
    finished_ = true;
    link_.finished(status, std::move(message));
}

}  // namespace quillory::pad
