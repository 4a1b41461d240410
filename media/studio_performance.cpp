#include "media/studio_performance.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <memory>
#include <unordered_map>

#include "media/shortest_decimal.h"
#include "media/studio_interval_sampler.h"

namespace quillory {

namespace {

using Values = std::map<std::string, double>;

constexpr std::string_view separator = " · ";
constexpr std::string_view sides[] = {"local", "remote"};
constexpr std::string_view candidateFields[] = {"networkType", "candidateType", "protocol"};

// How a measure is formed: an entry's reading, a counter's increase per second of the interval,
// one increase over another, or a counter's increase. "frames" and "bytes" stand for the side's
// own frame and byte counters.
enum class Form { reading, rate, ratio, increase };

struct Measure {
    const char* key;
    Form form;
    const char* source;
    const char* divisor = nullptr;
    double scale = 1.0;
    bool senderOnly = false;
};

constexpr Measure measures[] = {
    {"frameWidth", Form::reading, "frameWidth"},
    {"frameHeight", Form::reading, "frameHeight"},
    {"jitterMS", Form::reading, "jitter", nullptr, 1000.0},
    {"fps", Form::rate, "frames"},
    {"bitrateBps", Form::rate, "bytes", nullptr, 8.0},
    {"encoderTargetBitrateBps", Form::reading, "targetBitrate", nullptr, 1.0, true},
    {"encodeMS", Form::ratio, "totalEncodeTime", "framesEncoded", 1000.0},
    {"meanQP", Form::ratio, "qpSum", "frames"},
    {"packetSendQueueMS", Form::ratio, "totalPacketSendDelay", "packetsSent", 1000.0},
    {"assemblyMS", Form::ratio, "totalAssemblyTime", "framesAssembledFromMultiplePackets", 1000.0},
    {"receiveProcessingMS", Form::ratio, "totalProcessingDelay", "framesDecoded", 1000.0},
    {"interFrameMeanMS", Form::ratio, "totalInterFrameDelay", "framesDecoded", 1000.0},
    {"decodeMS", Form::ratio, "totalDecodeTime", "framesDecoded", 1000.0},
    {"bufferMS", Form::ratio, "jitterBufferDelay", "jitterBufferEmittedCount", 1000.0},
    {"bufferTargetMS", Form::ratio, "jitterBufferTargetDelay", "jitterBufferEmittedCount", 1000.0},
    {"bufferMinimumMS", Form::ratio, "jitterBufferMinimumDelay", "jitterBufferEmittedCount",
     1000.0},
    {"packetsLost", Form::increase, "packetsLost"},
    {"packetsReceived", Form::increase, "packetsReceived"},
    {"framesDropped", Form::increase, "framesDropped"},
    {"freezeCount", Form::increase, "freezeCount"},
    {"nackCount", Form::increase, "nackCount"},
    {"pliCount", Form::increase, "pliCount"},
    {"framesEncoded", Form::increase, "framesEncoded"},
    {"framesDecoded", Form::increase, "framesDecoded"},
    {"framesSent", Form::increase, "framesSent"},
    {"framesReceived", Form::increase, "framesReceived"},
    {"keyFramesEncoded", Form::increase, "keyFramesEncoded"},
    {"keyFramesDecoded", Form::increase, "keyFramesDecoded"},
    {"hugeFramesSent", Form::increase, "hugeFramesSent"},
    {"packetsSent", Form::increase, "packetsSent"},
    {"retransmittedPacketsSent", Form::increase, "retransmittedPacketsSent"},
    {"freezeSeconds", Form::increase, "totalFreezesDuration"},
};

// The configuration key of one field of the local or remote media candidate.
std::string routeKey(std::string_view side, std::string_view field) {
    std::string capitalised(field);
    capitalised[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(capitalised[0])));
    return std::string(side) + "Media" + capitalised;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// Up to six characters of the first "profile-level-id=" parameter of an fmtp line.
std::optional<std::string> profileLevel(std::string_view fmtp) {
    constexpr std::string_view prefix = "profile-level-id=";
    for (std::size_t start = 0; start <= fmtp.size();) {
        const std::size_t end = std::min(fmtp.find(';', start), fmtp.size());
        const std::string_view piece = trimmed(fmtp.substr(start, end - start));
        if (piece.starts_with(prefix)) {
            return std::string(piece.substr(prefix.size(), 6));
        }
        start = end + 1;
    }
    return std::nullopt;
}

const std::string* textOf(const StudioStatistics& entry, const std::string& key) {
    const auto found = entry.values.find(key);
    return found == entry.values.end() ? nullptr : std::get_if<std::string>(&found->second);
}

template <class Index>
const StudioStatistics* entryOf(const Index& entries, const std::string* id) {
    if (id == nullptr) {
        return nullptr;
    }
    const auto found = entries.find(*id);
    return found == entries.end() ? nullptr : found->second;
}

void removeNonFinite(Values& values) {
    std::erase_if(values, [](const auto& item) { return !std::isfinite(item.second); });
}

// The first non-empty piece before a zone suffix, in lower case.
std::optional<std::string> hostPart(std::string_view address) {
    while (!address.empty()) {
        const std::size_t end = address.find('%');
        std::string_view piece = address.substr(0, end);
        if (!piece.empty()) {
            std::string lower(piece);
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            return lower;
        }
        if (end == std::string_view::npos) {
            break;
        }
        address.remove_prefix(end + 1);
    }
    return std::nullopt;
}

}  // namespace

StudioPerformance::StudioPerformance(Uuid sessionID, std::string role,
                                     std::optional<int> requestedLongEdge, int capacity,
                                     std::map<std::string, std::string> configuration,
                                     Environment environment)
    : environment_(std::move(environment)),
      capacity_(std::max(capacity, 1)),
      sessionID_(sessionID),
      role_(std::move(role)),
      requestedLongEdge_(requestedLongEdge),
      configuration_(std::move(configuration)),
      started_(std::chrono::system_clock::now()),
      startTime_(environment_.clock->nowSeconds()) {}

void StudioPerformance::recordTrace(StudioPerformanceTrace::Stage stage,
                                    std::optional<double> value) {
    if (environment_.trace) {
        environment_.trace->record(stage, {.fields{.value = value}},
                                   environment_.clock->nowSeconds());
    }
}

void StudioPerformance::notePreset(const std::string& preset) {
    configuration_["preset"] = preset;
    recordTrace(StudioPerformanceTrace::Stage::presetApplied, std::nullopt);
}

void StudioPerformance::noteControlConnectionEnded(const std::string& cause,
                                                   const std::string& reason,
                                                   std::int64_t pendingWrites,
                                                   std::int64_t discardedInputSamples,
                                                   double inboundAgeMS) {
    configuration_["controlEndCause"] = cause;
    configuration_["controlEndReason"] = reason;
    configuration_["controlEndPendingWrites"] = std::to_string(pendingWrites);
    configuration_["controlEndDiscardedInputSamples"] = std::to_string(discardedInputSamples);
    configuration_["controlEndInboundAgeMS"] = shortestDecimal(inboundAgeMS);
    recordTrace(StudioPerformanceTrace::Stage::controlConnectionEnded,
                std::isfinite(inboundAgeMS) ? std::optional(inboundAgeMS) : std::nullopt);
}

std::optional<double> StudioPerformance::counterDelta(const std::string& key, const Values& current,
                                                      const Values* previous) {
    if (previous == nullptr) {
        return std::nullopt;
    }
    return StudioIntervalSampler::delta(key, current, *previous);
}

std::string StudioPerformance::formatMeasure(const std::string& key, std::string_view label,
                                             const Values& values) {
    const auto found = values.find(key);
    if (found == values.end()) {
        return std::string(label) + ": unavailable";
    }
    // Not snprintf: the process locale (set by Qt from the environment) may write "59,9".
    std::array<char, 512> number{};
    const auto [end, error] = std::to_chars(number.data(), number.data() + number.size(),
                                            found->second, std::chars_format::fixed, 1);
    return std::string(number.data(), error == std::errc() ? end : number.data()) + " " +
           std::string(label);
}

std::optional<std::string> StudioPerformance::interfaceName(std::string_view address) {
    const std::optional<std::string> wanted = hostPart(address);
    ifaddrs* list = nullptr;
    if (!wanted || getifaddrs(&list) != 0) {
        return std::nullopt;
    }
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, freeifaddrs);
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr) {
            continue;
        }
        const int family = entry->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6) {
            continue;
        }
        const socklen_t length = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        char host[1025];
        if (getnameinfo(entry->ifa_addr, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) !=
            0) {
            continue;
        }
        if (hostPart(host) == wanted) {
            return std::string(entry->ifa_name);
        }
    }
    return std::nullopt;
}

