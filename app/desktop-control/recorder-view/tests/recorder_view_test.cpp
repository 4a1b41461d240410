#include <gtest/gtest.h>

#include <QPointer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <memory>

#include "app/desktop-control/recorder/recorder_core.h"
#include "app/desktop-control/recorder/recorder_model.h"
#include "tests/support/fake_desktop_appearance.h"
#include "tests/support/manual_animation_driver.h"

namespace quillory {
namespace {

using K = DesktopKey;

// The recorder's card on a model the test drives, its animations on a clock the test turns.
class RecorderViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        driver_.install();
        engine_.addImportPath(QStringLiteral("qrc:/qt/qml"));
        desktop_ = installFakeDesktopAppearance(&engine_);
        QQmlComponent component(
            &engine_, QUrl(QStringLiteral("qrc:/qt/qml/QuilloryRecorder/RecorderView.qml")));
        card_.reset(qobject_cast<QQuickItem*>(component.createWithInitialProperties(
            {{QStringLiteral("model"), QVariant::fromValue<QObject*>(&model_)}})));
        ASSERT_TRUE(card_) << component.errorString().toStdString();
        keys_ = card_->findChild<QQuickItem*>(QStringLiteral("keys"));
        ASSERT_TRUE(keys_);
    }

    void hold(const std::vector<DesktopKey>& keys) {
        model_.setState({keys, keys, std::nullopt});
        driver_.frame();
    }

    void frames(int count) {
        for (int frame = 0; frame < count; ++frame) {
            driver_.frame();
        }
    }

    // The key spring settles in about half a second; a faded cap is dropped, and its delegate
    // deleted, later.
    void settle() {
        frames(90);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QQuickItem* cap(const QString& text) const {
        for (QQuickItem* item : keys_->childItems()) {
            if (item->property("text").toString() == text) {
                return item;
            }
        }
        return nullptr;
    }

    ManualAnimationDriver driver_;  // uninstalls itself, after the card has gone
    QQmlEngine engine_;
    std::unique_ptr<DesktopSettings> desktop_;
    RecorderModel model_;
    std::unique_ptr<QQuickItem> card_;
    QQuickItem* keys_ = nullptr;
};

// A key pressed or let go fades its own cap in or out, where the cap stands; the caps that stay
// keep their delegates, untouched by the fade, and slide to their new places instead of jumping.
TEST_F(RecorderViewTest, OnlyTheCapThatComesOrGoesFades) {
    hold({K::control});
    settle();
    QPointer<QQuickItem> control = cap(QStringLiteral("⌃"));
    QPointer<QQuickItem> mark = cap(QStringLiteral("?"));
    ASSERT_TRUE(control && mark);

    hold({K::control, K::shift});
    QPointer<QQuickItem> shift = cap(QStringLiteral("⇧"));
    ASSERT_TRUE(shift);
    ASSERT_EQ(cap(QStringLiteral("⌃")), control);
    ASSERT_EQ(cap(QStringLiteral("?")), mark);
    EXPECT_EQ(control->opacity(), 1.0);
    EXPECT_LT(shift->opacity(), 0.5);
    // One cap and one gap further on, 64 points, once it gets there.
    EXPECT_LT(mark->x(), 64 + 32);
    settle();
    EXPECT_EQ(shift->opacity(), 1.0);
    EXPECT_EQ(mark->x(), 128);

    // Let go one after the other: the second cap going leaves the first one's fade running.
    hold({K::control});
    frames(4);
    const qreal shiftFading = shift->opacity();
    EXPECT_LT(shiftFading, 1.0);
    hold({});
    ASSERT_TRUE(shift && control);
    EXPECT_GT(shift->opacity(), 0.0);
    EXPECT_LT(shift->opacity(), shiftFading);
    EXPECT_EQ(shift->x(), 64);
    EXPECT_LT(control->opacity(), 1.0);

    // Pressed again while it fades, a key brings its own cap back.
    hold({K::control});
    ASSERT_EQ(cap(QStringLiteral("⌃")), control);
    settle();
    EXPECT_FALSE(shift);
    EXPECT_EQ(control->opacity(), 1.0);
    EXPECT_EQ(mark->x(), 64);
}

}  // namespace
}  // namespace quillory
