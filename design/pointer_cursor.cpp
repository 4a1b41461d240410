#include "design/pointer_cursor.h"

#include <QtQml/qqmlengine.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPointer>
#include <QWindow>

namespace quillory {

PointerCursor* PointerCursor::create(QQmlEngine*, QJSEngine*) {
    static PointerCursor* instance = new PointerCursor;
    QJSEngine::setObjectOwnership(instance, QJSEngine::CppOwnership);
    return instance;
}

void PointerCursor::refresh(QObject* window, QPointF scenePosition) {
    QPointer<QWindow> target = qobject_cast<QWindow*>(window);
    if (!target) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [target, scenePosition] {
            if (!target || !target->isVisible() ||
                QGuiApplication::mouseButtons() != Qt::NoButton) {
                return;
            }
            QMouseEvent move(QEvent::MouseMove, scenePosition, target->mapToGlobal(scenePosition),
                             Qt::NoButton, Qt::NoButton, QGuiApplication::keyboardModifiers());
            QCoreApplication::sendEvent(target, &move);
        },
        Qt::QueuedConnection);
}

}  // namespace quillory
