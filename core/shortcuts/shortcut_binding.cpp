#include "core/shortcuts/shortcut_binding.h"

#include <string_view>

namespace quillory {

ShortcutBinding::ShortcutBinding(DrawingAction boundAction, std::vector<DesktopKey> chord,
                                 Options options)
    : action(boundAction),
      keys(std::move(chord)),
      hold(options.hold.value_or(holdsByDefault(boundAction))),
      label(std::move(options.label)),
      icon(std::move(options.icon)),
      menuPath(std::move(options.menuPath)),
      id_(options.id.value_or(Uuid::random())) {}

std::string ShortcutBinding::title() const {
    if (label && !label->empty()) {
        return *label;
    }
    if (action == DrawingAction::custom) {
        return displayText(keys);
    }
    return std::string(quillory::title(action));
}

Json ShortcutBinding::toJSON() const {
    json_codec::ObjectWriter writer;
    writer.field("id", id_)
        .field("action", action)
        .field("keys", keys)
        .field("hold", hold)
        .field("label", label)
        .field("icon", icon)
        .field("menuPath", menuPath);
    return writer.take();
}

std::optional<ShortcutBinding> ShortcutBinding::fromJSON(const Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    // A null optional reads as absent, like a missing one.
    Json object = json;
    for (const char* optional : {"label", "icon", "menuPath"}) {
        if (const auto found = object.find(optional); found != object.end() && found->is_null()) {
            object.erase(found);
        }
    }
    ShortcutBinding binding(DrawingAction::undo, {});
    json_codec::ObjectReader reader(object);
    reader.read("id", binding.id_);
    reader.read("action", binding.action);
    reader.read("keys", binding.keys);
    reader.read("hold", binding.hold);
    reader.read("label", binding.label);
    reader.read("icon", binding.icon);
    reader.read("menuPath", binding.menuPath);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return binding;
}

}  // namespace quillory

namespace {

void combine(std::size_t& seed, std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

}  // namespace

std::size_t std::hash<quillory::ShortcutBinding>::operator()(
    const quillory::ShortcutBinding& binding) const noexcept {
    using std::string_view;
    const std::hash<string_view> text;
    std::size_t seed = std::hash<quillory::Uuid>{}(binding.id());
    combine(seed, text(quillory::rawValue(binding.action)));
    combine(seed, binding.keys.size());
    for (const auto key : binding.keys) {
        combine(seed, text(quillory::rawValue(key)));
    }
    combine(seed, binding.hold ? 1 : 0);
    for (const auto* optional : {&binding.label, &binding.icon}) {
        combine(seed, optional->has_value() ? 1 : 0);
        if (*optional) {
            combine(seed, text(**optional));
        }
    }
    combine(seed, binding.menuPath.has_value() ? 1 : 0);
    if (binding.menuPath) {
        combine(seed, binding.menuPath->size());
        for (const auto& title : *binding.menuPath) {
            combine(seed, text(title));
        }
    }
    return seed;
}
