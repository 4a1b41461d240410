#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QWindow>

#include "design/appearance.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)

namespace quillory {

// Lets the QML tests play the desktop: `desktop.set({dark: true, reduceMotion: true})`; keys left
// out are off, and the text scale is 1.
class DesktopSettings : public QObject {
    Q_OBJECT

  public:
    explicit DesktopSettings(FakeAppearanceSource* source) : source_(source) {}

    Q_INVOKABLE void set(const QVariantMap& s) {
        source_->setSettings({.dark = s.value("dark").toBool(),
                              .highContrast = s.value("highContrast").toBool(),
                              .reduceMotion = s.value("reduceMotion").toBool(),
                              .reduceTransparency = s.value("reduceTransparency").toBool(),
                              .textScale = s.value("textScale", 1.0).toDouble()});
    }

  private:
    FakeAppearanceSource* source_;
};

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
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        auto source = std::make_unique<FakeAppearanceSource>();
        settings_ = std::make_unique<DesktopSettings>(source.get());
        Appearance::shared()->setSources(nullptr, std::move(source));
        engine->rootContext()->setContextProperty(QStringLiteral("desktop"), settings_.get());
        engine->rootContext()->setContextProperty(QStringLiteral("cursors"), &cursors_);
        // The test may run before any other test has made the folder.
        const QString shots = qEnvironmentVariable("QUILLORY_SHOTS_DIR", QDir::tempPath());
        QDir().mkpath(shots);
        engine->rootContext()->setContextProperty(QStringLiteral("shotsDirectory"), shots);
    }

  private:
    std::unique_ptr<DesktopSettings> settings_;
    CursorProbe cursors_;
};

}  // namespace quillory

QUICK_TEST_MAIN_WITH_SETUP(design_qml, quillory::Setup)

#include "design_qml_test_main.moc"
