#pragma once

// Sizes, spacings and radii in logical pixels (one design point each), shared by the design
// views and the windows. Values and order are part of the interface.

namespace quillory {

namespace DesignSpace {  // spacing
inline constexpr double regular = 16.0;
inline constexpr double large = 20.0;
}  // namespace DesignSpace

namespace DesignLayout {  // layout sizes
inline constexpr double penTestCanvasWidth = 760.0;
inline constexpr double penTestCanvasHeight = 560.0;
inline constexpr double stackSpacing = 14.0;
}  // namespace DesignLayout

namespace DesignShape {  // shape sizes and radii
inline constexpr double cardRadius = 16.0;
inline constexpr double controlRadius = 12.0;
inline constexpr double panelRadius = 18.0;
inline constexpr double sheetRadius = 24.0;
}  // namespace DesignShape

namespace DesignDepth {  // depth
inline constexpr double shadowRadius = 3.0;
inline constexpr double shadowOffset = 2.0;
inline constexpr double pressedScale = 0.97;
inline constexpr double ruleHeight = 1.0;
}  // namespace DesignDepth

namespace WorkspaceLayout {  // pen test workspace
inline constexpr double canvasPadding = 14.0;
inline constexpr double inkMinimumWidth = 3.0;
inline constexpr double canvasCornerRadius = 24.0;
inline constexpr double gridDotDiameter = 1.6;
inline constexpr double gridSpacing = 20.0;
inline constexpr double toolbarHeight = 48.0;
inline constexpr double toolbarPadding = 5.0;
inline constexpr double toolButtonSize = 38.0;
inline constexpr double sidebarButtonSize = 48.0;
inline constexpr double toolSpacing = 6.0;
inline constexpr double cardHeaderHeight = 60.0;
inline constexpr double headerIconSize = 30.0;
inline constexpr double headerPadding = 24.0;
inline constexpr double swatchSpacing = 4.0;
inline constexpr double hintArtSize = 72.0;
}  // namespace WorkspaceLayout

namespace PadLayout {  // status panel and rows
inline constexpr double panelWidth = 340.0;
inline constexpr double connectionCardMinHeight = 84.0;
inline constexpr double pairingCardMinHeight = 94.0;
inline constexpr double penTestHeaderHeight = 76.0;
inline constexpr double iconTileSize = 28.0;
inline constexpr double rowSpacing = 8.0;
inline constexpr double contentPadding = 20.0;
inline constexpr double controlHeight = 36.0;
inline constexpr double largeIconTileSize = 40.0;
inline constexpr double sectionSpacing = 16.0;
inline constexpr double cornerRadius = 22.0;
inline constexpr double compactWindowWidth = 380.0;
inline constexpr double wideWindowWidth = 520.0;
inline constexpr double detailColumnWidth = 250.0;
}  // namespace PadLayout

namespace CompanionLayout {  // onboarding
inline constexpr double onboardingWidth = 440.0;
inline constexpr double onboardingContentWidth = 340.0;
inline constexpr double heroSpacing = 22.0;
inline constexpr double chipSpacing = 6.0;
inline constexpr double pagePadding = 24.0;
inline constexpr double chipHeight = 28.0;
inline constexpr double stepSpacing = 16.0;
inline constexpr double buttonSpacing = 20.0;
}  // namespace CompanionLayout

namespace DeviceManagerLayout {  // device lists
inline constexpr double windowWidth = 460.0;
inline constexpr double padding = 24.0;
inline constexpr double emptyStateHeight = 80.0;
inline constexpr int placeholderRowCount = 4;
inline constexpr double rowSpacing = 16.0;
inline constexpr double deviceIconSize = 40.0;
inline constexpr double rowCornerRadius = 12.0;
inline constexpr double actionButtonSize = 32.0;
inline constexpr double itemSpacing = 10.0;
}  // namespace DeviceManagerLayout

}  // namespace quillory
