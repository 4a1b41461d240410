#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "design/design_colors.h"
#include "tests/support/shot_probes.h"

namespace quillory {
namespace {

using Look = ShotLook;
constexpr const auto& looks = shotLooks;

bool near(QColor actual, QColor expected, int tolerance = 4) {
    return nearColor(actual, expected, tolerance);
}

// Shoots once for the whole suite.
class UiShotsTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        directory_ = new QTemporaryDir;
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        onScreen_ = !environment.value(QStringLiteral("DISPLAY")).isEmpty();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                           onScreen_ ? QStringLiteral("xcb") : QStringLiteral("offscreen"));
        tool.setProcessEnvironment(environment);
        tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        tool.start(qEnvironmentVariable("QUILLORY_UI_SHOTS"), {directory_->path()});
        finished_ = tool.waitForFinished(120'000) && tool.exitStatus() == QProcess::NormalExit &&
                    tool.exitCode() == 0;
        output_ = QString::fromUtf8(tool.readAllStandardOutput());
    }

    static void TearDownTestSuite() {
        delete directory_;
        directory_ = nullptr;
    }

    void SetUp() override { ASSERT_TRUE(finished_) << output_.toStdString(); }

    static QImage image(const QString& base) {
        return QImage(QDir(directory_->path()).filePath(base + QStringLiteral(".png")));
    }

    static QJsonObject placements(const QString& base) {
        QFile file(QDir(directory_->path()).filePath(base + QStringLiteral(".json")));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    static inline QTemporaryDir* directory_ = nullptr;
    static inline bool finished_ = false;
    static inline bool onScreen_ = false;
    static inline QString output_;
};

TEST_F(UiShotsTest, WritesEverySceneInEveryAppearance) {
    for (const char* scene : {"tray", "panel", "fallback"}) {
        for (const Look& look : looks) {
            EXPECT_FALSE(image(QStringLiteral("%1-%2").arg(scene, look.name)).isNull())
                << scene << "-" << look.name;
        }
    }
}

TEST_F(UiShotsTest, TrayImagesAreWhiteWithADarkHaloAndTheGlyphCut) {
    const QImage sheet = image(QStringLiteral("tray-light"));
    const QJsonObject where = placements(QStringLiteral("tray-light"));
    ASSERT_FALSE(sheet.isNull());
    const std::pair<const char*, QColor> panels[] = {{"light", QColor(0xe8, 0xe8, 0xe8)},
                                                     {"dark", QColor(0x20, 0x21, 0x24)}};
    for (const auto& [panel, fill] : panels) {
        for (int scale : {1, 2}) {
            for (int state = 0; state < 4; ++state) {
                const QString key = QStringLiteral("%1-%2x-%3").arg(state).arg(scale).arg(panel);
                SCOPED_TRACE(key.toStdString());
                const QJsonObject at = where.value(key).toObject();
                ASSERT_FALSE(at.isEmpty());
                const auto pixel = [&](double x, double y) {
                    return sheet.pixelColor(at.value("x").toInt() + int(x * scale),
                                            at.value("y").toInt() + int(y * scale));
                };
                EXPECT_TRUE(near(pixel(16, 8.5), Qt::white, 12));  // the badge's disc
                EXPECT_TRUE(near(pixel(0.2, 0.2), fill));          // transparent outside
                EXPECT_TRUE(near(pixel(21.8, 17.8), fill));
                // The glyph is cut out of the badge: the panel shows through.
                const double glyphX = state == 1 ? 14.7 : 16;
                EXPECT_TRUE(near(pixel(glyphX, state == 2 ? 6.5 : 5.5), fill, 40));
                // At the mark's left edge the halo comes before the white.
                const int row = at.value("y").toInt() + int(13.5 * scale);
                int x = at.value("x").toInt();
                while (x < at.value("x").toInt() + 18 * scale &&
                       near(sheet.pixelColor(x, row), fill)) {
                    ++x;
                }
                EXPECT_LT(sheet.pixelColor(x, row).lightness(), fill.lightness() + 1);
                EXPECT_TRUE(near(sheet.pixelColor(x + 2 * scale, row), Qt::white, 40));
            }
        }
    }
}

TEST_F(UiShotsTest, ThePanelIsFilledWithTheBackgroundAndRoundedAtTheCorners) {
    for (const Look& look : looks) {
        SCOPED_TRACE(look.name);
        const QImage shot = image(QStringLiteral("panel-%1").arg(look.name));
        ASSERT_EQ(shot.width() / shot.devicePixelRatio(), 340);
        const QColor background = resolveColor(DesignColorToken::background,
                                               DesignPalette::electricBlue, look.appearance);
        EXPECT_TRUE(near(shot.pixelColor(6, shot.height() - 30), background));
        EXPECT_TRUE(near(shot.pixelColor(shot.width() - 6, 60), background));
        if (onScreen_) {  // offscreen grabs have no alpha
            EXPECT_EQ(shot.pixelColor(1, 1).alpha(), 0);
            EXPECT_EQ(shot.pixelColor(shot.width() - 2, shot.height() - 2).alpha(), 0);
        }
        const QImage fallback = image(QStringLiteral("fallback-%1").arg(look.name));
        EXPECT_TRUE(near(fallback.pixelColor(1, 1), background));
    }
}

}  // namespace
}  // namespace quillory
