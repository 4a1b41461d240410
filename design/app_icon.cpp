#include "design/app_icon.h"

namespace quillory {

namespace {

struct IconNames {
    const char* raw;
    const char* phosphor;
    const char* system;
};

// In declaration order of AppIcon.
constexpr IconNames iconNames[appIconCount] = {
    {"draw", "phosphor-pencil-simple", "draw-freehand"},
    {"position", "phosphor-cursor", "input-mouse"},
    {"adjust", "phosphor-sliders-horizontal", "configure"},
    {"grid", "phosphor-grid-nine", "view-grid"},
    {"connection", "phosphor-wifi-high", "network-wireless"},
    {"computer", "phosphor-laptop", "computer-laptop"},
    {"tablet", "phosphor-device-tablet", "input-tablet"},
    {"next", "phosphor-arrow-right", "go-next"},
    {"externalLink", "phosphor-arrow-up-right", "external-link"},
    {"refresh", "phosphor-arrow-clockwise", "view-refresh"},
    {"clear", "phosphor-arrow-counter-clockwise", "edit-clear"},
    {"close", "phosphor-x", "window-close"},
    {"expand", "phosphor-caret-down", "go-down"},
    {"confirmed", "phosphor-check-circle", "emblem-ok"},
    {"warning", "phosphor-warning-circle", "dialog-warning"},
    {"positioningStep", "phosphor-number-circle-one", ""},
    {"drawingStep", "phosphor-number-circle-two", ""},
    {"gesture", "phosphor-hand", "input-touchpad"},
    {"more", "phosphor-dots-three-circle", "view-more"},
    {"secure", "phosphor-shield-check", "security-high"},
    {"network", "phosphor-network", "network-wired"},
    {"latency", "phosphor-pulse", "network-transmit-receive"},
    {"fullScreen", "phosphor-arrows-out", "view-fullscreen"},
    {"exitFullScreen", "phosphor-arrows-in", "view-restore"},
    {"undo", "phosphor-arrow-counter-clockwise", "edit-undo"},
    {"redo", "phosphor-arrow-clockwise", "edit-redo"},
    {"pan", "phosphor-hand", "input-touchpad"},
    {"picker", "phosphor-eyedropper", "color-picker"},
    {"eraser", "phosphor-eraser", "draw-eraser"},
    {"lock", "phosphor-lock-simple", "changes-prevent"},
    {"smaller", "phosphor-minus", "list-remove"},
    {"larger", "phosphor-plus", "list-add"},
    {"straightLine", "phosphor-line-segment", "draw-line"},
    {"keyboard", "phosphor-keyboard", "input-keyboard"},
    {"save", "phosphor-floppy-disk", "document-save"},
    {"swapColors", "phosphor-arrows-left-right", "object-flip-horizontal"},
};

const IconNames& namesOf(AppIcon icon) {
    return iconNames[static_cast<int>(icon)];
}

}  // namespace

QString rawValue(AppIcon icon) {
    return QString::fromLatin1(namesOf(icon).raw);
}

std::optional<AppIcon> appIconFromRawValue(const QString& raw) {
    for (int i = 0; i < appIconCount; ++i) {
        if (raw == QLatin1String(iconNames[i].raw)) {
            return static_cast<AppIcon>(i);
        }
    }
    return std::nullopt;
}

QString phosphorName(AppIcon icon) {
    return QString::fromLatin1(namesOf(icon).phosphor);
}

QString systemSymbolName(AppIcon icon) {
    return QString::fromLatin1(namesOf(icon).system);
}

}  // namespace quillory
