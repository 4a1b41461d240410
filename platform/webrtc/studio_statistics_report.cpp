#include "platform/webrtc/studio_statistics_report.h"

namespace quillory {

std::map<std::string, double> numericValues(
    const std::map<std::string, StudioStatisticValue>& values) {
    std::map<std::string, double> numbers;
    for (const auto& [name, value] : values) {
        if (const double* number = std::get_if<double>(&value)) {
            numbers.emplace(name, *number);
        } else if (const bool* flag = std::get_if<bool>(&value)) {
            numbers.emplace(name, *flag ? 1.0 : 0.0);
        }
    }
    return numbers;
}

}  // namespace quillory
