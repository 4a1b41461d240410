#pragma once

#include <QCursor>
#include <QGuiApplication>
#include <QObject>
#include <QWindow>

namespace quillory {

// Lets QML tests see the cursor a window shows: an application-wide override cursor wins over
// the window's own.
class CursorProbe : public QObject {
    Q_OBJECT

  public:
    Q_INVOKABLE int shownIn(QObject* window) const {
        if (const QCursor* override = QGuiApplication::overrideCursor()) {
            return override->shape();
        }
        const auto* shown = qobject_cast<QWindow*>(window);
        return shown ? shown->cursor().shape() : -1;
    }
};

}  // namespace quillory
