#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

#include <QCursor>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QWindow>

#include "tests/support/fake_desktop_appearance.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)

namespace quillory {

// Lets the QML tests see the cursor a window shows: an application-wide override cursor wins
// over the window's own.
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

class Setup : public QObject {
    Q_OBJECT

  public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        settings_ = installFakeDesktopAppearance(engine);
        engine->rootContext()->setContextProperty(QStringLiteral("cursors"), &cursors_);
    }

  private:
    std::unique_ptr<DesktopSettings> settings_;
    CursorProbe cursors_;
};

}  // namespace quillory

QUICK_TEST_MAIN_WITH_SETUP(design_qml, quillory::Setup)

#include "design_qml_test_main.moc"
