#pragma once

#include <map>

#include "platform/defaults/user_defaults.h"

namespace quillory {

// A plain map behind the UserDefaults interface.
class TestUserDefaults final : public UserDefaults {
  public:
    std::optional<nlohmann::json> value(const std::string& key) const override {
        const auto found = values.find(key);
        return found == values.end() ? std::nullopt : std::optional(found->second);
    }
    void set(const std::string& key, nlohmann::json value) override {
        values[key] = std::move(value);
    }
    void remove(const std::string& key) override { values.erase(key); }

    std::map<std::string, nlohmann::json> values;
};

}  // namespace quillory
