#include "platform/webrtc/testing/fake_peer_transport.h"

#include <algorithm>
#include <utility>

namespace quillory {

namespace {

// Pops the oldest entry under the lock; the caller runs it outside.
template <typename T>
std::optional<T> popFront(std::mutex& mutex, std::deque<T>& queue) {
    std::lock_guard lock(mutex);
    if (queue.empty()) {
        return std::nullopt;
    }
    T front = std::move(queue.front());
    queue.pop_front();
    return front;
}

}  // namespace

FakePeerVideoSource::FakePeerVideoSource(VideoSourceFitter fitter) : fitter_(std::move(fitter)) {}

void FakePeerVideoSource::adaptOutputFormat(int requestWidth, int requestHeight,
                                            int framesPerSecond) {
    std::lock_guard lock(mutex_);
    formats_.push_back({requestWidth, requestHeight, framesPerSecond});
}

void FakePeerVideoSource::deliverFrame(const std::shared_ptr<PixelBuffer>&,
                                       std::int64_t timestampNanoseconds) {
    std::lock_guard lock(mutex_);
    timestamps_.push_back(timestampNanoseconds);
}

std::vector<FakePeerVideoSource::Format> FakePeerVideoSource::formats() const {
    std::lock_guard lock(mutex_);
    return formats_;
}

std::vector<std::int64_t> FakePeerVideoSource::timestamps() const {
    std::lock_guard lock(mutex_);
    return timestamps_;
}

std::size_t FakePeerVideoSource::frameCount() const {
    std::lock_guard lock(mutex_);
    return timestamps_.size();
}

std::optional<VideoSourceFit> FakePeerVideoSource::fitFor(int sourceWidth, int sourceHeight) const {
    std::lock_guard lock(mutex_);
    if (formats_.empty() || !fitter_) {
        return std::nullopt;
    }
    return fitter_(sourceWidth, sourceHeight, formats_.back().requestWidth,
                   formats_.back().requestHeight);
}

FakePeerTransport::FakePeerTransport(PeerTransportConfiguration configuration,
                                     std::shared_ptr<VideoEncoderFactory> encoderFactory,
                                     std::shared_ptr<PeerTransportDelegate> delegate)
    : configuration_(std::move(configuration)),
      encoderFactory_(std::move(encoderFactory)),
      delegate_(std::move(delegate)) {}

std::shared_ptr<PeerVideoSource> FakePeerTransport::addVideoTrack(const std::string& trackId,
                                                                  VideoSourceFitter fitter) {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("addVideoTrack");
    trackIds_.push_back(trackId);
    if (refuseTrack_ || closed_) {
        return nullptr;
    }
    source_ = std::make_shared<FakePeerVideoSource>(std::move(fitter));
    parameters_ = RtpSendParameters{.encodings = {RtpEncodingParameters{}}};
    return source_;
}

std::optional<RtpSendParameters> FakePeerTransport::senderParameters() const {
    std::lock_guard lock(mutex_);
    return parameters_;
}

bool FakePeerTransport::setSenderParameters(const RtpSendParameters& parameters) {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("setSenderParameters");
    if (!parameters_) {
        return false;
    }
    parameters_ = parameters;
    written_.push_back(parameters);
    return true;
}

void FakePeerTransport::setBitrateBounds(const BitrateBounds& bounds) {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("setBitrateBounds");
    bounds_.push_back(bounds);
}

void FakePeerTransport::createOffer(CreateDescriptionCompletion completion) {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("createOffer");
    creates_.push_back(std::move(completion));
}

void FakePeerTransport::createAnswer(CreateDescriptionCompletion completion) {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("createAnswer");
    creates_.push_back(std::move(completion));
}

void FakePeerTransport::setLocalDescription(const SessionDescription& description,
                                            SetDescriptionCompletion completion) {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("setLocalDescription");
    localsSet_.push_back(description);
    setLocals_.emplace_back(description, std::move(completion));
}

void FakePeerTransport::setRemoteDescription(const SessionDescription& description,
                                             SetDescriptionCompletion completion) {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("setRemoteDescription");
    remotesSet_.push_back(description);
    setRemotes_.push_back(std::move(completion));
}

std::optional<SessionDescription> FakePeerTransport::localDescription() const {
    std::lock_guard lock(mutex_);
    return local_;
}

IceGatheringState FakePeerTransport::iceGatheringState() const {
    std::lock_guard lock(mutex_);
    return gathering_;
}

void FakePeerTransport::requestStatistics(StatisticsCompletion completion) {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("requestStatistics");
    statistics_.push_back(std::move(completion));
}

void FakePeerTransport::close() {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("close");
    closed_ = true;
}

bool FakePeerTransport::completeCreate(std::optional<SessionDescription> description,
                                       std::string error) {
    auto completion = popFront(mutex_, creates_);
    if (!completion) {
        return false;
    }
    (*completion)(std::move(description), std::move(error));
    return true;
}

bool FakePeerTransport::completeSetLocal(std::string error) {
    auto entry = popFront(mutex_, setLocals_);
    if (!entry) {
        return false;
    }
    if (error.empty()) {
        std::lock_guard lock(mutex_);
        local_ = entry->first;
    }
    entry->second(std::move(error));
    return true;
}

bool FakePeerTransport::completeSetRemote(std::string error) {
    auto completion = popFront(mutex_, setRemotes_);
    if (!completion) {
        return false;
    }
    (*completion)(std::move(error));
    return true;
}

bool FakePeerTransport::completeStatistics(std::optional<StudioStatisticsReport> report) {
    auto completion = popFront(mutex_, statistics_);
    if (!completion) {
        return false;
    }
    (*completion)(std::move(report));
    return true;
}

std::shared_ptr<PeerTransportDelegate> FakePeerTransport::liveDelegate() const {
    std::lock_guard lock(mutex_);
    return closed_ ? nullptr : delegate_;
}

void FakePeerTransport::changeGathering(IceGatheringState state) {
    {
        std::lock_guard lock(mutex_);
        gathering_ = state;
    }
    if (auto delegate = liveDelegate()) {
        delegate->iceGatheringStateChanged(state);
    }
}

void FakePeerTransport::changeConnection(PeerConnectionState state) {
    if (auto delegate = liveDelegate()) {
        delegate->connectionStateChanged(state);
    }
}

std::shared_ptr<FakePeerDataChannel> FakePeerTransport::openDataChannel() {
    auto channel = std::make_shared<FakePeerDataChannel>();
    if (auto delegate = liveDelegate()) {
        delegate->dataChannelOpened(channel);
    }
    return channel;
}

void FakePeerTransport::addRemoteTrack(const std::string& trackId) {
    if (auto delegate = liveDelegate()) {
        delegate->remoteTrackAdded(std::make_shared<FakePeerRemoteVideoTrack>(trackId));
    }
}

void FakePeerTransport::failStream(const std::string& message) {
    if (auto delegate = liveDelegate()) {
        delegate->transportFailed(message);
    }
}

std::vector<std::string> FakePeerTransport::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::size_t FakePeerTransport::callCount(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count(calls_.begin(), calls_.end(), name));
}

