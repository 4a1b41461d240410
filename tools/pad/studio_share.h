#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/dispatch/timer.h"
#include "tools/pad/paint_latency.h"
#include "tools/pad/studio_share_driver.h"

namespace quillory {
class VideoReceiver;
namespace testing {
class UdpRelay;
}
}  // namespace quillory

namespace quillory::pad {

// Views one display or window of the computer: picks the source from a fresh list when one is
// named, requests the stream, answers the offer with a receiver whose candidates are this end of
// the link (or a shaping relay on loopback) and reports what arrives. Main queue only; frames are
// read on GStreamer's threads and summed up here.
class StudioShare final : public StudioShareDriver,
                          public std::enable_shared_from_this<StudioShare> {
  public:
    // How long the computer may take to list, to offer, and to send the first picture.
    static constexpr double listTimeout = 10.0;
    static constexpr double offerTimeout = 15.0;
    static constexpr double firstFrameTimeout = 15.0;

    static std::shared_ptr<StudioShareDriver> make(const PadOptions& options,
                                                   std::shared_ptr<EventOutput> output,
                                                   StudioShareLink link);

    StudioShare(const PadOptions& options, std::shared_ptr<EventOutput> output,
                StudioShareLink link);
    ~StudioShare() override;

    void start() override;
    void studioArrived(const StudioSignal& signal) override;
    void input(const std::string& line) override;
    void endOfInput() override;
    void interrupt() override;
    void linkEnded() override;

  private:
    struct Decoded {
        int width = 0;
        int height = 0;
        std::int64_t decodedAt = 0;
        bool keyframe = false;
        std::optional<std::uint32_t> counter;
    };

    void sourcesArrived(const StudioSignal& signal);
    void request(const std::optional<Uuid>& sourceID);
    void offerArrived(const StudioSignal& offer);
    void answerReady(const Uuid& streamID, std::optional<std::string> sdp,
                     const std::string& error);
    void frameArrived(const Uuid& streamID, const Decoded& frame);
    void report();
    void scheduleReport();
    void draw(double x, double y);
    // Sends "stop" while a stream runs and prints its summary.
    void stopStream();
    void closeStream();
    void printSummary();
    void finish(int status, std::string message = {});
    Timer after(double seconds, void (StudioShare::*method)());

    const PadOptions options_;
    const std::shared_ptr<EventOutput> output_;
    const StudioShareLink link_;
    bool finished_ = false;

    std::optional<Uuid> listID_;
    std::optional<Uuid> streamID_;
    bool offered_ = false;
    std::shared_ptr<VideoReceiver> receiver_;
    std::unique_ptr<testing::UdpRelay> relay_;
    Timer waitTimer_;
    Timer secondsTimer_;
    Timer reportTimer_;

    // The current stream's pictures.
    std::int64_t answeredAt_ = 0;
    std::optional<std::int64_t> firstFrameAt_;
    std::int64_t lastFrameAt_ = 0;
    std::int64_t longestGap_ = 0;
    std::uint64_t frames_ = 0;
    // Counted where the pictures are decoded: the main queue may take a loaded second's pictures
    // late and count them in the next.
    std::shared_ptr<std::atomic<std::uint64_t>> framesThisSecond_ =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    std::int64_t reportFrom_ = 0;
    std::uint64_t barcodes_ = 0;
    std::optional<std::uint32_t> lastCounter_;
    int width_ = 0;
    int height_ = 0;
    bool connected_ = false;
    std::optional<unsigned> sinceKeyframeRequest_;
    PaintLatency latency_;
};

}  // namespace quillory::pad
