#include "platform/webrtc/gstreamer/gst_prober.h"

#include <algorithm>

#include "platform/log/logger.h"

namespace quillory {

GstProber::GstProber(const ProbingConfiguration& configuration, double maximumBps,
                     GstSenderMeasurements& measurements, GstProbeSender& probes)
    : measurements_(measurements), probes_(probes), controller_(configuration, maximumBps) {
    measurements_.setApplicationLimitSettings(configuration.applicationLimit);
}

void GstProber::probeIfDue(const BandwidthEstimator& estimator, double at) {
    if (!probes_.ready()) {
        return;
    }
    for (const ProbeCluster& cluster : probes_.takeCutShort()) {
        controller_.cutShort(cluster);
    }
    const auto estimate = static_cast<double>(estimator.estimateBps());
    const auto cut = estimator.lastDecreaseAt();
    const auto clean = estimator.cleanSince();
    if (!clean || at - *clean < afterCleanSeconds || (cut && at - *cut < afterCutSeconds)) {
        return;
    }
    std::vector<ProbeCluster> clusters = controller_.start(estimate, at);
    if (clusters.empty()) {
        // Held at the path's last limit, the stream cannot show that the path has widened any
        // more than a stream that does not use its rate.
        const auto limited =
            measurements_.applicationLimitedSince(static_cast<std::int64_t>(at * 1e9));
        const auto since = limited ? std::optional<double>(static_cast<double>(*limited) / 1e9)
                           : estimator.atLimit() ? clean
                                                 : std::nullopt;
        clusters = controller_.process(estimate, since, at);
    }
    send(clusters);
}

void GstProber::send(const std::vector<ProbeCluster>& clusters) {
    constexpr std::size_t kept = 8;
    for (const ProbeCluster& cluster : clusters) {
        sent_.push_back(cluster);
        if (sent_.size() > kept) {
            sent_.pop_front();
        }
        probes_.send(cluster);
    }
}

void GstProber::measured(const std::vector<ProbeResult>& results, BandwidthEstimator& estimator,
                         double at) {
    for (const ProbeResult& result : results) {
        const auto cluster =
            std::find_if(sent_.begin(), sent_.end(),
                         [&result](const ProbeCluster& sent) { return sent.id == result.cluster; });
        if (cluster == sent_.end() || !probes_.completed(result.cluster)) {
            continue;
        }
        const ProbeCluster probe = *cluster;
        const ProbeReading reading =
            readProbe(result, probe.targetBps, static_cast<double>(estimator.estimateBps()));
        const auto estimate = static_cast<double>(estimator.probed(result, probe.targetBps, at));
        // Debug only (QUILLORY_DEBUG=webrtc).
        static const Logger logger("webrtc", "probe");
        logger.debug("Probe %d at %.0f kbit/s carried %.0f kbit/s%s; estimate %.0f kbit/s",
                     probe.id, probe.targetBps / 1e3, result.bitsPerSecond / 1e3,
                     result.pathLimited ? ", the path's limit" : "", estimate / 1e3);
        send(controller_.resultArrived(probe, reading, result.bitsPerSecond, estimate, at));
    }
}

}  // namespace quillory
