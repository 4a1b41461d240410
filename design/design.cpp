#include "design/design.h"

#include <QtQml/qqmlinfo.h>

namespace quillory {

Design::Design(QObject* owner)
    : QObject(owner),
      owner_(owner),
      ancestors_(this, hasAttached<Design>(), [this] { resolve(); }) {
    if (auto* item = qobject_cast<QQuickItem*>(owner)) {
        ancestors_.watch(item);
        connect(item, &QQuickItem::windowChanged, this, &Design::resolve);
    }
    resolved_ = inheritedAt(owner);
}

Design* Design::qmlAttachedProperties(QObject* object) {
    return new Design(object);
}

DesignTheme Design::inheritedAt(QObject* owner) {
    if (Design* above = nearestAttachedAbove<Design>(owner)) {
        return above->theme();
    }
    return DesignTheme::standard;
}

void Design::resolve() {
    DesignTheme next = inheritedAt(owner_);
    if (palette_) {
        next.palette = *palette_;
    }
    if (icons_) {
        next.icons = *icons_;
    }
    if (next == resolved_) {
        return;
    }
    resolved_ = next;
    emit themeChanged();
    propagateBelow<Design>(owner_);
}

void Design::setPaletteName(const QString& name) {
    if (const auto palette = designPaletteFromRawValue(name)) {
        setPalette(*palette);
    } else {
        qmlWarning(owner_) << "Design.palette: no palette named" << name;
    }
}

void Design::setIconFamilyName(const QString& name) {
    if (const auto family = appIconFamilyFromRawValue(name)) {
        setIconFamily(*family);
    } else {
        qmlWarning(owner_) << "Design.iconFamily: no icon family named" << name;
    }
}

void Design::setPalette(DesignPalette palette) {
    palette_ = palette;
    resolve();
}

void Design::resetPalette() {
    palette_.reset();
    resolve();
}

void Design::setIconFamily(AppIconFamily family) {
    icons_ = family;
    resolve();
}

void Design::resetIconFamily() {
    icons_.reset();
    resolve();
}

}  // namespace quillory
