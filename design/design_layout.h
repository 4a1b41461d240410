#pragma once

// Sizes, spacings and radii in logical pixels (one design point each), shared by the design
// views and the windows. Values and order are part of the interface.

// Each list is X(type, name, value); C++ and QML both take their constants from it.

// spacing
#define QUILLORY_DESIGN_SPACE(X) \
    X(double, regular, 16.0)     \
    X(double, large, 20.0)

// layout sizes
#define QUILLORY_DESIGN_LAYOUT(X)         \
    X(double, penTestCanvasWidth, 760.0)  \
    X(double, penTestCanvasHeight, 560.0) \
    X(double, stackSpacing, 14.0)

// shape sizes and radii
#define QUILLORY_DESIGN_SHAPE(X)   \
    X(double, cardRadius, 16.0)    \
    X(double, controlRadius, 12.0) \
    X(double, panelRadius, 18.0)   \
    X(double, sheetRadius, 24.0)

// depth
#define QUILLORY_DESIGN_DEPTH(X)  \
    X(double, shadowRadius, 3.0)  \
    X(double, shadowOffset, 2.0)  \
    X(double, pressedScale, 0.97) \
    X(double, ruleHeight, 1.0)

// pen test workspace
#define QUILLORY_WORKSPACE_LAYOUT(X)    \
    X(double, canvasPadding, 14.0)      \
    X(double, inkMinimumWidth, 3.0)     \
    X(double, canvasCornerRadius, 24.0) \
    X(double, gridDotDiameter, 1.6)     \
    X(double, gridSpacing, 20.0)        \
    X(double, toolbarHeight, 48.0)      \
    X(double, toolbarPadding, 5.0)      \
    X(double, toolButtonSize, 38.0)     \
    X(double, sidebarButtonSize, 48.0)  \
    X(double, toolSpacing, 6.0)         \
    X(double, cardHeaderHeight, 60.0)   \
    X(double, headerIconSize, 30.0)     \
    X(double, headerPadding, 24.0)      \
    X(double, swatchSpacing, 4.0)       \
    X(double, hintArtSize, 72.0)

// status panel and rows
#define QUILLORY_PAD_LAYOUT(X)               \
    X(double, panelWidth, 340.0)             \
    X(double, connectionCardMinHeight, 84.0) \
    X(double, pairingCardMinHeight, 94.0)    \
    X(double, penTestHeaderHeight, 76.0)     \
    X(double, iconTileSize, 28.0)            \
    X(double, rowSpacing, 8.0)               \
    X(double, contentPadding, 20.0)          \
    X(double, controlHeight, 36.0)           \
    X(double, largeIconTileSize, 40.0)       \
    X(double, sectionSpacing, 16.0)          \
    X(double, cornerRadius, 22.0)            \
    X(double, compactWindowWidth, 380.0)     \
    X(double, wideWindowWidth, 520.0)        \
    X(double, detailColumnWidth, 250.0)

// onboarding
#define QUILLORY_COMPANION_LAYOUT(X)         \
    X(double, onboardingWidth, 440.0)        \
    X(double, onboardingContentWidth, 340.0) \
    X(double, heroSpacing, 22.0)             \
    X(double, chipSpacing, 6.0)              \
    X(double, pagePadding, 24.0)             \
    X(double, chipHeight, 28.0)              \
    X(double, stepSpacing, 16.0)             \
    X(double, buttonSpacing, 20.0)

// device lists
#define QUILLORY_DEVICE_MANAGER_LAYOUT(X) \
    X(double, windowWidth, 460.0)         \
    X(double, padding, 24.0)              \
    X(double, emptyStateHeight, 80.0)     \
    X(int, placeholderRowCount, 4)        \
    X(double, rowSpacing, 16.0)           \
    X(double, deviceIconSize, 40.0)       \
    X(double, rowCornerRadius, 12.0)      \
    X(double, actionButtonSize, 32.0)     \
    X(double, itemSpacing, 10.0)

#define QUILLORY_DESIGN_CONSTANT(type, name, value) inline constexpr type name = value;

namespace quillory {

namespace DesignSpace {
QUILLORY_DESIGN_SPACE(QUILLORY_DESIGN_CONSTANT)
}  // namespace DesignSpace

namespace DesignLayout {
QUILLORY_DESIGN_LAYOUT(QUILLORY_DESIGN_CONSTANT)
}  // namespace DesignLayout

namespace DesignShape {
QUILLORY_DESIGN_SHAPE(QUILLORY_DESIGN_CONSTANT)
}  // namespace DesignShape

namespace DesignDepth {
QUILLORY_DESIGN_DEPTH(QUILLORY_DESIGN_CONSTANT)
}  // namespace DesignDepth

namespace WorkspaceLayout {
QUILLORY_WORKSPACE_LAYOUT(QUILLORY_DESIGN_CONSTANT)
}  // namespace WorkspaceLayout

namespace PadLayout {
QUILLORY_PAD_LAYOUT(QUILLORY_DESIGN_CONSTANT)
}  // namespace PadLayout

namespace CompanionLayout {
QUILLORY_COMPANION_LAYOUT(QUILLORY_DESIGN_CONSTANT)
}  // namespace CompanionLayout

namespace DeviceManagerLayout {
QUILLORY_DEVICE_MANAGER_LAYOUT(QUILLORY_DESIGN_CONSTANT)
}  // namespace DeviceManagerLayout

}  // namespace quillory
