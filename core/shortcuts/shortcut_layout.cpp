#include "core/shortcuts/shortcut_layout.h"

#include <iterator>

namespace quillory {

Json ShortcutLayout::toJSON() const {
    json_codec::ObjectWriter writer;
    writer.field("bindings", bindings)
        .field("labels", labels)
        .field("brushSize", brushSize)
        .field("fingerGestures", fingerGestures)
        .field("pencilDoubleTap", pencilDoubleTap)
        .field("pencilSqueeze", pencilSqueeze);
    return writer.take();
}

std::optional<ShortcutLayout> ShortcutLayout::fromJSON(const Json& json) {
    auto read = fromJSONKeepingReadableBindings(json);
    if (!read || !read->complete) {
        return std::nullopt;
    }
    return std::move(read->layout);
}

std::optional<ShortcutLayout::PartialRead> ShortcutLayout::fromJSONKeepingReadableBindings(
    const Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    Json object = json;
    for (auto member = object.begin(); member != object.end();) {
        member = member->is_null() ? object.erase(member) : std::next(member);
    }
    const auto bindings = object.find("bindings");
    if (bindings == object.end() || !bindings->is_array()) {
        return std::nullopt;
    }
    PartialRead read;
    ShortcutLayout& layout = read.layout;
    for (const auto& element : *bindings) {
        if (auto binding = ShortcutBinding::fromJSON(element)) {
            layout.bindings.push_back(std::move(*binding));
        } else {
            read.complete = false;
        }
    }
    std::optional<bool> labels;
    std::optional<bool> brushSize;
    std::optional<bool> fingerGestures;
    json_codec::ObjectReader reader(object);
    reader.read("labels", labels);
    reader.read("brushSize", brushSize);
    reader.read("fingerGestures", fingerGestures);
    reader.read("pencilDoubleTap", layout.pencilDoubleTap);
    reader.read("pencilSqueeze", layout.pencilSqueeze);
    if (!reader.ok()) {
        return std::nullopt;
    }
    layout.labels = labels.value_or(false);
    layout.brushSize = brushSize.value_or(true);
    layout.fingerGestures = fingerGestures.value_or(true);
    return read;
}

}  // namespace quillory