std::vector<std::string> FakePeerTransport::trackIds() const {
    std::lock_guard lock(mutex_);
    return trackIds_;
}

std::shared_ptr<FakePeerVideoSource> FakePeerTransport::source() const {
    std::lock_guard lock(mutex_);
    return source_;
}

std::vector<RtpSendParameters> FakePeerTransport::writtenParameters() const {
    std::lock_guard lock(mutex_);
    return written_;
}

std::vector<BitrateBounds> FakePeerTransport::bitrateBounds() const {
    std::lock_guard lock(mutex_);
    return bounds_;
}

std::vector<SessionDescription> FakePeerTransport::localDescriptionsSet() const {
    std::lock_guard lock(mutex_);
    return localsSet_;
}

std::vector<SessionDescription> FakePeerTransport::remoteDescriptionsSet() const {
    std::lock_guard lock(mutex_);
    return remotesSet_;
}

std::size_t FakePeerTransport::pendingCreates() const {
    std::lock_guard lock(mutex_);
    return creates_.size();
}

std::size_t FakePeerTransport::pendingStatistics() const {
    std::lock_guard lock(mutex_);
    return statistics_.size();
}

bool FakePeerTransport::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

void FakePeerTransportFactory::setUp(const std::map<std::string, std::string>&) {
    std::lock_guard lock(mutex_);
    ++setUps_;
}

std::shared_ptr<PeerTransport> FakePeerTransportFactory::createTransport(
    const PeerTransportConfiguration& configuration,
    std::shared_ptr<VideoEncoderFactory> encoderFactory,
    std::shared_ptr<PeerTransportDelegate> delegate) {
    std::lock_guard lock(mutex_);
    ++creates_;
    if (refuse_) {
        return nullptr;
    }
    auto transport = std::make_shared<FakePeerTransport>(configuration, std::move(encoderFactory),
                                                         std::move(delegate));
    transports_.push_back(transport);
    return transport;
}

std::size_t FakePeerTransportFactory::setUpCount() const {
    std::lock_guard lock(mutex_);
    return setUps_;
}

std::size_t FakePeerTransportFactory::createCount() const {
    std::lock_guard lock(mutex_);
    return creates_;
}

std::shared_ptr<FakePeerTransport> FakePeerTransportFactory::last() const {
    std::lock_guard lock(mutex_);
    return transports_.empty() ? nullptr : transports_.back();
}

}  // namespace quillory
