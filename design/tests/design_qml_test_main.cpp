#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

#include <QQmlContext>
#include <QQmlEngine>

#include "tests/support/cursor_probe.h"
#include "tests/support/fake_desktop_appearance.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)

namespace quillory {

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
