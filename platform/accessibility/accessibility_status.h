#pragma once

#include <optional>

namespace quillory {

// The desktop's accessibility switch (org.a11y.Status.IsEnabled of the session bus's
// accessibility service). Toolkits that honour it, Qt among them, expose their menus to the
// accessibility bus only while it is on. Both calls block for at most a second.
namespace AccessibilityStatus {

// None when the session bus or its accessibility service does not answer.
std::optional<bool> isEnabled();
// True when the switch now has the given value.
bool setEnabled(bool enabled);

}  // namespace AccessibilityStatus
}  // namespace quillory
