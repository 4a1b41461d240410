#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/shortcuts/drawing_action.h"
#include "protocol/desktop_key.h"
#include "protocol/json_codec.h"
#include "protocol/uuid.h"

namespace quillory {

// One button of the shortcut toolbar: an action bound to a chord, tapped or held.
class ShortcutBinding {
  public:
    struct Options {
        std::optional<bool> hold;  // the action's default when not given
        std::optional<std::string> label;
        std::optional<std::string> icon;
        std::optional<std::vector<std::string>> menuPath;
        std::optional<Uuid> id;  // a new random one when not given
    };

    ShortcutBinding(DrawingAction action, std::vector<DesktopKey> keys, Options options = {});

    const Uuid& id() const { return id_; }

    DrawingAction action;
    std::vector<DesktopKey> keys;
    bool hold;
    std::optional<std::string> label;
    std::optional<std::string> icon;
    std::optional<std::vector<std::string>> menuPath;

    // The label when it is not empty; for a free shortcut the chord's key caps; else the action's
    // title.
    std::string title() const;
    bool hasKeys() const { return !keys.empty(); }

    // "id", "action", "keys" and "hold" are required; "label", "icon" and "menuPath" may be
    // missing or null. An unknown action or key name fails the read.
    Json toJSON() const;
    static std::optional<ShortcutBinding> fromJSON(const Json& json);

    friend bool operator==(const ShortcutBinding&, const ShortcutBinding&) = default;

  private:
    Uuid id_;
};

}  // namespace quillory

template <>
struct std::hash<quillory::ShortcutBinding> {
    std::size_t operator()(const quillory::ShortcutBinding& binding) const noexcept;
};
