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

// The recorder's card: 460 wide, a 96-point header with the 52-point icon 24 in from the left, the
// prompt below it and the key caps centred under the prompt.
struct RecorderShot {
    const char* scene;
    bool icon;
    bool solidCaps;    // caps with a key on them
    bool placeholder;  // the dashed "?" cap
};

const RecorderShot recorderShots[] = {
    {"recorder-start", true, false, true},    {"recorder-held", true, true, true},
    {"recorder-got-it", true, true, false},   {"recorder-no-icon", false, false, true},
    {"recorder-long-name", true, true, true},
};

// Whether a row holds three short runs of stroke within 50 pixels: the dashes of one cap's
// edge. A solid cap's edge is one long run, its corners two runs a cap's width apart.
bool dashedRow(const QImage& shot, int y, QColor background) {
    std::vector<int> shortRuns;
    int run = 0;
    for (int x = 0; x < shot.width(); ++x) {
        if (!near(shot.pixelColor(x, y), background, 24)) {
            ++run;
            continue;
        }
        if (run > 0 && run <= 6) {
            shortRuns.push_back(x);
        }
        run = 0;
    }
    for (std::size_t i = 2; i < shortRuns.size(); ++i) {
        if (shortRuns[i] - shortRuns[i - 2] <= 50) {
            return true;
        }
    }
    return false;
}

TEST_F(UiShotsTest, RecorderCardsShowHeaderIconPromptAndCaps) {
    for (const RecorderShot& expected : recorderShots) {
        for (const Look& look : looks) {
            SCOPED_TRACE(QStringLiteral("%1-%2").arg(expected.scene, look.name).toStdString());
            const QImage shot = image(QStringLiteral("%1-%2").arg(expected.scene, look.name));
            ASSERT_EQ(shot.width(), 460);
            const auto color = [&](DesignColorToken token) {
                return resolveColor(token, DesignPalette::electricBlue, look.appearance);
            };
            // The header's gradient at its top and bottom, clear of corners and text.
            EXPECT_TRUE(near(shot.pixelColor(400, 3), QColor::fromRgbF(0.36f, 0.49f, 1.0f), 12));
            EXPECT_TRUE(near(shot.pixelColor(400, 94), QColor::fromRgbF(0.16f, 0.30f, 0.95f), 12));

            int orange = 0;
            int white = 0;
            for (int y = 22; y < 74; ++y) {
                for (int x = 24; x < 76; ++x) {
                    const QColor c = shot.pixelColor(x, y);
                    orange += near(c, QColor(255, 140, 0), 20);
                    white += c.red() > 190 && c.green() > 190 && c.blue() > 190;
                }
            }
            EXPECT_EQ(orange > 1500, expected.icon) << orange;
            EXPECT_EQ(white > 80, !expected.icon) << white;

            // "Press the shortcut" or "Got it" in the primary text colour.
            int inked = 0;
            for (int y = 115; y < 160; ++y) {
                for (int x = 100; x < 360; ++x) {
                    inked += near(shot.pixelColor(x, y), color(DesignColorToken::primaryText), 40);
                }
            }
            EXPECT_GT(inked, 100);

            int surface = 0;
            int dashedRows = 0;
            const QColor background = color(DesignColorToken::background);
            for (int y = 160; y < 260; ++y) {
                for (int x = 60; x < 400; ++x) {
                    surface += near(shot.pixelColor(x, y), color(DesignColorToken::surface), 3);
                }
                // Only about the caps' upper edge, above any symbol on them.
                dashedRows += y >= 168 && y < 184 && dashedRow(shot, y, background);
            }
            EXPECT_EQ(surface > 1500, expected.solidCaps) << surface;
            EXPECT_EQ(dashedRows > 0, expected.placeholder) << dashedRows;
        }
    }
}

}  // namespace
}  // namespace quillory
