#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace quillory {
namespace {

// QML `Text` renders rich text by default and ignores the design's font and colour: the windows
// use DText. Lists "<file>:<line>" of every raw `Text {` under `directory`.
QStringList rawTextUses(const QString& directory) {
    static const QRegularExpression raw(QStringLiteral(R"((^|[^\w.])Text\s*\{)"));
    QStringList uses;
    QDirIterator files(directory, {QStringLiteral("*.qml")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            uses.append(path + QStringLiteral(": unreadable"));
            continue;
        }
        int number = 0;
        while (!file.atEnd()) {
            ++number;
            const QString line = QString::fromUtf8(file.readLine());
            const QString code = line.section(QStringLiteral("//"), 0, 0);
            if (raw.match(code).hasMatch()) {
                uses.append(QStringLiteral("%1:%2").arg(path).arg(number));
            }
        }
    }
    return uses;
}

TEST(RawTextCheck, FindsAPlantedTextAndNothingElse) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::pair<const char*, const char*> files[] = {
        {"Clean.qml",
         "import QtQuick\nItem {\n    DText { text: \"ok\" }\n    TextEdit { }\n"
         "    // Text { } in a comment\n    property int f: Text.PlainText\n}\n"},
        {"nested/Planted.qml", "import QtQuick\nItem {\n    Text{ text: \"<b>raw</b>\" }\n}\n"},
    };
    for (const auto& [name, body] : files) {
        QDir(dir.path()).mkpath(QFileInfo(QString::fromLatin1(name)).path());
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(body);
    }
    EXPECT_EQ(rawTextUses(dir.path()), QStringList{dir.filePath("nested/Planted.qml") + ":3"});
}

TEST(RawTextCheck, TheWindowsUseNoRawText) {
    EXPECT_EQ(rawTextUses(QStringLiteral(QUILLORY_APP_SOURCE_DIR)), QStringList{});
}

}  // namespace
}  // namespace quillory
