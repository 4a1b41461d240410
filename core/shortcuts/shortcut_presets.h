#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "core/shortcuts/shortcut_layout.h"
#include "protocol/desktop_context.h"

namespace quillory {

// The built-in toolbars of well-known drawing applications and the basic toolbar of every other
// one. Layouts are built on demand with the primary modifier of the application's platform.
namespace ShortcutPresets {

struct Preset {
    std::string title;
    // Called with the lower-cased application identifier.
    std::function<bool(std::string_view)> matches;
    // Builds the layout with the given primary modifier (command or control).
    std::function<ShortcutLayout(DesktopKey)> make;
};

// In matching order: Photoshop, Krita, Affinity.
std::span<const Preset> all();

// The first preset whose test accepts the lower-cased identifier, or none.
const Preset* preset(std::string_view applicationID);

DesktopKey primaryModifier(DesktopContext::Platform platform);

ShortcutLayout basicLayout(DesktopContext::Platform platform);

}  // namespace ShortcutPresets
}  // namespace quillory
