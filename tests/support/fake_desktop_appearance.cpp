#include "tests/support/fake_desktop_appearance.h"

#include <QDir>
#include <QQmlContext>
#include <QQmlEngine>

#include "design/appearance.h"
#include "design/appearance_source.h"

namespace quillory {

void DesktopSettings::set(const QVariantMap& s) {
    source_->setSettings({.dark = s.value("dark").toBool(),
                          .highContrast = s.value("highContrast").toBool(),
                          .reduceMotion = s.value("reduceMotion").toBool(),
                          .reduceTransparency = s.value("reduceTransparency").toBool(),
                          .textScale = s.value("textScale", 1.0).toDouble()});
}

std::unique_ptr<DesktopSettings> installFakeDesktopAppearance(QQmlEngine* engine) {
    engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    auto source = std::make_unique<FakeAppearanceSource>();
    auto settings = std::make_unique<DesktopSettings>(source.get());
    Appearance::shared()->setSources(nullptr, std::move(source));
    engine->rootContext()->setContextProperty(QStringLiteral("desktop"), settings.get());
    // The test may run before any other test has made the folder.
    const QString shots = qEnvironmentVariable("QUILLORY_SHOTS_DIR", QDir::tempPath());
    QDir().mkpath(shots);
    engine->rootContext()->setContextProperty(QStringLiteral("shotsDirectory"), shots);
    return settings;
}

}  // namespace quillory
