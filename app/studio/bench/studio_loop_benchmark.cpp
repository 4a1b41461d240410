// The Studio stream end to end on this machine: the closed loop at 1920×1080 and 60 frames a
// second, measured for 20 s once it runs at its top point, and the time the estimate takes to
// settle under a rate cap. Prints its figures beside their targets; not a test.
#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/studio/tests/studio_closed_loop_fixture.h"

namespace quillory {
namespace {

constexpr double measuredSeconds = 20.0;

double percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[index];
}

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void row(const char* figure, double value, const char* unit, const char* target) {
    std::printf("%-44s %10.2f %-6s %s\n", figure, value, unit, target);
}

class StudioLoopbackBenchmark : public StudioClosedLoopFixture {
  protected:
    void SetUp() override {
        throughRelay = false;
        trace = std::make_shared<StudioPerformanceTrace>(32768, 1024, uptimeSeconds());
        StudioClosedLoopFixture::SetUp();
    }
};

TEST_F(StudioLoopbackBenchmark, AtTheTopPoint) {
    const auto toTop = policyUntil(
        [](const PolicyState& state) { return state.confirmed && state.target == state.top; }, 60);
    ASSERT_TRUE(toTop) << "never at the top point";
    const double from = uptimeSeconds();
    const double cpuFrom = processCpuSeconds();
    ASSERT_TRUE(waitForReportAfter(from + measuredSeconds, measuredSeconds + 10));
    const double to = uptimeSeconds();
    const double cpu = processCpuSeconds() - cpuFrom;
    stopSource();

    std::lock_guard lock(mutex);
    std::vector<double> sinkToDecoded;
    std::size_t decoded = 0;
    std::size_t withBarcode = 0;
    for (const Received& frame : frames) {
        const double at = static_cast<double>(frame.decodedAt) / 1e9;
        if (at < from || at > to) {
            continue;
        }
        decoded += 1;
        withBarcode += frame.barcode ? 1u : 0u;
        if (frame.barcode && *frame.barcode < sinkTimes.size() && sinkTimes[*frame.barcode] > 0) {
            sinkToDecoded.push_back(
                static_cast<double>(frame.decodedAt - sinkTimes[*frame.barcode]) / 1e6);
        }
    }
    std::size_t handed = 0;
    for (const std::int64_t at : sinkTimes) {
        if (at == 0) {
            continue;
        }
        const double seconds = static_cast<double>(at) / 1e9;
        handed += seconds >= from && seconds <= to ? 1 : 0;
    }
    std::vector<double> sinkToAccessUnit;
    const auto snapshot = trace->snapshot();
    for (const auto& event : snapshot.recentEvents) {
        if (event.stage != StudioPerformanceTrace::Stage::encodedOutput ||
            !event.captureTimestampNs) {
            continue;
        }
        const double captured =
            trace->elapsed(static_cast<double>(*event.captureTimestampNs) / 1e9);
        if (trace->elapsed(from) <= captured && captured <= trace->elapsed(to)) {
            sinkToAccessUnit.push_back((event.elapsedSeconds - captured) * 1000);
        }
    }
    // The stream at the top point: mean QP, bits sent and the estimate over the window.
    std::optional<std::size_t> first;
    std::size_t last = 0;
    for (std::size_t index = 0; index < reports.size(); ++index) {
        if (reportSeconds[index] >= from && reportSeconds[index] <= to) {
            first = first.value_or(index);
            last = index;
        }
    }
    const auto outbound = [&](std::size_t index, const char* key) {
        return statisticValue(reports[index], "outbound-rtp", key).value_or(0);
    };
    double meanQp = -1;
    double sentBps = -1;
    double estimateBps = -1;
    if (first && last > *first) {
        const double seconds = reportSeconds[last] - reportSeconds[*first];
        meanQp = (outbound(last, "qpSum") - outbound(*first, "qpSum")) /
                 std::max(1.0, outbound(last, "framesEncoded") - outbound(*first, "framesEncoded"));
        sentBps = (outbound(last, "bytesSent") - outbound(*first, "bytesSent")) * 8 / seconds;
        estimateBps = statisticValue(reports[last], "candidate-pair", "availableOutgoingBitrate")
                          .value_or(-1);
    }
    double firstDecoded = -1;
    if (!frames.empty()) {
        firstDecoded = static_cast<double>(frames.front().decodedAt) / 1e9 - requestedAt;
    }

    std::printf("\nStudio loopback, 1920x1080 at 60 frames/s, %.0f s at the top point\n",
                measuredSeconds);
    row("time to the top point", *toTop, "s", "");
    row("request -> first decoded frame", firstDecoded * 1000, "ms", "");
    row("sink -> decoded, median", percentile(sinkToDecoded, 0.5), "ms", "<= 15 ms");
    row("sink -> decoded, p95", percentile(sinkToDecoded, 0.95), "ms", "<= 25 ms");
    row("sink -> access unit into appsrc, median", percentile(sinkToAccessUnit, 0.5), "ms",
        "host share with grab+convert <= 8 ms");
    row("sustained decoded frames per second", static_cast<double>(decoded) / (to - from), "fps",
        ">= 58");
    row("process CPU per frame handed (both peers)",
        handed > 0 ? cpu * 1000 / static_cast<double>(handed) : -1, "ms", "");
    double keyframesSent = -1;
    double pictureLossIndications = -1;
    double retransmitted = -1;
    if (first && last > *first) {
        keyframesSent = outbound(last, "keyFramesEncoded") - outbound(*first, "keyFramesEncoded");
        pictureLossIndications = outbound(last, "pliCount") - outbound(*first, "pliCount");
        retransmitted = outbound(last, "retransmittedPacketsSent") -
                        outbound(*first, "retransmittedPacketsSent");
    }
    std::printf(
        "(mean QP %.1f, %.1f Mbit/s sent, estimate %.1f Mbit/s, %.0f keyframes sent for "
        "%.0f loss indications, %.0f packets sent again)\n",
        meanQp, sentBps / 1e6, estimateBps / 1e6, keyframesSent, pictureLossIndications,
        retransmitted);
    std::printf(
        "(%zu frames handed, %zu decoded, %zu with a barcode read, %zu timed, %zu access units)\n",
        handed, decoded, withBarcode, sinkToDecoded.size(), sinkToAccessUnit.size());
}

// The closed loop through the relay under a cap from the start: the time from the first report
// after which every estimate stays within a quarter of the cap.
class StudioCapBenchmark : public StudioClosedLoopFixture,
                           public ::testing::WithParamInterface<double> {
  protected:
    void SetUp() override {
        initialShaping = {.rateBps = GetParam()};
        StudioClosedLoopFixture::SetUp();
    }
};

TEST_P(StudioCapBenchmark, SettlesUnderTheCap) {
    const double cap = GetParam();
    const double from = uptimeSeconds();
    ASSERT_TRUE(waitForReportAfter(from + 15, 25));
    stopSource();
    std::lock_guard lock(mutex);
    std::optional<double> settledAt;
    std::string estimates;  // the estimate of each report, in Mbit/s
    for (std::size_t index = 0; index < reports.size(); ++index) {
        const auto estimate =
            statisticValue(reports[index], "candidate-pair", "availableOutgoingBitrate");
        if (!estimate || reportSeconds[index] < from) {
            continue;
        }
        estimates += " " + std::to_string(static_cast<int>(*estimate / 1e5) / 10.0).substr(0, 4);
        const bool inside = std::abs(*estimate - cap) <= cap * 0.25;
        if (!inside) {
            settledAt.reset();
        } else if (!settledAt) {
            settledAt = reportSeconds[index] - from;
        }
    }
    char figure[64];
    std::snprintf(figure, sizeof figure, "settling under a %.0f Mbit/s cap", cap / 1e6);
    row(figure, settledAt.value_or(-1), "s", "(-1: not settled in 15 s)");
    std::printf("  estimates, Mbit/s:%s\n", estimates.c_str());
}

INSTANTIATE_TEST_SUITE_P(Caps, StudioCapBenchmark, ::testing::Values(3e6, 8e6));

}  // namespace
}  // namespace quillory
