#include "app/studio/studio_encoder_metrics.h"

#include <algorithm>

namespace quillory {
namespace {

double lookup(const std::map<std::string, double>& store, const std::string& key) {
    const auto found = store.find(key);
    return found == store.end() ? 0.0 : found->second;
}

}  // namespace

double StudioEncoderMetrics::Snapshot::value(const std::string& key) const {
    return lookup(values, key);
}

double StudioEncoderMetrics::Snapshot::setting(const std::string& key) const {
    return lookup(persistent, key);
}

void StudioEncoderMetrics::set(const std::string& key, double value) {
    std::lock_guard lock(lock_);
    persistent_[key] = value;
}

void StudioEncoderMetrics::increment(const std::string& key) {
    std::lock_guard lock(lock_);
    values_[key] += 1.0;
}

void StudioEncoderMetrics::recordMaximum(const std::string& key, double value) {
    std::lock_guard lock(lock_);
    double& stored = values_[key];
    stored = std::max(stored, value);
}

StudioEncoderMetrics::Snapshot StudioEncoderMetrics::snapshot() const {
    std::lock_guard lock(lock_);
    return {values_, persistent_};
}

}  // namespace quillory
