#include "tools/pad/paint_latency.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "protocol/json_codec.h"

namespace quillory::pad {

void PaintLatency::decoded(std::uint32_t counter, std::int64_t decodedAt) {
    decoded_.try_emplace(counter, decodedAt);
}

std::size_t PaintLatency::readLog(std::istream& log) {
    std::size_t records = 0;
    std::string line;
    while (std::getline(log, line)) {
        const Json record = Json::parse(line, nullptr, false);
        if (!record.is_object() || !record.contains("counter") || !record.contains("time") ||
            !record["counter"].is_number_unsigned() || !record["time"].is_number_integer()) {
            continue;
        }
        const auto counter = record["counter"].get<std::uint64_t>();
        if (counter > UINT32_MAX) {
            continue;
        }
        // The first paint of a counter is when the picture appeared.
        painted_.try_emplace(static_cast<std::uint32_t>(counter),
                             record["time"].get<std::int64_t>());
        ++records;
    }
    return records;
}

std::optional<PaintLatency::Summary> PaintLatency::summary() const {
    std::vector<double> latencies;
    for (const auto& [counter, decodedAt] : decoded_) {
        if (const auto paint = painted_.find(counter); paint != painted_.end()) {
            latencies.push_back(static_cast<double>(decodedAt - paint->second) / 1e6);
        }
    }
    if (latencies.empty()) {
        return std::nullopt;
    }
    return Summary{latencies.size(), median(latencies), percentile(latencies, 0.95)};
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace quillory::pad
