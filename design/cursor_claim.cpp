#include "design/cursor_claim.h"

#include <QtQml/qqmlengine.h>

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMetaObject>

namespace quillory {

PointerCursor* PointerCursor::shared() {
    static PointerCursor* instance = new PointerCursor;
    return instance;
}

PointerCursor* PointerCursor::create(QQmlEngine*, QJSEngine*) {
    QJSEngine::setObjectOwnership(shared(), QJSEngine::CppOwnership);
    return shared();
}

void PointerCursor::push() {
    QGuiApplication::setOverrideCursor(QCursor(Qt::PointingHandCursor));
    ++depth_;
    ++pushes_;
    emit depthChanged();
}

void PointerCursor::pop() {
    if (depth_ == 0) {
        return;  // Never pops a cursor that someone else pushed.
    }
    QGuiApplication::restoreOverrideCursor();
    --depth_;
    emit depthChanged();
}

CursorClaim::~CursorClaim() {
    if (claimed_ && QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { PointerCursor::shared()->pop(); },
            Qt::QueuedConnection);
    }
}

void CursorClaim::want(bool wanted) {
    if (claimed_ == wanted) {
        return;
    }
    claimed_ = wanted;
    if (wanted) {
        PointerCursor::shared()->push();
    } else {
        PointerCursor::shared()->pop();
    }
    emit claimedChanged();
}

}  // namespace quillory
