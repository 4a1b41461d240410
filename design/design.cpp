#include "design/design.h"

#include <QtQml/qqml.h>
#include <QtQml/qqmlinfo.h>

#include <QQuickItem>
#include <QQuickWindow>

namespace quillory {

namespace {

Design* existingAttached(QObject* object) {
    return object ? qobject_cast<Design*>(qmlAttachedPropertiesObject<Design>(object, false))
                  : nullptr;
}

}  // namespace

Design::Design(QObject* owner) : QObject(owner), owner_(owner) {
    if (auto* item = qobject_cast<QQuickItem*>(owner)) {
        connect(item, &QQuickItem::parentChanged, this, &Design::resolve);
        connect(item, &QQuickItem::windowChanged, this, &Design::resolve);
    }
    resolved_ = inheritedAt(owner);
}

Design* Design::qmlAttachedProperties(QObject* object) {
    return new Design(object);
}

DesignTheme Design::inheritedAt(QObject* owner) {
    auto* item = qobject_cast<QQuickItem*>(owner);
    if (!item) {
        return DesignTheme::standard;  // A window is the root of its own tree.
    }
    for (QQuickItem* ancestor = item->parentItem(); ancestor; ancestor = ancestor->parentItem()) {
        if (Design* attached = existingAttached(ancestor)) {
            return attached->theme();
        }
    }
    if (Design* attached = existingAttached(item->window())) {
        return attached->theme();
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
    if (auto* window = qobject_cast<QQuickWindow*>(owner_.data())) {
        propagate(window->contentItem());
    } else if (auto* item = qobject_cast<QQuickItem*>(owner_.data())) {
        for (QQuickItem* child : item->childItems()) {
            propagate(child);
        }
    }
}

// Hands the change to the nearest attached objects below; each of them carries it further.
void Design::propagate(QQuickItem* item) {
    if (!item) {
        return;
    }
    if (Design* attached = existingAttached(item)) {
        attached->resolve();
        return;
    }
    for (QQuickItem* child : item->childItems()) {
        propagate(child);
    }
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
