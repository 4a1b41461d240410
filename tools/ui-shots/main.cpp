#include <QtQml/qqmlextensionplugin.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QQuickStyle>
#include <cstdio>

#include "tools/ui-shots/ui_shots.h"

Q_IMPORT_QML_PLUGIN(QuilloryDesignPlugin)
Q_IMPORT_QML_PLUGIN(QuilloryInterfacePlugin)
Q_IMPORT_QML_PLUGIN(QuilloryRecorderPlugin)

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillory-ui-shots"));
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Renders the application's windows with a scripted session to PNG files."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("Where the images go."));
    parser.addPositionalArgument(QStringLiteral("scene"),
                                 QStringLiteral("Scenes to render (all when none): ") +
                                     quillory::uiShotScenes().join(QStringLiteral(", ")),
                                 QStringLiteral("[scene...]"));
    parser.process(app);
    QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty()) {
        parser.showHelp(2);
    }
    const QString directory = arguments.takeFirst();
    const int written = quillory::writeUiShots(directory, arguments);
    if (written < 0) {
        return 1;
    }
    std::printf("%d images written to %s\n", written, qPrintable(directory));
    return 0;
}
