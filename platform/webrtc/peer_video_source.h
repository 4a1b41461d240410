#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/video/pixel_buffer.h"

namespace quillory {

// How a source turns a captured picture into its output for one format request: the centred box
// it crops (even offsets and edges) and the size it scales that box to.
struct VideoSourceFit {
    int cropX = 0;
    int cropY = 0;
    int cropWidth = 0;
    int cropHeight = 0;
    int width = 0;
    int height = 0;

    bool operator==(const VideoSourceFit&) const = default;
};

// The fit rule, given by the media layer so that the frames match the sizes it predicts:
// (source width, source height, request width, request height) → fit.
using VideoSourceFitter = std::function<VideoSourceFit(int, int, int, int)>;

// The sending side's screen video source. adaptOutputFormat comes from the owner's thread,
// deliverFrame from the capture thread; an implementation keeps the two safe against each other.
class PeerVideoSource {
  public:
    virtual ~PeerVideoSource() = default;

    // Later frames are cropped and scaled by the fitter for this request, at most this frame rate.
    virtual void adaptOutputFormat(int requestWidth, int requestHeight, int framesPerSecond) = 0;
    // One captured frame, by reference; the timestamp is host time in nanoseconds, as given.
    virtual void deliverFrame(const std::shared_ptr<PixelBuffer>& buffer,
                              std::int64_t timestampNanoseconds) = 0;
};

}  // namespace quillory
