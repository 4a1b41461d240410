#pragma once

#include <QtQml/qqmlregistration.h>

#include <QObject>
#include <QPointF>

class QQmlEngine;
class QJSEngine;

namespace quillory {

// Has a window choose its cursor again where the pointer rests. Qt Quick takes the cursor from the
// hovered item only when the pointer moves, so an element that stops wanting the hand under a
// resting pointer (disabled, hidden, destroyed) asks for this to give the hand back at once.
class PointerCursor final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

  public:
    static PointerCursor* create(QQmlEngine*, QJSEngine*);

    // Replays the pointer at `scenePosition` of `window`, later on the main thread, so that an
    // element being destroyed has left the scene by then. Not while a button is held: the press
    // owns the pointer until it ends.
    Q_INVOKABLE void refresh(QObject* window, QPointF scenePosition);

  private:
    PointerCursor() = default;
};

}  // namespace quillory
