#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/studio/studio_video_codec.h"

namespace quillory::testing {

// Drives fake codecs from a test: what the next frames do, and which held frames come out.
// Safe from any thread.
class FakeCodecControl : public std::enable_shared_from_this<FakeCodecControl> {
  public:
    // output: an access unit at once; drop: the dropped flag; missing: no packet; fail: encode
    // refuses the frame; failOutput: an output with an error status; hold: nothing until
    // release; incomplete: a packet without a slice.
    enum class Action { output, drop, missing, fail, failOutput, hold, incomplete };

    struct Encoded {
        std::int64_t pts = 0;
        bool keyframe = false;
        int width = 0;
        int height = 0;
        const PixelBuffer* buffer = nullptr;  // identity only
    };

    // Actions for the next frames in order, then `fallback`.
    void script(std::vector<Action> actions);
    void setFallback(Action action);
    void failNextOpen(VideoError error);
    void failNextFramesPerSecond(VideoError error);

    // Lets the oldest `count` held frames out (as outputs) and tells the encoder.
    void release(std::size_t count);
    // The same without telling the encoder: they come out at its next drain.
    void releaseQuietly(std::size_t count);
    std::size_t held() const;

    std::vector<Encoded> encoded() const;
    std::vector<std::uint32_t> bitrates() const;
    std::vector<int> framesPerSecondChanges() const;
    int opens() const;
    // The profile each open asked for.
    std::vector<H264Profile> profiles() const;
    // Blocks until at least `count` frames reached the codec.
    void waitForEncoded(std::size_t count) const;

    StudioVideoCodecOpener opener();

  private:
    friend class FakeStudioVideoCodec;

    std::function<void()> moveHeld(std::size_t count);
    StudioCodecOutput outputFor(std::int64_t pts, bool keyframe, Action action) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<Action> script_;
    Action fallback_ = Action::output;
    std::optional<VideoError> openError_;
    std::optional<VideoError> framesPerSecondError_;
    std::deque<StudioCodecOutput> held_;
    std::deque<StudioCodecOutput> ready_;
    std::function<void()> notify_;
    std::vector<Encoded> encoded_;
    std::vector<std::uint32_t> bitrates_;
    std::vector<int> framesPerSecondChanges_;
    int opens_ = 0;
    std::vector<H264Profile> profiles_;
};

// A minimal Annex-B packet: SPS, PPS and IDR for a keyframe, one slice otherwise; the slice
// carries the presentation time so a test can tell packets apart.
Bytes fakeAccessUnit(std::int64_t pts, bool keyframe);

}  // namespace quillory::testing
