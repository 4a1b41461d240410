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
    const QCommandLineOption shardOption(
        QStringLiteral("shard"),
        QStringLiteral("Render only every Nth scene, starting at the Kth (from 0)."),
        QStringLiteral("K/N"));
    parser.addOption(shardOption);
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
    if (parser.isSet(shardOption)) {
        const QStringList parts = parser.value(shardOption).split(QLatin1Char('/'));
        bool shardOk = false;
        bool countOk = false;
        const qsizetype shard = parts.size() == 2 ? parts[0].toInt(&shardOk) : 0;
        const qsizetype count = parts.size() == 2 ? parts[1].toInt(&countOk) : 0;
        if (!shardOk || !countOk || count < 1 || shard < 0 || shard >= count) {
            std::fprintf(stderr, "--shard takes K/N with 0 <= K < N\n");
            return 2;
        }
        const QStringList all = arguments.isEmpty() ? quillory::uiShotScenes() : arguments;
        arguments.clear();
        for (qsizetype i = shard; i < all.size(); i += count) {
            arguments << all[i];
        }
        if (arguments.isEmpty()) {
            std::printf("0 images written to %s\n", qPrintable(directory));
            return 0;
        }
    }
    const int written = quillory::writeUiShots(directory, arguments);
    if (written < 0) {
        return 1;
    }
    std::printf("%d images written to %s\n", written, qPrintable(directory));
    return 0;
}
