#include "core/shortcuts/shortcut_presets.h"

#include <vector>

#include "platform/text/text_units.h"

namespace quillory::ShortcutPresets {

namespace {

using A = DrawingAction;
using K = DesktopKey;

// One binding of a built-in layout: its chord starts with the platform's primary modifier when
// `primary` is set. Every binding takes its action's hold value.
struct Row {
    DrawingAction action;
    bool primary;
    std::vector<DesktopKey> keys;
};

ShortcutLayout layout(const std::vector<Row>& rows, DesktopKey modifier, bool brushSize) {
    ShortcutLayout layout;
    layout.brushSize = brushSize;
    for (const Row& row : rows) {
        std::vector<DesktopKey> keys;
        if (row.primary) {
            keys.push_back(modifier);
        }
        keys.insert(keys.end(), row.keys.begin(), row.keys.end());
        layout.bindings.emplace_back(row.action, std::move(keys));
    }
    return layout;
}

std::function<bool(std::string_view)> containing(std::string_view needle) {
    return [needle](std::string_view identifier) {
        return identifier.find(needle) != std::string_view::npos;
    };
}

std::function<ShortcutLayout(DesktopKey)> making(std::vector<Row> rows) {
    return [rows = std::move(rows)](DesktopKey modifier) { return layout(rows, modifier, true); };
}

std::vector<Preset> makePresets() {
    const Row undo{A::undo, true, {K::z}};
    const Row redo{A::redo, true, {K::shift, K::z}};
    const Row pan{A::pan, false, {K::space}};
    const Row eraser{A::eraser, false, {K::e}};
    const Row brush{A::brush, false, {K::b}};
    const Row lasso{A::lasso, false, {K::l}};
    const Row transform{A::transform, true, {K::t}};
    const Row pickerOnOption{A::picker, false, {K::option}};
    return {
        {"Photoshop", containing("com.adobe.photoshop"),
         making({undo, redo, pan, pickerOnOption, eraser, brush, lasso, transform})},
        {"Krita", containing("krita"),
         making({undo,
                 redo,
                 pan,
                 {A::picker, true, {}},
                 eraser,
                 brush,
                 transform,
                 {A::mirror, false, {K::m}}})},
        {"Affinity", containing("seriflabs.affinity"),
         making({undo, redo, pan, pickerOnOption, eraser, brush, lasso})},
    };
}

}  // namespace

std::span<const Preset> all() {
    static const std::vector<Preset> presets = makePresets();
    return presets;
}

const Preset* preset(std::string_view applicationID) {
    const std::string identifier = lowercased(applicationID);
    for (const Preset& preset : all()) {
        if (preset.matches(identifier)) {
            return &preset;
        }
    }
    return nullptr;
}

DesktopKey primaryModifier(DesktopContext::Platform platform) {
    return platform == DesktopContext::Platform::mac ? K::command : K::control;
}

ShortcutLayout basicLayout(DesktopContext::Platform platform) {
    const DesktopKey modifier = primaryModifier(platform);
    const DrawingAction modifierAction = modifier == K::command ? A::command : A::control;
    return layout({{A::undo, true, {K::z}},
                   {A::redo, true, {K::shift, K::z}},
                   {A::shift, false, {K::shift}},
                   {A::option, false, {K::option}},
                   {modifierAction, true, {}}},
                  modifier, false);
}

}  // namespace quillory::ShortcutPresets
