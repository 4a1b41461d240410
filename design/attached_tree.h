#pragma once

#include <QtQml/qqml.h>

#include <QMetaObject>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <functional>
#include <vector>

namespace quillory {

// Helpers for attached properties whose values flow down the item tree. `Attached` has a
// `resolve()` that re-reads its inherited values and, when they changed, calls
// `propagateBelow()` on its owner.

template <typename Attached>
Attached* existingAttached(QObject* object) {
    return object ? qobject_cast<Attached*>(qmlAttachedPropertiesObject<Attached>(object, false))
                  : nullptr;
}

// The attached object of the nearest ancestor item (then the window) that has one.
template <typename Attached>
Attached* nearestAttachedAbove(QObject* owner) {
    auto* item = qobject_cast<QQuickItem*>(owner);
    if (!item) {
        return nullptr;  // A window is the root of its own tree.
    }
    for (QQuickItem* ancestor = item->parentItem(); ancestor; ancestor = ancestor->parentItem()) {
        if (auto* attached = existingAttached<Attached>(ancestor)) {
            return attached;
        }
    }
    return existingAttached<Attached>(item->window());
}

// Tells the nearest attached objects below `item` to resolve again; each carries it further.
template <typename Attached>
void propagateAttached(QQuickItem* item) {
    if (!item) {
        return;
    }
    if (auto* attached = existingAttached<Attached>(item)) {
        attached->resolve();
        return;
    }
    for (QQuickItem* child : item->childItems()) {
        propagateAttached<Attached>(child);
    }
}

// Hands a change of the owner's values to everything below the owner.
template <typename Attached>
void propagateBelow(QObject* owner) {
    if (auto* window = qobject_cast<QQuickWindow*>(owner)) {
        propagateAttached<Attached>(window->contentItem());
    } else if (auto* item = qobject_cast<QQuickItem*>(owner)) {
        for (QQuickItem* child : item->childItems()) {
            propagateAttached<Attached>(child);
        }
    }
}

// Runs `moved` whenever the owner, or an item between it and the nearest ancestor that has its own
// attached object, gets another parent. That ancestor watches its own ancestors and hands its
// changes down, so the chain ends there.
class AncestorWatch {
  public:
    AncestorWatch(QObject* context, std::function<bool(QQuickItem*)> hasAttached,
                  std::function<void()> moved);
    AncestorWatch(const AncestorWatch&) = delete;
    AncestorWatch& operator=(const AncestorWatch&) = delete;
    ~AncestorWatch();

    void watch(QQuickItem* owner);

  private:
    void ancestorMoved();

    QObject* context_;
    std::function<bool(QQuickItem*)> hasAttached_;
    std::function<void()> moved_;
    QPointer<QQuickItem> owner_;
    std::vector<QMetaObject::Connection> connections_;
};

template <typename Attached>
std::function<bool(QQuickItem*)> hasAttached() {
    return [](QQuickItem* item) { return existingAttached<Attached>(item) != nullptr; };
}

}  // namespace quillory
