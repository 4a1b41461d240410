#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

#include <QDir>
#include <QQmlContext>
#include <QQmlEngine>

#include "design/appearance.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)

namespace quillory {

// Lets the QML tests play the desktop: `appearance.set(dark, highContrast, reduceMotion)`,
// `appearance.setTextScale(1.5)`.
class AppearanceControl : public QObject {
    Q_OBJECT

  public:
    explicit AppearanceControl(FakeAppearanceSource* source) : source_(source) {}

    Q_INVOKABLE void set(bool dark, bool highContrast, bool reduceMotion) {
        settings_ = {.dark = dark, .highContrast = highContrast, .reduceMotion = reduceMotion};
        source_->setSettings(settings_);
    }
    Q_INVOKABLE void setTextScale(double scale) {
        settings_.textScale = scale;
        source_->setSettings(settings_);
    }

  private:
    FakeAppearanceSource* source_;
    AppearanceSettings settings_;
};

class Setup : public QObject {
    Q_OBJECT

  public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        auto source = std::make_unique<FakeAppearanceSource>();
        control_ = std::make_unique<AppearanceControl>(source.get());
        Appearance::shared()->setSources(nullptr, std::move(source));
        engine->rootContext()->setContextProperty(QStringLiteral("appearance"), control_.get());
        engine->rootContext()->setContextProperty(
            QStringLiteral("shotsDirectory"),
            qEnvironmentVariable("QUILLORY_SHOTS_DIR", QDir::tempPath()));
    }

  private:
    std::unique_ptr<AppearanceControl> control_;
};

}  // namespace quillory

QUICK_TEST_MAIN_WITH_SETUP(design_qml, quillory::Setup)

#include "design_qml_test_main.moc"
