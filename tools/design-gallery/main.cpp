#include <QtQml/qqmlextensionplugin.h>

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <cstdio>
#include <memory>

#include "design/appearance.h"
#include "design/portal_appearance_source.h"
#include "tools/design-gallery/gallery_shots.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("quillory-design-gallery"));
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The Quillory design system's gallery."));
    parser.addHelpOption();
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Render every palette, appearance and button state to PNG files in <dir>."),
        QStringLiteral("dir"));
    parser.addOption(screenshot);
    parser.process(app);

    if (parser.isSet(screenshot)) {
        const int written = quillory::writeGalleryShots(parser.value(screenshot));
        if (written < 0) {
            return 1;
        }
        std::printf("%d images written to %s\n", written, qPrintable(parser.value(screenshot)));
        return 0;
    }

    quillory::Appearance::shared()->setSources(
        nullptr, std::make_unique<quillory::PortalAppearanceSource>());
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine.loadData(R"(
        import QtQuick
        import QuilloryDesign
        Window {
            width: 760
            height: 900
            visible: true
            title: "Quillory design system"
            DesignSystemGallery { anchors.fill: parent }
        })");
    if (engine.rootObjects().isEmpty()) {
        return 1;
    }
    return QGuiApplication::exec();
}
