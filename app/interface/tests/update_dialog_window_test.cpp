#include "app/interface/update_dialog_window.h"

#include <gtest/gtest.h>

#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>

#include "app/interface/testing/quick_items.h"
#include "app/updates/update_dialog_model.h"

namespace quillory {
namespace {

UpdateItem sampleItem() {
    UpdateItem item;
    item.version = QStringLiteral("0.2.0");
    item.notes = QStringLiteral("<img src=x>Notes");
    item.link = QUrl(QStringLiteral("https://example.org/download"));
    return item;
}

class UpdateDialogWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { engine_.addImportPath(QStringLiteral("qrc:/qt/qml")); }

    QQmlEngine engine_;
    UpdateDialogModel model_;
    UpdateDialogWindow window_{&engine_, &model_};
};

TEST_F(UpdateDialogWindowTest, ShowsAndHidesWithTheModel) {
    EXPECT_EQ(window_.window(), nullptr) << "built on first use";
    model_.showUpdate(sampleItem(), QStringLiteral("0.1.0"), false, true);
    ASSERT_NE(window_.window(), nullptr);
    EXPECT_TRUE(window_.window()->isVisible());
    QQuickItem* notes =
        findQuickItem(window_.window()->contentItem(), QStringLiteral("updateNotesText"));
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->property("textFormat").toInt(), Qt::PlainText);
    EXPECT_EQ(notes->property("text").toString(), "<img src=x>Notes");

    model_.hide();
    EXPECT_FALSE(window_.window()->isVisible());
}

TEST_F(UpdateDialogWindowTest, ClosingTheWindowEndsTheSession) {
    int dismissed = 0;
    QObject::connect(&model_, &UpdateDialogModel::dismissed, [&dismissed] { ++dismissed; });
    model_.showError(QStringLiteral("The update feed is malformed"), true);
    ASSERT_NE(window_.window(), nullptr);
    window_.window()->close();
    EXPECT_FALSE(model_.visible());
    EXPECT_EQ(dismissed, 1);
}

}  // namespace
}  // namespace quillory