void StudioPerformance::parseStatistics(const StudioStatisticsReport& report, Values values) {
    values["thermalState"] = static_cast<double>(environment_.thermalState());
    EntryIndex entries;
    for (const StudioStatistics& entry : report.statistics) {
        entries.emplace(entry.id, &entry);
    }
    readRoute(report, entries, values);

    const std::string type = isSender() ? "outbound-rtp" : "inbound-rtp";
    for (const StudioStatistics& entry : report.statistics) {
        if (entry.type != type) {
            continue;
        }
        if (const StudioStatistics* codec = entryOf(entries, textOf(entry, "codecId"))) {
            if (const std::string* mime = textOf(*codec, "mimeType")) {
                configuration_["negotiatedCodec"] = *mime;
            }
            if (const std::string* fmtp = textOf(*codec, "sdpFmtpLine")) {
                if (std::optional<std::string> level = profileLevel(*fmtp)) {
                    configuration_["negotiatedProfileLevel"] = std::move(*level);
                }
            }
        }
        Values numbers = numericValues(entry.values);
        if (!numbers.contains(frameKey())) {
            continue;
        }
        const std::string* limitation = textOf(entry, "qualityLimitationReason");
        appendSample(entry.timestampMicroseconds / 1'000'000.0, entry.id, std::move(numbers),
                     limitation ? std::optional(*limitation) : std::nullopt, std::move(values));
        return;
    }
}

