#pragma once

#include <deque>
#include <vector>

#include "platform/webrtc/bandwidth_estimator.h"
#include "platform/webrtc/gstreamer/gst_probe_sender.h"
#include "platform/webrtc/gstreamer/gst_sender_measurements.h"
#include "platform/webrtc/probe_controller.h"

namespace quillory {

// Probes the send path's estimate: at the start, further after a probe that got through, and
// while the stream uses well under it or is held at the path's last limit; only into a path the
// last feedback showed clean. Only transport-wide feedback measures a probe, so without it none
// is sent. Lives on the transport's queue, inside the send path, whose estimator it reads and
// lifts.
class GstProber {
  public:
    // Besides at every feedback window, how often the send path asks whether a probe is due:
    // a still screen sends little feedback.
    static constexpr double checkSeconds = 1.0;
    // A cut says the path is full; a probe so soon after would only add to its queue. Nor does
    // a probe go before the path has been clean this long: the first keyframe may still be
    // queued on it.
    static constexpr double afterCutSeconds = 2.0;
    static constexpr double afterCleanSeconds = 0.5;

    // `measurements` and `probes` outlive the prober.
    GstProber(const ProbingConfiguration& configuration, double maximumBps,
              GstSenderMeasurements& measurements, GstProbeSender& probes);

    void setMaximum(double bitsPerSecond) { controller_.setMaximum(bitsPerSecond); }
    // Sends the probes that are due at `at`, on the windows' clock.
    void probeIfDue(const BandwidthEstimator& estimator, double at);
    // Takes what probes carried to the estimator, and sends the probes they lead to.
    void measured(const std::vector<ProbeResult>& results, BandwidthEstimator& estimator,
                  double at);

  private:
    void send(const std::vector<ProbeCluster>& clusters);

    GstSenderMeasurements& measurements_;
    GstProbeSender& probes_;
    ProbeController controller_;
    std::deque<ProbeCluster> sent_;  // the latest, whose results may still come
};

}  // namespace quillory
