#include "app/interface/pen_test_model.h"

#include <gtest/gtest.h>

#include <QKeySequence>
#include <QSignalSpy>

#include "app/interface/ink/testing/recorded_strokes.h"
#include "app/session/testing/fake_session.h"

namespace quillory {
namespace {

using Phase = PenSample::Phase;

PenSample sampleOf(Phase phase, double pressure = 0.5) {
    return penSample(phase, 0.5, 0.5, pressure);
}

TEST(PenTestModel, HasInkOnlyWithBeganOrMovedSamples) {
    FakeSession session;
    PenTestModel model;
    model.setSession(&session);
    QSignalSpy changes(&model, &PenTestModel::hasInkChanged);
    for (Phase phase : {Phase::ended, Phase::cancelled, Phase::hover}) {
        session.fakeInput()->setSamples({sampleOf(phase), sampleOf(phase)});
        EXPECT_FALSE(model.hasInk()) << static_cast<int>(phase);
    }
    session.fakeInput()->appendSamples({sampleOf(Phase::began)}, 12000);
    EXPECT_TRUE(model.hasInk());
    model.clear();
    EXPECT_FALSE(model.hasInk());
    EXPECT_EQ(changes.count(), 2);
}

TEST(PenTestModel, ClearEmptiesTheSamplesAndKeepsPointerAndPressure) {
    FakeSession session;
    PenTestModel model;
    model.setSession(&session);
    FakeInput* input = session.fakeInput();
    input->setSamples({sampleOf(Phase::began), sampleOf(Phase::moved)});
    input->setPointer(sampleOf(Phase::moved, 0.7));
    input->setPressure(0.7);
    model.clear();
    EXPECT_TRUE(input->samples().empty());
    EXPECT_TRUE(input->pointer());
    EXPECT_EQ(model.pressure(), 0.7);
    EXPECT_EQ(input->calls(), QStringList{"clearSamples"});
}

TEST(PenTestModel, CanvasBoxKeepsTheDisplayAspectAndFitsTheScreen) {
    struct Case {
        const char* name;
        QSize display;
        QSizeF available;
        QSizeF box;
    };
    const double portraitWidth = (1280 - PenTestModel::chromeHeight) * 1080 / 1920;
    const double laptopWidth = (480 - PenTestModel::chromeHeight) * 1280 / 720;
    for (const Case& c : {
             Case{"16:9 display, no limit", {1920, 1080}, {}, {760, 427.5}},
             Case{"no display", {}, {}, {760, 475}},
             Case{"16:9 display on a roomy screen", {1920, 1080}, {1920, 1040}, {760, 427.5}},
             Case{"portrait 1080 x 1920 at 150 %",
                  {1080, 1920},
                  {720, 1280},
                  {portraitWidth, portraitWidth * 1920 / 1080}},
             Case{"1280 x 720 at 150 %",
                  {1280, 720},
                  {1280 / 1.5, 720 / 1.5},
                  {laptopWidth, laptopWidth * 720 / 1280}},
             Case{"a narrow screen",
                  {1920, 1080},
                  {600, 1000},
                  {600 - PenTestModel::chromeWidth,
                   (600 - PenTestModel::chromeWidth) * 1080 / 1920}},
         }) {
        const QSizeF box = PenTestModel::canvasBox(c.display, c.available);
        EXPECT_NEAR(box.width(), c.box.width(), 1e-9) << c.name;
        EXPECT_NEAR(box.height(), c.box.height(), 1e-9) << c.name;
        if (!c.available.isEmpty()) {
            // The footer's "Return to desktop" stays on screen.
            EXPECT_LE(box.height() + PenTestModel::chromeHeight, c.available.height()) << c.name;
            EXPECT_LE(box.width() + PenTestModel::chromeWidth, c.available.width()) << c.name;
        }
    }
    FakeSession session;
    session.setMainDisplayPixelSize({1080, 1920});
    PenTestModel model;
    model.setSession(&session);
    QSignalSpy resized(&model, &PenTestModel::canvasSizeChanged);
    EXPECT_EQ(model.canvasSize().height(), 760.0 * 1920 / 1080);
    model.setAvailable({720, 1280});
    EXPECT_EQ(resized.count(), 1);
    EXPECT_LT(model.canvasSize().height() + PenTestModel::chromeHeight, 1280.01);
}

TEST(PenTestModel, PressureReadoutAndBar) {
    FakeSession session;
    PenTestModel model;
    model.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    model.setSession(&session);
    struct Case {
        double pressure;
        const char* text;
        double fraction;
    };
    for (const Case& c :
         {Case{0.374, "37%", 0.374}, Case{0, "0%", 0}, Case{1, "100%", 1}, Case{1.2, "100%", 1}}) {
        session.fakeInput()->setPressure(c.pressure);
        EXPECT_EQ(model.pressureText(), QString::fromLatin1(c.text)) << c.pressure;
        EXPECT_EQ(model.pressureFraction(), c.fraction) << c.pressure;
    }
    model.setLocale(QLocale(QLocale::Arabic, QLocale::Egypt));
    session.fakeInput()->setPressure(0.5);
    EXPECT_FALSE(model.pressureText().contains(QLatin1String("50")));  // the locale's digits
    // The sign goes where the locale puts it.
    model.setLocale(QLocale(QLocale::Turkish, QLocale::Turkey));
    EXPECT_EQ(model.pressureText(), QStringLiteral("%50"));
    model.setLocale(QLocale(QLocale::French, QLocale::France));
    EXPECT_EQ(model.pressureText(), QStringLiteral("50\u00A0%"));
}

TEST(PenTestModel, ReturnToDesktopTurnsDesktopControlOnOnceThenCloses) {
    for (bool tablet : {true, false}) {
        FakeSession session;
        if (tablet) {
            session.publishConnected(true);
            session.publishActivePeer(QStringLiteral("ab12"));
        }
        PenTestModel model;
        model.setSession(&session);
        QStringList order;
        QObject::connect(&model, &PenTestModel::closeRequested, [&] {
            order.append(session.calls());
            order.append(QStringLiteral("close"));
        });
        model.returnToDesktop();
        EXPECT_EQ(order.count(QStringLiteral("setDesktopControl:true")), 1) << tablet;
        ASSERT_FALSE(order.isEmpty());
        EXPECT_EQ(order.last(), QStringLiteral("close")) << tablet;
    }
}

// The tooltip names the application's own shortcut, as this desktop writes it.
TEST(PenTestModel, ClearToolTipNamesTheCommandsShortcut) {
    PenTestModel model;
    EXPECT_EQ(model.clearToolTip(),
              QStringLiteral("Clear (") +
                  QKeySequence(QStringLiteral("Ctrl+Shift+K")).toString(QKeySequence::NativeText) +
                  QStringLiteral(")"));
}

}  // namespace
}  // namespace quillory
