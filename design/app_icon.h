#pragma once

#include <QString>
#include <optional>

namespace quillory {

// Every glyph of the product, named by the role it plays; QML names a role by its raw value
// (`IconView { icon: "warning" }`).
enum class AppIcon {
    draw,
    position,
    adjust,
    grid,
    connection,
    computer,
    tablet,
    next,
    externalLink,
    refresh,
    clear,
    close,
    expand,
    confirmed,
    warning,
    positioningStep,
    drawingStep,
    gesture,
    more,
    secure,
    network,
    latency,
    fullScreen,
    exitFullScreen,
    undo,
    redo,
    pan,
    picker,
    eraser,
    lock,
    smaller,
    larger,
    straightLine,
    keyboard,
    save,
    swapColors,
};

inline constexpr int appIconCount = 36;

QString rawValue(AppIcon icon);
// Exact, case-sensitive match of a role name.
std::optional<AppIcon> appIconFromRawValue(const QString& raw);
// The module's own glyph ("phosphor-<name>"); several roles share one.
QString phosphorName(AppIcon icon);
// The freedesktop icon-theme name of the role, or empty where themes have none.
QString systemSymbolName(AppIcon icon);

}  // namespace quillory
