#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/defaults/user_defaults.h"

namespace quillory {

// Each trusted tablet's own desktop-control switch: one boolean per device key.
struct DesktopControlPreferences {
    std::shared_ptr<UserDefaults> defaults;
    std::string prefix = "desktopControl.device.";

    // False when never set.
    bool isEnabled(const std::string& deviceID) const;
    // None when absent or not a boolean.
    std::optional<bool> storedValue(const std::string& deviceID) const;
    void setEnabled(bool enabled, const std::string& deviceID) const;
    void remove(const std::string& deviceID) const;
};

}  // namespace quillory
