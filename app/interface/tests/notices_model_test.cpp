#include "app/interface/notices_model.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace quillory {
namespace {

class NoticesModelTest : public ::testing::Test {
  protected:
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(QDir(folder_.path()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    static QStringList titles(const QList<NoticesModel::Entry>& entries) {
        QStringList out;
        for (const NoticesModel::Entry& entry : entries) {
            out << entry.title;
        }
        return out;
    }

    QTemporaryDir folder_;
};

TEST_F(NoticesModelTest, LeavesOutMissingAndInvalidFilesAndKeepsTextsWhole) {
    write("manifest",
          "libfoo1\t1-libfoo1\n"
          "gone\t2-gone\n"
          "latin1\t3-latin1\n"
          "truncated\t4-truncated\n"
          "Barlow\t5-Barlow\n"
          "no tab here\n"
          "\n"
          "/usr/share/common-licenses/GPL-2\t6-GPL-2\n");
    write("1-libfoo1", "\n\n  Copyright 2020 Foo\n\n");
    write("3-latin1", "Copyright \xa9 2019 Bar\n");  // Latin-1, not UTF-8
    write("4-truncated", "Caf\xc3");                 // a sequence cut short at the end
    write("5-Barlow", "Copyright \xc2\xa9 Barlow\xe2\x80\xa6\r\n");
    write("6-GPL-2", "");

    const QList<NoticesModel::Entry> entries = NoticesModel::read(folder_.path());
    EXPECT_EQ(titles(entries),
              (QStringList{"libfoo1", "Barlow", "/usr/share/common-licenses/GPL-2"}));
    ASSERT_EQ(entries.size(), 3);
    // Blank lines and spaces at either end survive.
    EXPECT_EQ(entries[0].text, QStringLiteral("\n\n  Copyright 2020 Foo\n\n"));
    EXPECT_EQ(entries[1].text, QStringLiteral("Copyright © Barlow…\r\n"));
    EXPECT_EQ(entries[2].text, QString());
}

TEST_F(NoticesModelTest, StrictDecodingRejectsWhatFromUtf8WouldPaperOver) {
    const std::pair<QByteArray, bool> cases[] = {
        {"plain", true},
        {"\xef\xbb\xbfwith a byte order mark", true},
        {"\xed\xa0\x80 a lone surrogate", false},
        {"\xc0\xaf overlong slash", false},
        {"\xff", false},
        {QByteArray("nul\0inside", 10), true},
    };
    for (const auto& [bytes, valid] : cases) {
        EXPECT_EQ(NoticesModel::decodeUtf8(bytes).has_value(), valid) << bytes.toHex().constData();
    }
}

TEST_F(NoticesModelTest, ReadsAgainAtEachReload) {
    write("manifest", "a\ta\nb\tb\n");
    write("a", "first");
    write("b", "second");
    NoticesModel model;
    QSignalSpy counts(&model, &NoticesModel::countChanged);
    model.setFolder(folder_.path());
    ASSERT_EQ(model.count(), 2);
    EXPECT_EQ(model.data(model.index(1), NoticesModel::textRole).toString(), "second");

    write("b", "changed");
    model.reload();
    EXPECT_EQ(model.data(model.index(1), NoticesModel::textRole).toString(), "changed");

    ASSERT_TRUE(QFile::remove(QDir(folder_.path()).filePath("a")));
    model.reload();
    ASSERT_EQ(model.count(), 1);
    EXPECT_EQ(model.data(model.index(0), NoticesModel::titleRole).toString(), "b");
    EXPECT_EQ(counts.count(), 2);

    // Without an index there is nothing to show, and nothing stops.
    model.setFolder(QDir(folder_.path()).filePath("nowhere"));
    EXPECT_EQ(model.count(), 0);
}

}  // namespace
}  // namespace quillory
