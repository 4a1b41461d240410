#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include "app/interface/notices_model.h"

// The acknowledgements built into `quillory`: checked against what the dynamic loader actually
// loads for the finished binary, which the build step could not look at.
namespace quillory {
namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList loadedLibraries() {
    QStringList paths;
    static const QRegularExpression line(QStringLiteral("(?:=> |^\\s+)(/\\S+) \\("));
    const QString out = run(QStringLiteral("ldd"), {QStringLiteral(QUILLORY_BINARY)});
    for (const QString& text : out.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = line.match(text);
        if (match.hasMatch()) {
            paths << match.captured(1);
        }
    }
    return paths;
}

// Every spelling dpkg may know a library by: the file and its link target, with and without
// the merged /usr.
QStringList spellings(const QString& path) {
    QStringList out;
    for (const QString& file : {QFileInfo(path).canonicalFilePath(), path}) {
        out << file
            << (file.startsWith(QLatin1String("/usr/")) ? file.mid(4)
                                                        : QStringLiteral("/usr") + file);
    }
    return out;
}

// Which package ships each of `paths`, asked in one go.
QHash<QString, QString> owners(const QStringList& paths) {
    QHash<QString, QString> owner;
    const QString out = run(QStringLiteral("dpkg"), QStringList{QStringLiteral("-S")} + paths);
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype at = line.indexOf(QLatin1String(": /"));
        if (at > 0 && !line.startsWith(QLatin1String("diversion"))) {
            owner.insert(line.mid(at + 2), line.left(at).section(QLatin1Char(':'), 0, 0));
        }
    }
    return owner;
}

TEST(AcknowledgementsTest, EveryLoadedLibraryHasItsPackagesNotice) {
    const QString folder = QStringLiteral(ACKNOWLEDGEMENTS_DIR);
    const QList<NoticesModel::Entry> entries = NoticesModel::read(folder);
    QSet<QString> listed;
    for (const NoticesModel::Entry& entry : entries) {
        for (const QString& package : entry.title.split(QStringLiteral(", "))) {
            listed.insert(package);
        }
        EXPECT_FALSE(entry.text.trimmed().isEmpty()) << entry.title.toStdString();
    }
    const QStringList libraries = loadedLibraries();
    ASSERT_GT(libraries.size(), 10);
    QStringList asked;
    for (const QString& library : libraries) {
        asked << spellings(library);
    }
    const QHash<QString, QString> owner = owners(asked);
    for (const QString& library : libraries) {
        QString package;
        for (const QString& spelling : spellings(library)) {
            package = package.isEmpty() ? owner.value(spelling) : package;
        }
        ASSERT_FALSE(package.isEmpty()) << library.toStdString();
        EXPECT_TRUE(listed.contains(package))
            << package.toStdString() << " for " << library.toStdString();
    }
    // Ours, and a common licence a copyright file refers to.
    EXPECT_TRUE(listed.contains(QStringLiteral("Barlow")));
    EXPECT_TRUE(listed.contains(QStringLiteral("Phosphor")));
    EXPECT_TRUE(listed.contains(QStringLiteral("/usr/share/common-licenses/GPL-2")));

    // Every line of the index made it into an entry: nothing was left out as unreadable.
    QFile manifest(QDir(folder).filePath(QStringLiteral("manifest")));
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    EXPECT_EQ(manifest.readAll().count('\n'), entries.size());
}

}  // namespace
}  // namespace quillory
