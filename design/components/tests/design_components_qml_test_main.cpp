#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

#include <QQmlContext>
#include <QQmlEngine>

#include "design/appearance.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)

namespace quillory {

// Lets the QML tests play the desktop's accessibility settings.
class DesktopSettings : public QObject {
    Q_OBJECT

  public:
    explicit DesktopSettings(FakeAppearanceSource* source) : source_(source) {}

    Q_INVOKABLE void set(bool reduceMotion, bool reduceTransparency, bool highContrast) {
        source_->setSettings({.dark = false,
                              .highContrast = highContrast,
                              .reduceMotion = reduceMotion,
                              .reduceTransparency = reduceTransparency});
    }

  private:
    FakeAppearanceSource* source_;
};

class Setup : public QObject {
    Q_OBJECT

  public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        auto source = std::make_unique<FakeAppearanceSource>();
        settings_ = std::make_unique<DesktopSettings>(source.get());
        Appearance::shared()->setSources(nullptr, std::move(source));
        engine->rootContext()->setContextProperty(QStringLiteral("desktop"), settings_.get());
    }

  private:
    std::unique_ptr<DesktopSettings> settings_;
};

}  // namespace quillory

QUICK_TEST_MAIN_WITH_SETUP(design_components_qml, quillory::Setup)

#include "design_components_qml_test_main.moc"
