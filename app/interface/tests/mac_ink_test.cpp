#include "app/interface/mac_ink.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTest>

#include "app/interface/ink/testing/recorded_strokes.h"
#include "app/session/testing/fake_session.h"
#include "design/colors.h"
#include "design/design_colors.h"

namespace quillory {
namespace {

using Phase = PenSample::Phase;

constexpr auto sampleAt = penSample;

// The canvas in a window, over the surface fill its box gives it.
class MacInkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine_.addImportPath(QStringLiteral("qrc:/qt/qml"));
        engine_.rootContext()->setContextProperty(QStringLiteral("fakeInput"), &input_);
        QQmlComponent component(&engine_);
        component.setData(R"(
            import QtQuick
            import QuilloryDesign
            import QuilloryInterface
            Window {
                width: 200; height: 120
                color: Design.colors.surface
                MacInk {
                    objectName: "ink"
                    anchors.fill: parent
                    input: fakeInput
                    colors: Design.colors
                    Accessible.role: Accessible.Graphic
                    Accessible.name: qsTr("Live Pencil strokes and position")
                }
            })",
                          QUrl(QStringLiteral("qrc:/ink-test.qml")));
        window_.reset(qobject_cast<QQuickWindow*>(component.create()));
        ASSERT_TRUE(window_) << component.errorString().toStdString();
        ink_ = window_->findChild<MacInk*>(QStringLiteral("ink"));
        ASSERT_NE(ink_, nullptr);
        colors_ = ink_->colors();
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    static int distance(const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue());
    }
    static bool closer(const QColor& pixel, const QColor& to, const QColor& than) {
        return distance(pixel, to) < distance(pixel, than);
    }

    QColor at(const QImage& image, double x, double y) const {
        const double ratio = image.devicePixelRatio();
        return image.pixelColor(static_cast<int>(x * ratio), static_cast<int>(y * ratio));
    }

    FakeInput input_;
    QQmlEngine engine_;
    std::unique_ptr<QQuickWindow> window_;
    MacInk* ink_ = nullptr;
    Colors* colors_ = nullptr;
};

TEST_F(MacInkTest, StrokesInPrimaryTextOverTheSurfaceAndTheRingOnTop) {
    input_.appendSamples({sampleAt(Phase::began, 0.1, 0.5, 1), sampleAt(Phase::moved, 0.4, 0.5, 1),
                          sampleAt(Phase::ended, 0.45, 0.5, 1)},
                         12000);
    input_.setPointer(sampleAt(Phase::hover, 0.8, 0.5, 0));
    const QImage shot = window_->grabWindow();
    EXPECT_EQ(at(shot, 50, 60).rgb(), colors_->primaryText().rgb());  // mid-stroke
    EXPECT_EQ(at(shot, 50, 20).rgb(), colors_->surface().rgb());      // the canvas fill
    // The ring: accent on its centre line, surface around it, and nothing of it in the raster.
    EXPECT_TRUE(closer(at(shot, 160 + 9, 60), colors_->accent(), colors_->surface()));
    EXPECT_EQ(at(shot, 160, 60).rgb(), colors_->surface().rgb());
    const QImage& raster = ink_->raster().image();
    EXPECT_EQ(
        qAlpha(raster.pixel(static_cast<int>(169 * raster.width() / 200.0), raster.height() / 2)),
        0);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(ink_)->text(QAccessible::Name),
              QStringLiteral("Live Pencil strokes and position"));
}

TEST_F(MacInkTest, ClearAndGridReachTheCanvas) {
    input_.appendSamples({sampleAt(Phase::began, 0.5, 0.5, 1)}, 12000);
    EXPECT_EQ(at(window_->grabWindow(), 100, 60).rgb(), colors_->primaryText().rgb());
    input_.clearSamples();
    EXPECT_EQ(at(window_->grabWindow(), 100, 60).rgb(), colors_->surface().rgb());
    // A grid dot covers its 1.6-point square from the lattice point (24, 24).
    const auto dot = [&] { return at(window_->grabWindow(), 24.8, 24.8).rgb(); };
    EXPECT_NE(dot(), colors_->surface().rgb());
    ink_->setGrid(false);
    EXPECT_EQ(dot(), colors_->surface().rgb());
}

}  // namespace
}  // namespace quillory
