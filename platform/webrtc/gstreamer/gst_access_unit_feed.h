#pragma once

#include <gst/gst.h>

#include "platform/dispatch/sequence_checker.h"
#include "platform/video/h264_bitstream_reader.h"
#include "platform/video/video_encoder.h"
#include "platform/webrtc/gstreamer/gst_sender_measurements.h"
#include "platform/webrtc/gstreamer/packet_pacer.h"

namespace quillory {

// Where the encoder's access units enter the pipeline: each goes to appsrc stamped with its
// capture time, counted, and announced to the pacer. Encoded images arrive on one sequence, which
// owns the feed.
class GstAccessUnitFeed {
  public:
    // `measurements` and `pacing` outlive the feed.
    GstAccessUnitFeed(GstSenderMeasurements& measurements, PacingGate& pacing);

    // Before the first image.
    void setElements(GstElement* pipeline, GstElement* appsrc);
    void push(const EncodedImage& image);

  private:
    GstSenderMeasurements& measurements_;
    PacingGate& pacing_;
    GstElement* pipeline_ = nullptr;
    GstElement* appsrc_ = nullptr;
    SequenceChecker sequence_;
    H264StreamReader reader_;
};

}  // namespace quillory
