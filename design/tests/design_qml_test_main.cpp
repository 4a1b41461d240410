#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

#include <QQmlEngine>

#include "tests/support/fake_desktop_appearance.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)

namespace quillory {

class Setup : public QObject {
    Q_OBJECT

  public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        settings_ = installFakeDesktopAppearance(engine);
    }

  private:
    std::unique_ptr<DesktopSettings> settings_;
};

}  // namespace quillory

QUICK_TEST_MAIN_WITH_SETUP(design_qml, quillory::Setup)

#include "design_qml_test_main.moc"
