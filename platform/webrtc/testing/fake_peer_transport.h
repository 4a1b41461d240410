#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/webrtc/peer_transport.h"
#include "platform/webrtc/peer_transport_factory.h"

namespace quillory {

// A video source that records what it is told.
class FakePeerVideoSource final : public PeerVideoSource {
  public:
    struct Format {
        int requestWidth = 0;
        int requestHeight = 0;
        int framesPerSecond = 0;
        bool operator==(const Format&) const = default;
    };

    explicit FakePeerVideoSource(VideoSourceFitter fitter);

    void adaptOutputFormat(int requestWidth, int requestHeight, int framesPerSecond) override;
    void deliverFrame(const std::shared_ptr<PixelBuffer>& buffer,
                      std::int64_t timestampNanoseconds) override;

    std::vector<Format> formats() const;
    std::vector<std::int64_t> timestamps() const;
    std::size_t frameCount() const;
    // What the last format makes of a captured picture of this size; none before any format.
    std::optional<VideoSourceFit> fitFor(int sourceWidth, int sourceHeight) const;

  private:
    const VideoSourceFitter fitter_;
    mutable std::mutex mutex_;
    std::vector<Format> formats_;
    std::vector<std::int64_t> timestamps_;
};

class FakePeerDataChannel final : public PeerDataChannel {
  public:
    void close() override { closed_ = true; }
    bool closed() const { return closed_; }

  private:
    std::atomic<bool> closed_ = false;
};

class FakePeerRemoteVideoTrack final : public PeerRemoteVideoTrack {
  public:
    explicit FakePeerRemoteVideoTrack(std::string trackId) : trackId_(std::move(trackId)) {}
    std::string trackId() const override { return trackId_; }

  private:
    std::string trackId_;
};

// A transport driven by the test: every call is recorded, and every completion and event is
// delivered only when the test says so, on the test's thread. Completions still pending at close
// can be delivered afterwards, as ones already on their way would arrive; events cannot.
// Safe from any thread.
class FakePeerTransport final : public PeerTransport {
  public:
    FakePeerTransport(PeerTransportConfiguration configuration,
                      std::shared_ptr<VideoEncoderFactory> encoderFactory,
                      std::shared_ptr<PeerTransportDelegate> delegate);

    std::shared_ptr<PeerVideoSource> addVideoTrack(const std::string& trackId,
                                                   VideoSourceFitter fitter) override;
    std::optional<RtpSendParameters> senderParameters() const override;
    bool setSenderParameters(const RtpSendParameters& parameters) override;
    void setBitrateBounds(const BitrateBounds& bounds) override;
    void createOffer(CreateDescriptionCompletion completion) override;
    void createAnswer(CreateDescriptionCompletion completion) override;
    void setLocalDescription(const SessionDescription& description,
                             SetDescriptionCompletion completion) override;
    void setRemoteDescription(const SessionDescription& description,
                              SetDescriptionCompletion completion) override;
    std::optional<SessionDescription> localDescription() const override;
    IceGatheringState iceGatheringState() const override;
    void requestStatistics(StatisticsCompletion completion) override;
    void close() override;

    // Script.
    void refuseVideoTrack() { refuseTrack_ = true; }
    // Completes the oldest pending request of its kind; false when none is pending.
    bool completeCreate(std::optional<SessionDescription> description, std::string error = {});
    bool completeSetLocal(std::string error = {});
    bool completeSetRemote(std::string error = {});
    bool completeStatistics(std::optional<StudioStatisticsReport> report);
    void changeGathering(IceGatheringState state);
    void changeConnection(PeerConnectionState state);
    std::shared_ptr<FakePeerDataChannel> openDataChannel();
    void addRemoteTrack(const std::string& trackId);
    void failStream(const std::string& message);

    // Record.
    // Every call by name, in order ("addVideoTrack", "createOffer", "requestStatistics", ...).
    std::vector<std::string> calls() const;
    std::size_t callCount(const std::string& name) const;
    const PeerTransportConfiguration& configuration() const { return configuration_; }
    const std::shared_ptr<VideoEncoderFactory>& encoderFactory() const { return encoderFactory_; }
    std::vector<std::string> trackIds() const;
    std::shared_ptr<FakePeerVideoSource> source() const;
    std::vector<RtpSendParameters> writtenParameters() const;
    std::vector<BitrateBounds> bitrateBounds() const;
    std::vector<SessionDescription> localDescriptionsSet() const;
    std::vector<SessionDescription> remoteDescriptionsSet() const;
    std::size_t pendingCreates() const;
    std::size_t pendingStatistics() const;
    bool closed() const;

  private:
    std::shared_ptr<PeerTransportDelegate> liveDelegate() const;

    const PeerTransportConfiguration configuration_;
    const std::shared_ptr<VideoEncoderFactory> encoderFactory_;
    const std::shared_ptr<PeerTransportDelegate> delegate_;
    std::atomic<bool> refuseTrack_ = false;

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::vector<std::string> trackIds_;
    std::shared_ptr<FakePeerVideoSource> source_;
    std::optional<RtpSendParameters> parameters_;
    std::vector<RtpSendParameters> written_;
    std::vector<BitrateBounds> bounds_;
    std::deque<CreateDescriptionCompletion> creates_;
    std::deque<std::pair<SessionDescription, SetDescriptionCompletion>> setLocals_;
    std::deque<SetDescriptionCompletion> setRemotes_;
    std::deque<StatisticsCompletion> statistics_;
    std::vector<SessionDescription> localsSet_;
    std::vector<SessionDescription> remotesSet_;
    std::optional<SessionDescription> local_;
    IceGatheringState gathering_ = IceGatheringState::fresh;
    bool closed_ = false;
};

// Makes fake transports and keeps them for the test.
class FakePeerTransportFactory final : public PeerTransportFactory {
  public:
    void setUp(const std::map<std::string, std::string>& fieldTrials) override;
    std::shared_ptr<PeerTransport> createTransport(
        const PeerTransportConfiguration& configuration,
        std::shared_ptr<VideoEncoderFactory> encoderFactory,
        std::shared_ptr<PeerTransportDelegate> delegate) override;

    // Later createTransport calls answer none.
    void refuseTransports() { refuse_ = true; }
    std::size_t setUpCount() const;
    std::size_t createCount() const;
    // The last transport made, or none.
    std::shared_ptr<FakePeerTransport> last() const;

  private:
    std::atomic<bool> refuse_ = false;
    mutable std::mutex mutex_;
    std::size_t setUps_ = 0;
    std::size_t creates_ = 0;
    std::vector<std::shared_ptr<FakePeerTransport>> transports_;
};

}  // namespace quillory