void StudioPerformance::readRoute(const StudioStatisticsReport& report, const EntryIndex& entries,
                                  Values& values) {
    const auto transport =
        std::find_if(report.statistics.begin(), report.statistics.end(),
                     [](const auto& entry) { return entry.type == "transport"; });
    if (transport == report.statistics.end()) {
        return;
    }
    const std::string* pairID = textOf(*transport, "selectedCandidatePairId");
    const StudioStatistics* pair = entryOf(entries, pairID);
    if (pair == nullptr) {
        return;
    }
    if (selectedPair_ != *pairID) {
        if (selectedPair_) {
            ++routeChanges_;
        }
        configuration_.erase("localMediaInterface");
        for (std::string_view side : sides) {
            for (std::string_view field : candidateFields) {
                configuration_.erase(routeKey(side, field));
            }
        }
        if (const StudioStatistics* local = entryOf(entries, textOf(*pair, "localCandidateId"))) {
            const std::string* address = textOf(*local, "address");
            if (address == nullptr) {
                address = textOf(*local, "ip");
            }
            if (address != nullptr) {
                if (std::optional<std::string> name = interfaceName(*address)) {
                    configuration_["localMediaInterface"] = std::move(*name);
                }
            }
        }
    }
    selectedPair_ = *pairID;
    values["mediaRouteChanges"] = static_cast<double>(routeChanges_);

    for (std::string_view side : sides) {
        const std::string idKey = std::string(side) + "CandidateId";
        const StudioStatistics* candidate = entryOf(entries, textOf(*pair, idKey));
        if (candidate == nullptr) {
            continue;
        }
        for (std::string_view field : candidateFields) {
            if (const std::string* text = textOf(*candidate, std::string(field))) {
                configuration_[routeKey(side, field)] = *text;
            }
        }
    }
    const Values pairNumbers = numericValues(pair->values);
    const auto setOrRemove = [&](const char* key, const char* source, double scale) {
        const auto found = pairNumbers.find(source);
        if (found == pairNumbers.end()) {
            values.erase(key);
        } else {
            values[key] = found->second * scale;
        }
    };
    setOrRemove("mediaRTTMS", "currentRoundTripTime", 1000.0);
    setOrRemove("availableOutgoingBitrateBps", "availableOutgoingBitrate", 1.0);
}

namespace {

// One interval between two readings of the same statistics entry.
struct Interval {
    const Values& current;
    const Values* baseline;
    double seconds;  // positive whenever there is a baseline
    bool sender;
    std::string frameCounter;

    std::optional<double> delta(const std::string& key) const {
        return StudioPerformance::counterDelta(key, current, baseline);
    }

    std::string counter(std::string_view name) const {
        if (name == "frames") {
            return frameCounter;
        }
        if (name == "bytes") {
            return sender ? "bytesSent" : "bytesReceived";
        }
        return std::string(name);
    }

