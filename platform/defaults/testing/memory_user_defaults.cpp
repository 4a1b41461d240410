#include "platform/defaults/testing/memory_user_defaults.h"

namespace quillory {

std::optional<nlohmann::json> MemoryUserDefaults::value(const std::string& key) const {
    const std::lock_guard lock(mutex_);
    const auto found = values_.find(key);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return *found;
}

void MemoryUserDefaults::set(const std::string& key, nlohmann::json value) {
    const std::lock_guard lock(mutex_);
    values_[key] = std::move(value);
}

void MemoryUserDefaults::remove(const std::string& key) {
    const std::lock_guard lock(mutex_);
    values_.erase(key);
}

}  // namespace quillory
