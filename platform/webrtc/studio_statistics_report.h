#pragma once

#include <map>
#include <string>
#include <variant>
#include <vector>

namespace quillory {

// One member value of a statistics entry: a number, a boolean, or anything else as text.
using StudioStatisticValue = std::variant<double, bool, std::string>;

// One entry of a WebRTC statistics report, as plain data.
struct StudioStatistics {
    std::string id;
    std::string type;
    double timestampMicroseconds = 0.0;
    std::map<std::string, StudioStatisticValue> values;
};

// A statistics report; entries keep the order in which the transport listed them.
struct StudioStatisticsReport {
    std::vector<StudioStatistics> statistics;
};

// The numeric members of an entry as doubles; booleans count as 0 or 1, text is dropped.
std::map<std::string, double> numericValues(
    const std::map<std::string, StudioStatisticValue>& values);

}  // namespace quillory
