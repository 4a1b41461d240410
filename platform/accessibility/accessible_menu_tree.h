#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillory {

// One application's menus as the accessibility layer shows them, read element by element.
// Toolkits nest menus differently (GTK makes a submenu item the menu itself, Qt hangs a popup
// menu under the item); the tree hides that: the children of the menu bar are its top-level
// menus, the children of a menu or of a submenu item are its items.
//
// Every read may fail (a slow or vanished application, a passed deadline) and then reads as
// absent or empty. A tree is used on the thread that made it.
class AccessibleMenuTree {
  public:
    using Element = std::size_t;

    virtual ~AccessibleMenuTree() = default;

    virtual std::optional<Element> menuBar() = 0;
    virtual std::vector<Element> children(Element element) = 0;
    virtual std::optional<std::string> title(Element element) = 0;
    // The toolkit's text of the item's key bindings (GTK "mnemonic;path;<Primary>s", Qt
    // "Ctrl+S"), absent when it has none.
    virtual std::optional<std::string> keyBinding(Element element) = 0;
};

}  // namespace quillory
