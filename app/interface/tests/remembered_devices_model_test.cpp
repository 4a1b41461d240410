#include "app/interface/remembered_devices_model.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/session/testing/fake_session.h"

namespace quillory {
namespace {

QList<SavedDevice> devices(int count) {
    QList<SavedDevice> list;
    for (int i = 0; i < count; ++i) {
        list.append({QStringLiteral("key%1").arg(i), QStringLiteral("Tablet %1").arg(i)});
    }
    return list;
}

class RememberedDevicesTest : public ::testing::Test {
  protected:
    QVariant role(int row, RememberedDevicesModel::Role r) const {
        return model_.data(model_.index(row), r);
    }
    int dividers() const {
        int n = 0;
        for (int row = 0; row < model_.rowCount(); ++row) {
            n += role(row, RememberedDevicesModel::dividerRole).toBool() ? 1 : 0;
        }
        return n;
    }

    FakeSession session_;
    RememberedDevicesModel model_;
};

TEST_F(RememberedDevicesTest, ListHeightAndDividersFollowTheCount) {
    model_.setSession(&session_);
    struct {
        int count, height, dividers;
    } const cases[] = {{0, 0, 0}, {1, 80, 0}, {2, 161, 1}, {3, 242, 2}, {5, 323, 4}};
    for (const auto& c : cases) {
        session_.publishSavedDevices(devices(c.count));
        SCOPED_TRACE(c.count);
        EXPECT_EQ(model_.count(), c.count);
        EXPECT_EQ(model_.listHeight(), c.height);
        EXPECT_EQ(dividers(), c.dividers);
        if (c.count > 0) {
            EXPECT_FALSE(role(c.count - 1, RememberedDevicesModel::dividerRole).toBool());
        }
    }
}

TEST_F(RememberedDevicesTest, RowsTellTheCurrentTabletAndItsConnection) {
    session_.publishSavedDevices(devices(2));
    session_.setCurrentDevice(QStringLiteral("key0"));
    model_.setSession(&session_);
    struct {
        bool connected;
        const char* current;
    } const cases[] = {{true, "Connected"}, {false, "Reconnecting…"}};
    for (const auto& c : cases) {
        session_.publishConnected(c.connected);
        EXPECT_TRUE(role(0, RememberedDevicesModel::currentRole).toBool());
        EXPECT_EQ(role(0, RememberedDevicesModel::statusRole).toString(),
                  QString::fromUtf8(c.current));
        EXPECT_FALSE(role(1, RememberedDevicesModel::currentRole).toBool());
        EXPECT_EQ(role(1, RememberedDevicesModel::statusRole).toString(),
                  QStringLiteral("Not connected"));
    }
}

TEST_F(RememberedDevicesTest, AFailedForgetKeepsTheRowUntilTheNextRequest) {
    session_.publishSavedDevices(devices(2));
    model_.setSession(&session_);
    session_.answerForget(false);

    model_.requestForget(QStringLiteral("key1"));
    EXPECT_TRUE(model_.forgetting());
    model_.confirmForget();
    EXPECT_FALSE(model_.forgetting());
    EXPECT_EQ(model_.count(), 2);
    EXPECT_EQ(model_.removalError(), QStringLiteral("Couldn’t forget this device. Try again."));

    model_.requestForget(QStringLiteral("key1"));  // the next "Forget…" clears it
    EXPECT_TRUE(model_.removalError().isEmpty());
    model_.cancelForget();
    EXPECT_TRUE(model_.removalError().isEmpty());
    EXPECT_FALSE(model_.forgetting());

    session_.answerForget(true);
    QSignalSpy shrank(&model_, &RememberedDevicesModel::listChanged);
    model_.requestForget(QStringLiteral("key1"));
    model_.confirmForget();
    EXPECT_TRUE(model_.removalError().isEmpty());
    EXPECT_EQ(model_.count(), 1);
    EXPECT_EQ(shrank.count(), 1);
    EXPECT_TRUE(session_.calls().contains(QStringLiteral("forget:key1")));
}

TEST_F(RememberedDevicesTest, ConfirmationNamesTheDeviceVerbatim) {
    const QString threeLines = QStringLiteral("Studio\nTablet\nThree");
    session_.publishSavedDevices({{QStringLiteral("a"), QStringLiteral("<b>Bold</b> %1")},
                                  {QStringLiteral("b"), QStringLiteral("Not connected")},
                                  {QStringLiteral("c"), threeLines}});
    session_.setCurrentDevice(QStringLiteral("a"));
    model_.setSession(&session_);
    struct {
        const char* key;
        QString title;
        bool current;
    } const cases[] = {
        {"a", QStringLiteral("Forget <b>Bold</b> %1?"), true},
        {"b", QStringLiteral("Forget Not connected?"), false},
        {"c", QStringLiteral("Forget ") + threeLines + QStringLiteral("?"), false},
    };
    for (const auto& c : cases) {
        model_.requestForget(QString::fromLatin1(c.key));
        SCOPED_TRACE(c.key);
        EXPECT_EQ(model_.confirmTitle(), c.title);
        EXPECT_EQ(model_.confirmMessage(),
                  c.current ? QStringLiteral("This will disconnect the device. You’ll need to "
                                             "confirm a new code to connect again.")
                            : QStringLiteral("You’ll need to confirm a new code on both devices "
                                             "to connect again."));
        model_.cancelForget();
    }
    model_.requestForget(QStringLiteral("gone"));  // not in the list: nothing to confirm
    EXPECT_FALSE(model_.forgetting());
}

}  // namespace
}  // namespace quillory
