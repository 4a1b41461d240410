#include "app/desktop-control/desktop_control_preferences.h"

namespace quillory {

bool DesktopControlPreferences::isEnabled(const std::string& deviceID) const {
    return storedValue(deviceID).value_or(false);
}

std::optional<bool> DesktopControlPreferences::storedValue(const std::string& deviceID) const {
    return defaults->boolValue(prefix + deviceID);
}

void DesktopControlPreferences::setEnabled(bool enabled, const std::string& deviceID) const {
    defaults->set(prefix + deviceID, enabled);
}

void DesktopControlPreferences::remove(const std::string& deviceID) const {
    defaults->remove(prefix + deviceID);
}

}  // namespace quillory
