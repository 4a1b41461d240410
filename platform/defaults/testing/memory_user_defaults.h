#pragma once

#include <mutex>

#include "platform/defaults/user_defaults.h"

namespace quillory {

// User defaults kept in memory.
class MemoryUserDefaults final : public UserDefaults {
  public:
    std::optional<nlohmann::json> value(const std::string& key) const override;
    void set(const std::string& key, nlohmann::json value) override;
    void remove(const std::string& key) override;

  private:
    mutable std::mutex mutex_;
    nlohmann::json values_ = nlohmann::json::object();
};

}  // namespace quillory
