#pragma once

#include <QtQml/qqmlregistration.h>

#include <QObject>

#include "design/design_layout.h"

// The layout constants as QML singletons of the same names (`PadLayout.panelWidth`).

#define QUILLORY_DESIGN_PROPERTY(type, name, value) Q_PROPERTY(type name READ name CONSTANT)
#define QUILLORY_DESIGN_GETTER(type, name, value) \
    type name() const {                           \
        return value;                             \
    }

namespace quillory {

class DesignSpaceConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(DesignSpace)
    QML_SINGLETON
    QUILLORY_DESIGN_SPACE(QUILLORY_DESIGN_PROPERTY)

  public:
    using QObject::QObject;
    QUILLORY_DESIGN_SPACE(QUILLORY_DESIGN_GETTER)
};

class DesignLayoutConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(DesignLayout)
    QML_SINGLETON
    QUILLORY_DESIGN_LAYOUT(QUILLORY_DESIGN_PROPERTY)

  public:
    using QObject::QObject;
    QUILLORY_DESIGN_LAYOUT(QUILLORY_DESIGN_GETTER)
};

class DesignShapeConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(DesignShape)
    QML_SINGLETON
    QUILLORY_DESIGN_SHAPE(QUILLORY_DESIGN_PROPERTY)

  public:
    using QObject::QObject;
    QUILLORY_DESIGN_SHAPE(QUILLORY_DESIGN_GETTER)
};

class DesignDepthConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(DesignDepth)
    QML_SINGLETON
    QUILLORY_DESIGN_DEPTH(QUILLORY_DESIGN_PROPERTY)

  public:
    using QObject::QObject;
    QUILLORY_DESIGN_DEPTH(QUILLORY_DESIGN_GETTER)
};

class WorkspaceLayoutConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(WorkspaceLayout)
    QML_SINGLETON
    QUILLORY_WORKSPACE_LAYOUT(QUILLORY_DESIGN_PROPERTY)

  public:
    using QObject::QObject;
    QUILLORY_WORKSPACE_LAYOUT(QUILLORY_DESIGN_GETTER)
};

class PadLayoutConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(PadLayout)
    QML_SINGLETON
    QUILLORY_PAD_LAYOUT(QUILLORY_DESIGN_PROPERTY)

  public:
    using QObject::QObject;
    QUILLORY_PAD_LAYOUT(QUILLORY_DESIGN_GETTER)
};

class CompanionLayoutConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(CompanionLayout)
    QML_SINGLETON
    QUILLORY_COMPANION_LAYOUT(QUILLORY_DESIGN_PROPERTY)

  public:
    using QObject::QObject;
    QUILLORY_COMPANION_LAYOUT(QUILLORY_DESIGN_GETTER)
};

class DeviceManagerLayoutConstants final : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(DeviceManagerLayout)
    QML_SINGLETON
    QUILLORY_DEVICE_MANAGER_LAYOUT(QUILLORY_DESIGN_PROPERTY)

  public:
    using QObject::QObject;
    QUILLORY_DEVICE_MANAGER_LAYOUT(QUILLORY_DESIGN_GETTER)
};

}  // namespace quillory
