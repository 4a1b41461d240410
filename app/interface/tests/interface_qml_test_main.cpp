#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

#include <QQmlContext>
#include <QQmlEngine>

#include "app/interface/testing/onboarding_fixture.h"
#include "app/session/testing/fake_session.h"
#include "tests/support/cursor_probe.h"
#include "tests/support/fake_desktop_appearance.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)
Q_IMPORT_QML_PLUGIN(QuilloryInterfacePlugin)

namespace quillory {

// Every test file sees `session`, a FakeSession it sets with `session.set({...})`, and
// `desktop`, the fake appearance, and `cursors`, the cursor each window shows.
class Setup : public QObject {
    Q_OBJECT

  public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        settings_ = installFakeDesktopAppearance(engine);
        session_ = std::make_unique<FakeSession>();
        engine->rootContext()->setContextProperty(QStringLiteral("session"), session_.get());
        engine->rootContext()->setContextProperty(QStringLiteral("cursors"), &cursors_);
        engine->rootContext()->setContextProperty(QStringLiteral("onboardingFixture"),
                                                  &onboarding_);
    }

  private:
    std::unique_ptr<DesktopSettings> settings_;
    std::unique_ptr<FakeSession> session_;
    CursorProbe cursors_;
    OnboardingFixture onboarding_;
};

}  // namespace quillory

QUICK_TEST_MAIN_WITH_SETUP(interface_qml, quillory::Setup)

#include "interface_qml_test_main.moc"