    std::optional<double> form(const Measure& m) const {
        if (m.senderOnly && !sender) {
            return std::nullopt;
        }
        switch (m.form) {
            case Form::reading: {
                const auto found = current.find(m.source);
                return found == current.end() ? std::nullopt
                                              : std::optional(found->second * m.scale);
            }
            case Form::rate: {
                const std::optional<double> change = delta(counter(m.source));
                return change ? std::optional(*change * m.scale / seconds) : std::nullopt;
            }
            case Form::ratio: {
                // Formed only when both increases exist and the divisor grew.
                const std::optional<double> top = delta(m.source);
                const std::optional<double> bottom = delta(counter(m.divisor));
                if (!top || !bottom || !(*bottom > 0.0)) {
                    return std::nullopt;
                }
                return *top / *bottom * m.scale;
            }
            case Form::increase:
                return delta(m.source);
        }
        return std::nullopt;
    }
};

void applyMeasures(const Interval& interval, Values& values) {
    for (const Measure& m : measures) {
        // Without a baseline a caller's rate stays as it came.
        if (m.form == Form::rate && !interval.baseline) {
            continue;
        }
        // Measures that cannot be formed are removed, even when the caller passed them.
        if (const std::optional<double> value = interval.form(m)) {
            values[m.key] = *value;
        } else {
            values.erase(m.key);
        }
    }
}

// Measures formed from several counters at once.
void addCombinedMeasures(const Interval& interval, Values& values) {
    const std::optional<double> bytesSent = interval.delta("bytesSent");
    const std::optional<double> retransmitted = interval.delta("retransmittedBytesSent");
    if (interval.sender && bytesSent && retransmitted && *retransmitted <= *bytesSent) {
        const double seconds = interval.seconds;
        values["originalPayloadBitrateBps"] = (*bytesSent - *retransmitted) * 8.0 / seconds;
        values["retransmissionBitrateBps"] = *retransmitted * 8.0 / seconds;
        if (*bytesSent > 0.0) {
            values["retransmissionPercent"] = *retransmitted * 100.0 / *bytesSent;
        }
    }
    {
        const std::optional<double> frames = interval.delta("framesDecoded");
        const std::optional<double> total = interval.delta("totalInterFrameDelay");
        const std::optional<double> squared = interval.delta("totalSquaredInterFrameDelay");
        if (frames && total && squared && *frames > 0.0) {
            const double mean = *total / *frames;
            const double variance = std::max(*squared / *frames - mean * mean, 0.0);
            values["interFrameStdDevMS"] = std::sqrt(variance) * 1000.0;
        }
    }
    {
        const std::optional<double> lost = interval.delta("packetsLost");
        const std::optional<double> received = interval.delta("packetsReceived");
        if (lost && received && *lost + *received > 0.0) {
            values["lossPercent"] = *lost * 100.0 / (*lost + *received);
        }
    }
}

}  // namespace

void StudioPerformance::appendSample(double time, const std::string& statisticsID, Values numbers,
                                     std::optional<std::string> limitation, Values values) {
    if (!std::isfinite(time)) {
        return;
    }
    if (previous_ && previous_->id == statisticsID && time <= previous_->time) {
        return;
    }
    std::optional<Baseline> old = std::move(previous_);
    if (old && old->id != statisticsID) {
        old.reset();
    }
    previous_ = Baseline{statisticsID, time, std::move(numbers)};
    const Values* baseline = old ? &old->values : nullptr;
    const Interval interval{previous_->values, baseline, baseline ? time - old->time : 0.0,
                            isSender(), frameKey()};

    removeNonFinite(values);
    applyMeasures(interval, values);
    addCombinedMeasures(interval, values);
    removeNonFinite(values);

    samples_.push_back(Sample{environment_.clock->nowSeconds() - startTime_, std::move(values),
                              std::move(limitation)});
    if (samples_.size() > static_cast<std::size_t>(capacity_)) {
        samples_.erase(samples_.begin());
        ++discarded_;
    }
    publishSummary(samples_.back().values);
}

void StudioPerformance::publishSummary(const Values& values) {
    std::string summary = formatMeasure("fps", "fps", values);
    if (isSender()) {
        summary += std::string(separator) + formatMeasure("encodeMS", "ms encode", values);
    } else {
        summary += std::string(separator) + formatMeasure("bufferMS", "ms buffer", values);
        summary += std::string(separator) + formatMeasure("decodeMS", "ms decode", values);
    }
    if (role_ == "receiver" && !values.empty()) {
        if (values.contains("rendererPresentedFPS")) {
            summary +=
                std::string(separator) + formatMeasure("rendererPresentedFPS", "fps shown", values);
        }
        if (values.contains("rendererArrivalToPresentMS")) {
            summary += std::string(separator) +
                       formatMeasure("rendererArrivalToPresentMS", "ms display wait", values);
        } else if (const auto timing = values.find("rendererPresentationTimingAvailable");
                   timing != values.end() && timing->second == 0.0) {
            summary += std::string(separator) + "native renderer (display timing unavailable)";
        }
    }
    summary_ = std::move(summary);
    if (onPublished) {
        onPublished();
    }
}

}  // namespace quillory
