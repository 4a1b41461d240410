#include "design/design_control.h"

#include <QtQml/qqmlinfo.h>

namespace quillory {

DesignControl::DesignControl(QObject* owner)
    : QObject(owner),
      owner_(owner),
      ancestors_(this, hasAttached<DesignControl>(), [this] { resolve(); }) {
    if (auto* item = qobject_cast<QQuickItem*>(owner)) {
        ancestors_.watch(item);
        connect(item, &QQuickItem::windowChanged, this, &DesignControl::resolve);
    }
    resolved_ = inheritedAt(owner);
}

DesignControl* DesignControl::qmlAttachedProperties(QObject* object) {
    return new DesignControl(object);
}

DesignControl::Values DesignControl::inheritedAt(QObject* owner) {
    if (DesignControl* above = nearestAttachedAbove<DesignControl>(owner)) {
        return above->resolved_;
    }
    return {};
}

void DesignControl::resolve() {
    Values next = inheritedAt(owner_);
    if (mode_) {
        next.mode = *mode_;
    }
    if (pressed_) {
        next.pressed = *pressed_;
    }
    if (next == resolved_) {
        return;
    }
    resolved_ = next;
    emit changed();
    propagateBelow<DesignControl>(owner_);
}

void DesignControl::setMaterialModeName(const QString& name) {
    if (const auto mode = designMaterialModeFromRawValue(name)) {
        setMaterialMode(*mode);
    } else {
        qmlWarning(owner_) << "DesignControl.materialMode: no material mode named " << name;
    }
}

void DesignControl::setMaterialMode(DesignMaterialMode mode) {
    mode_ = mode;
    resolve();
}

void DesignControl::resetMaterialMode() {
    mode_.reset();
    resolve();
}

void DesignControl::setPressed(bool pressed) {
    pressed_ = pressed;
    resolve();
}

void DesignControl::resetPressed() {
    pressed_.reset();
    resolve();
}

}  // namespace quillory
