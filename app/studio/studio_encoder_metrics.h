#pragma once

#include <map>
#include <mutex>
#include <string>

namespace quillory {

// Named diagnostic counters, maxima and configuration values of the encoders of one stream.
// Written from the encoder's queue and the transport's encoding thread.
class StudioEncoderMetrics {
  public:
    struct Snapshot {
        std::map<std::string, double> values;
        std::map<std::string, double> persistent;

        // 0 for a key never written.
        double value(const std::string& key) const;
        double setting(const std::string& key) const;
    };

    void set(const std::string& key, double value);
    void increment(const std::string& key);
    void recordMaximum(const std::string& key, double value);
    Snapshot snapshot() const;

  private:
    mutable std::mutex lock_;
    std::map<std::string, double> values_;
    std::map<std::string, double> persistent_;
};

}  // namespace quillory
