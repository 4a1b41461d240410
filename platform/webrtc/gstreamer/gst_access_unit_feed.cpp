#include "platform/webrtc/gstreamer/gst_access_unit_feed.h"

#include <gst/app/gstappsrc.h>

#include <algorithm>

#include "platform/clock/clock.h"
#include "platform/webrtc/gstreamer/glib_handoff.h"

namespace quillory {

GstAccessUnitFeed::GstAccessUnitFeed(GstSenderMeasurements& measurements, PacingGate& pacing)
    : measurements_(measurements), pacing_(pacing) {}

void GstAccessUnitFeed::setElements(GstElement* pipeline, GstElement* appsrc) {
    pipeline_ = pipeline;
    appsrc_ = appsrc;
}

void GstAccessUnitFeed::push(const EncodedImage& image) {
    QUILLORY_CHECK_SEQUENCE(sequence_);
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
            .pushedAtNanoseconds = static_cast<std::int64_t>(uptimeNanoseconds()),
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

}  // namespace quillory
