#pragma once

#include <QtQml/qqmlregistration.h>

#include <QObject>

#include "design/design_layout.h"

// The layout constants as QML singletons of the same names (`PadLayout.panelWidth`).

namespace quillory {

class DesignSpaceConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(DesignSpace)
    QML_SINGLETON
    Q_PROPERTY(qreal regular READ regular CONSTANT)
    Q_PROPERTY(qreal large READ large CONSTANT)

  public:
    using QObject::QObject;
    qreal regular() const { return DesignSpace::regular; }
    qreal large() const { return DesignSpace::large; }
};

class DesignLayoutConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(DesignLayout)
    QML_SINGLETON
    Q_PROPERTY(qreal penTestCanvasWidth READ penTestCanvasWidth CONSTANT)
    Q_PROPERTY(qreal penTestCanvasHeight READ penTestCanvasHeight CONSTANT)
    Q_PROPERTY(qreal stackSpacing READ stackSpacing CONSTANT)

  public:
    using QObject::QObject;
    qreal penTestCanvasWidth() const { return DesignLayout::penTestCanvasWidth; }
    qreal penTestCanvasHeight() const { return DesignLayout::penTestCanvasHeight; }
    qreal stackSpacing() const { return DesignLayout::stackSpacing; }
};

class DesignShapeConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(DesignShape)
    QML_SINGLETON
    Q_PROPERTY(qreal cardRadius READ cardRadius CONSTANT)
    Q_PROPERTY(qreal controlRadius READ controlRadius CONSTANT)
    Q_PROPERTY(qreal panelRadius READ panelRadius CONSTANT)
    Q_PROPERTY(qreal sheetRadius READ sheetRadius CONSTANT)

  public:
    using QObject::QObject;
    qreal cardRadius() const { return DesignShape::cardRadius; }
    qreal controlRadius() const { return DesignShape::controlRadius; }
    qreal panelRadius() const { return DesignShape::panelRadius; }
    qreal sheetRadius() const { return DesignShape::sheetRadius; }
};

class DesignDepthConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(DesignDepth)
    QML_SINGLETON
    Q_PROPERTY(qreal shadowRadius READ shadowRadius CONSTANT)
    Q_PROPERTY(qreal shadowOffset READ shadowOffset CONSTANT)
    Q_PROPERTY(qreal pressedScale READ pressedScale CONSTANT)
    Q_PROPERTY(qreal ruleHeight READ ruleHeight CONSTANT)

  public:
    using QObject::QObject;
    qreal shadowRadius() const { return DesignDepth::shadowRadius; }
    qreal shadowOffset() const { return DesignDepth::shadowOffset; }
    qreal pressedScale() const { return DesignDepth::pressedScale; }
    qreal ruleHeight() const { return DesignDepth::ruleHeight; }
};

class WorkspaceLayoutConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(WorkspaceLayout)
    QML_SINGLETON
    Q_PROPERTY(qreal canvasPadding READ canvasPadding CONSTANT)
    Q_PROPERTY(qreal inkMinimumWidth READ inkMinimumWidth CONSTANT)
    Q_PROPERTY(qreal canvasCornerRadius READ canvasCornerRadius CONSTANT)
    Q_PROPERTY(qreal gridDotDiameter READ gridDotDiameter CONSTANT)
    Q_PROPERTY(qreal gridSpacing READ gridSpacing CONSTANT)
    Q_PROPERTY(qreal toolbarHeight READ toolbarHeight CONSTANT)
    Q_PROPERTY(qreal toolbarPadding READ toolbarPadding CONSTANT)
    Q_PROPERTY(qreal toolButtonSize READ toolButtonSize CONSTANT)
    Q_PROPERTY(qreal sidebarButtonSize READ sidebarButtonSize CONSTANT)
    Q_PROPERTY(qreal toolSpacing READ toolSpacing CONSTANT)
    Q_PROPERTY(qreal cardHeaderHeight READ cardHeaderHeight CONSTANT)
    Q_PROPERTY(qreal headerIconSize READ headerIconSize CONSTANT)
    Q_PROPERTY(qreal headerPadding READ headerPadding CONSTANT)
    Q_PROPERTY(qreal swatchSpacing READ swatchSpacing CONSTANT)
    Q_PROPERTY(qreal hintArtSize READ hintArtSize CONSTANT)

  public:
    using QObject::QObject;
    qreal canvasPadding() const { return WorkspaceLayout::canvasPadding; }
    qreal inkMinimumWidth() const { return WorkspaceLayout::inkMinimumWidth; }
    qreal canvasCornerRadius() const { return WorkspaceLayout::canvasCornerRadius; }
    qreal gridDotDiameter() const { return WorkspaceLayout::gridDotDiameter; }
    qreal gridSpacing() const { return WorkspaceLayout::gridSpacing; }
    qreal toolbarHeight() const { return WorkspaceLayout::toolbarHeight; }
    qreal toolbarPadding() const { return WorkspaceLayout::toolbarPadding; }
    qreal toolButtonSize() const { return WorkspaceLayout::toolButtonSize; }
    qreal sidebarButtonSize() const { return WorkspaceLayout::sidebarButtonSize; }
    qreal toolSpacing() const { return WorkspaceLayout::toolSpacing; }
    qreal cardHeaderHeight() const { return WorkspaceLayout::cardHeaderHeight; }
    qreal headerIconSize() const { return WorkspaceLayout::headerIconSize; }
    qreal headerPadding() const { return WorkspaceLayout::headerPadding; }
    qreal swatchSpacing() const { return WorkspaceLayout::swatchSpacing; }
    qreal hintArtSize() const { return WorkspaceLayout::hintArtSize; }
};

class PadLayoutConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(PadLayout)
    QML_SINGLETON
    Q_PROPERTY(qreal panelWidth READ panelWidth CONSTANT)
    Q_PROPERTY(qreal connectionCardMinHeight READ connectionCardMinHeight CONSTANT)
    Q_PROPERTY(qreal pairingCardMinHeight READ pairingCardMinHeight CONSTANT)
    Q_PROPERTY(qreal penTestHeaderHeight READ penTestHeaderHeight CONSTANT)
    Q_PROPERTY(qreal iconTileSize READ iconTileSize CONSTANT)
    Q_PROPERTY(qreal rowSpacing READ rowSpacing CONSTANT)
    Q_PROPERTY(qreal contentPadding READ contentPadding CONSTANT)
    Q_PROPERTY(qreal controlHeight READ controlHeight CONSTANT)
    Q_PROPERTY(qreal largeIconTileSize READ largeIconTileSize CONSTANT)
    Q_PROPERTY(qreal sectionSpacing READ sectionSpacing CONSTANT)
    Q_PROPERTY(qreal cornerRadius READ cornerRadius CONSTANT)
    Q_PROPERTY(qreal compactWindowWidth READ compactWindowWidth CONSTANT)
    Q_PROPERTY(qreal wideWindowWidth READ wideWindowWidth CONSTANT)
    Q_PROPERTY(qreal detailColumnWidth READ detailColumnWidth CONSTANT)

  public:
    using QObject::QObject;
    qreal panelWidth() const { return PadLayout::panelWidth; }
    qreal connectionCardMinHeight() const { return PadLayout::connectionCardMinHeight; }
    qreal pairingCardMinHeight() const { return PadLayout::pairingCardMinHeight; }
    qreal penTestHeaderHeight() const { return PadLayout::penTestHeaderHeight; }
    qreal iconTileSize() const { return PadLayout::iconTileSize; }
    qreal rowSpacing() const { return PadLayout::rowSpacing; }
    qreal contentPadding() const { return PadLayout::contentPadding; }
    qreal controlHeight() const { return PadLayout::controlHeight; }
    qreal largeIconTileSize() const { return PadLayout::largeIconTileSize; }
    qreal sectionSpacing() const { return PadLayout::sectionSpacing; }
    qreal cornerRadius() const { return PadLayout::cornerRadius; }
    qreal compactWindowWidth() const { return PadLayout::compactWindowWidth; }
    qreal wideWindowWidth() const { return PadLayout::wideWindowWidth; }
    qreal detailColumnWidth() const { return PadLayout::detailColumnWidth; }
};

class CompanionLayoutConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(CompanionLayout)
    QML_SINGLETON
    Q_PROPERTY(qreal onboardingWidth READ onboardingWidth CONSTANT)
    Q_PROPERTY(qreal onboardingContentWidth READ onboardingContentWidth CONSTANT)
    Q_PROPERTY(qreal heroSpacing READ heroSpacing CONSTANT)
    Q_PROPERTY(qreal chipSpacing READ chipSpacing CONSTANT)
    Q_PROPERTY(qreal pagePadding READ pagePadding CONSTANT)
    Q_PROPERTY(qreal chipHeight READ chipHeight CONSTANT)
    Q_PROPERTY(qreal stepSpacing READ stepSpacing CONSTANT)
    Q_PROPERTY(qreal buttonSpacing READ buttonSpacing CONSTANT)

  public:
    using QObject::QObject;
    qreal onboardingWidth() const { return CompanionLayout::onboardingWidth; }
    qreal onboardingContentWidth() const { return CompanionLayout::onboardingContentWidth; }
    qreal heroSpacing() const { return CompanionLayout::heroSpacing; }
    qreal chipSpacing() const { return CompanionLayout::chipSpacing; }
    qreal pagePadding() const { return CompanionLayout::pagePadding; }
    qreal chipHeight() const { return CompanionLayout::chipHeight; }
    qreal stepSpacing() const { return CompanionLayout::stepSpacing; }
    qreal buttonSpacing() const { return CompanionLayout::buttonSpacing; }
};

class DeviceManagerLayoutConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(DeviceManagerLayout)
    QML_SINGLETON
    Q_PROPERTY(qreal windowWidth READ windowWidth CONSTANT)
    Q_PROPERTY(qreal padding READ padding CONSTANT)
    Q_PROPERTY(qreal emptyStateHeight READ emptyStateHeight CONSTANT)
    Q_PROPERTY(int placeholderRowCount READ placeholderRowCount CONSTANT)
    Q_PROPERTY(qreal rowSpacing READ rowSpacing CONSTANT)
    Q_PROPERTY(qreal deviceIconSize READ deviceIconSize CONSTANT)
    Q_PROPERTY(qreal rowCornerRadius READ rowCornerRadius CONSTANT)
    Q_PROPERTY(qreal actionButtonSize READ actionButtonSize CONSTANT)
    Q_PROPERTY(qreal itemSpacing READ itemSpacing CONSTANT)

  public:
    using QObject::QObject;
    qreal windowWidth() const { return DeviceManagerLayout::windowWidth; }
    qreal padding() const { return DeviceManagerLayout::padding; }
    qreal emptyStateHeight() const { return DeviceManagerLayout::emptyStateHeight; }
    int placeholderRowCount() const { return DeviceManagerLayout::placeholderRowCount; }
    qreal rowSpacing() const { return DeviceManagerLayout::rowSpacing; }
    qreal deviceIconSize() const { return DeviceManagerLayout::deviceIconSize; }
    qreal rowCornerRadius() const { return DeviceManagerLayout::rowCornerRadius; }
    qreal actionButtonSize() const { return DeviceManagerLayout::actionButtonSize; }
    qreal itemSpacing() const { return DeviceManagerLayout::itemSpacing; }
};

}  // namespace quillory
