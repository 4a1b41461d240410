#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QJsonObject>
#include <memory>

#include "design/design_colors.h"
#include "tests/support/shot_probes.h"

namespace quillory {
namespace {

using Look = ShotLook;
constexpr const auto& looks = shotLooks;

bool near(QColor actual, QColor expected, int tolerance = 4) {
    return nearColor(actual, expected, tolerance);
}

// Shoots once for the whole program: the suites derived from this one inherit its set-up, which
// would otherwise render every scene again for each of them.
class UiShotsTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!shots_) {
            shots_ = std::make_unique<ShotRun>(qEnvironmentVariable("QUILLORY_UI_SHOTS"),
                                               QStringList(), 840'000, 4);
        }
    }

    void SetUp() override { ASSERT_TRUE(shots_->finished()) << shots_->output().toStdString(); }

    static QImage image(const QString& base) { return shots_->image(base); }
    static QJsonObject placements(const QString& base) { return shots_->placements(base); }

    static inline std::unique_ptr<ShotRun> shots_;
};

TEST_F(UiShotsTest, WritesEverySceneInEveryAppearance) {
    for (const char* scene : {"tray",
                              "panel",
                              "fallback",
                              "waiting-offline",
                              "waiting-listening",
                              "waiting-connecting",
                              "waiting-recovering",
                              "waiting-failed",
                              "pairing-first-second",
                              "pairing-ready",
                              "pairing-confirmed-here",
                              "pairing-confirmed-both",
                              "connected",
                              "connected-studio-active",
                              "connected-studio-stopped",
                              "connected-studio-reopen",
                              "permissions-access",
                              "permissions-screen",
                              "permissions-relaunch",
                              "update-banner",
                              "update-check",
                              "header-compact",
                              "header-compact-clay-pen",
                              "header-regular-clay-vorel",
                              "header-regular-clay-tablet",
                              "header-regular-clay-pen",
                              "guide-waiting",
                              "guide-done",
                              "guide-manual",
                              "guide-relaunch",
                              "guide-reduce-motion",
                              "app-icons",
                              "pen-test-offline",
                              "pen-test-connected",
                              "pen-test-pressure-0",
                              "pen-test-pressure-37",
                              "pen-test-pressure-100",
                              "pen-test-no-dots",
                              "pen-test-portrait",
                              "settings-updates-off",
                              "settings-updates-pending",
                              "settings-login-error",
                              "settings-no-input-access",
                              "settings-relaunch",
                              "devices-empty",
                              "devices-one",
                              "devices-five",
                              "devices-connected",
                              "devices-reconnecting",
                              "devices-failed-forget",
                              "devices-confirm-current",
                              "devices-confirm-other",
                              "acknowledgements-none",
                              "acknowledgements-one",
                              "acknowledgements-many"}) {
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
        if (shots_->onScreen()) {
            // Outside the rounded corners only the faint shadow below the surface shows.
            EXPECT_LT(shot.pixelColor(1, 1).alpha(), 40);
            EXPECT_LT(shot.pixelColor(shot.width() - 2, shot.height() - 2).alpha(), 40);
        }
        const QImage fallback = image(QStringLiteral("fallback-%1").arg(look.name));
        EXPECT_TRUE(near(fallback.pixelColor(1, 1), background));
    }
}

// Every window with a card casts one soft shadow into the margin around the card: darkest next to
// the card, a little deeper below it than above it, gone at the window's edge.
TEST_F(UiShotsTest, CardWindowsCastAShadowIntoTheirMargin) {
    const QColor backdrop(0x7d, 0x85, 0x90);
    constexpr int margin = 24;
    for (const char* scene :
         {"shadow-settings", "shadow-devices", "shadow-guide", "shadow-recorder", "shadow-panel"}) {
        for (const Look& look : looks) {
            SCOPED_TRACE(std::string(scene) + "-" + look.name);
            const QImage shot = image(QStringLiteral("%1-%2").arg(scene, look.name));
            ASSERT_FALSE(shot.isNull());
            const double scale = shot.devicePixelRatio();
            const auto lightness = [&](double x, double y) {
                return shot.pixelColor(int(x * scale), int(y * scale)).lightness();
            };
            const double width = shot.width() / scale;
            const double height = shot.height() / scale;
            const int clear = backdrop.lightness();
            EXPECT_TRUE(near(shot.pixelColor(1, 1), backdrop));
            EXPECT_TRUE(near(shot.pixelColor(shot.width() - 2, shot.height() - 2), backdrop));
            const int below = lightness(width / 2, height - margin + 3);
            const int above = lightness(width / 2, margin - 3);
            const int beside = lightness(margin - 3, height / 2);
            EXPECT_LT(below, clear - 12);
            EXPECT_LT(beside, clear - 6);
            EXPECT_LT(above, clear - 3);
            EXPECT_LT(below, above);
            EXPECT_GT(lightness(width / 2, height - 2), below);
        }
    }
}

// A shot with the rectangles of its named items, in image pixels.
struct Probed {
    QImage image;
    QJsonObject where;
    double scale = 1;

    bool has(const char* name) const { return where.contains(QLatin1String(name)); }
    QRectF rect(const char* name) const {
        const QJsonObject r = where.value(QLatin1String(name)).toObject();
        return {r.value("x").toDouble() * scale, r.value("y").toDouble() * scale,
                r.value("width").toDouble() * scale, r.value("height").toDouble() * scale};
    }
    // A point of the item, in fractions of its size.
    QColor at(const char* name, double fx, double fy) const {
        const QRectF r = rect(name);
        return image.pixelColor(int(r.x() + fx * r.width()), int(r.y() + fy * r.height()));
    }
    // How many pixels of the item are far from `background` (text, glyphs).
    int inked(const char* name, QColor background) const {
        const QRect r = rect(name).toRect().intersected(image.rect());
        int count = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                count += nearColor(image.pixelColor(x, y), background, 60) ? 0 : 1;
            }
        }
        return count;
    }
};

class PanelShotsTest : public UiShotsTest {
  protected:
    static Probed shot(const QString& scene, const Look& look, double width = 340) {
        const QString base = QStringLiteral("%1-%2").arg(scene, look.name);
        Probed probed{image(base), placements(base)};
        probed.scale = probed.image.isNull() ? 1 : probed.image.width() / width;
        return probed;
    }
    static QColor color(DesignColorToken token, const Look& look) {
        return resolveColor(token, DesignPalette::electricBlue, look.appearance);
    }
    static QColor blend(QColor top, QColor bottom, double alpha) {
        return QColor::fromRgbF(float(top.redF() * alpha + bottom.redF() * (1 - alpha)),
                                float(top.greenF() * alpha + bottom.greenF() * (1 - alpha)),
                                float(top.blueF() * alpha + bottom.blueF() * (1 - alpha)));
    }
};

TEST_F(PanelShotsTest, CardsConfirmSwitchAndDisconnectShowTheirColours) {
    for (const Look& look : looks) {
        SCOPED_TRACE(look.name);
        const QColor surface = color(DesignColorToken::surface, look);
        const QColor accent = color(DesignColorToken::accent, look);

        const Probed waiting = shot(QStringLiteral("waiting-listening"), look);
        ASSERT_TRUE(waiting.has("waitingCard"));
        EXPECT_TRUE(near(waiting.at("waitingCard", 0.5, 0.03), surface, 6));
        EXPECT_GT(waiting.inked("waitingTitle", surface), 40);
        EXPECT_GT(waiting.inked("signalWord", color(DesignColorToken::neutralFill, look)), 10);

        const Probed ready = shot(QStringLiteral("pairing-ready"), look);
        ASSERT_TRUE(ready.has("approvePairing"));
        EXPECT_TRUE(near(ready.at("approvePairing", 0.12, 0.8), accent, 14));

        // The first second: Confirm is there, dimmed over the card.
        const Probed first = shot(QStringLiteral("pairing-first-second"), look);
        ASSERT_TRUE(first.has("approvePairing"));
        EXPECT_TRUE(near(first.at("approvePairing", 0.12, 0.8), blend(accent, surface, 0.45), 16));
        EXPECT_FALSE(near(first.at("approvePairing", 0.12, 0.8), accent, 30));

        const Probed live = shot(QStringLiteral("connected-studio-active"), look);
        ASSERT_TRUE(live.has("switchTrack"));
        EXPECT_TRUE(near(live.at("switchTrack", 0.2, 0.5), accent, 10));
        // "Disconnect" is written in red.
        const QRect button = live.rect("disconnect").toRect();
        const QColor red = color(DesignColorToken::destructive, look);
        int reddish = 0;
        for (int y = button.top(); y <= button.bottom(); ++y) {
            for (int x = button.left(); x <= button.right(); ++x) {
                reddish += nearColor(live.image.pixelColor(x, y), red, 40) ? 1 : 0;
            }
        }
        EXPECT_GT(reddish, 10);
    }
}

TEST_F(PanelShotsTest, GuideCardOnItsSurfaceWithTheSuccessTileOnceOn) {
    constexpr double window = 380;
    for (const Look& look : looks) {
        SCOPED_TRACE(look.name);
        const QColor fill = color(DesignColorToken::controlFill, look);
        const QColor success = color(DesignColorToken::success, look);
        for (const char* scene : {"guide-waiting", "guide-done", "guide-manual", "guide-relaunch",
                                  "guide-reduce-motion"}) {
            SCOPED_TRACE(scene);
            const Probed guide = shot(QLatin1String(scene), look, window);
            ASSERT_TRUE(guide.has("guideCard"));
            EXPECT_TRUE(near(guide.at("guideCard", 0.5, 0.06), fill, 6));
            EXPECT_GT(guide.inked("guideTitle", fill), 40);
            EXPECT_GT(guide.inked("guideHelp", fill), 40);
            const bool done = QLatin1String(scene) != QLatin1String("guide-waiting") &&
                              QLatin1String(scene) != QLatin1String("guide-manual");
            EXPECT_EQ(guide.has("guideSuccessTile"), done);
            EXPECT_EQ(guide.has("guideAppIcon"), !done);
            if (done) {
                EXPECT_TRUE(near(guide.at("guideSuccessTile", 0.15, 0.5), success, 6));
            } else {
                // The application icon's blue tile.
                const QColor tile = guide.at("guideAppIcon", 0.12, 0.5);
                EXPECT_GT(tile.blue(), 200);
                EXPECT_LT(tile.red(), 120);
            }
        }
        const Probed manual = shot(QStringLiteral("guide-manual"), look, window);
        EXPECT_GT(manual.inked("guideCommands", fill), 200);
        EXPECT_TRUE(shot(QStringLiteral("guide-relaunch"), look, window).has("guideRelaunch"));
    }
}

TEST_F(UiShotsTest, AppIconSheetShowsEverySizeOnItsTile) {
    const QImage sheet = image(QStringLiteral("app-icons-light"));
    const QJsonObject where = placements(QStringLiteral("app-icons-light"));
    ASSERT_FALSE(sheet.isNull());
    for (const char* strip : {"light", "dark"}) {
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QJsonObject at =
                where.value(QStringLiteral("%1-%2").arg(size).arg(strip)).toObject();
            ASSERT_FALSE(at.isEmpty());
            const QColor tile = sheet.pixelColor(at.value("x").toInt() + size / 8 + 1,
                                                 at.value("y").toInt() + size / 2);
            EXPECT_GT(tile.blue(), 200) << strip << size;
            EXPECT_LT(tile.red(), 120) << strip << size;
        }
    }
}

TEST_F(PanelShotsTest, CardHeaderBandRunsFromLightToDeepBlueWithWhiteText) {
    const std::pair<const char*, int> scenes[] = {{"header-compact", 76},
                                                  {"header-regular-clay-tablet", 150}};
    for (const auto& [scene, height] : scenes) {
        SCOPED_TRACE(scene);
        const Probed header = shot(QString::fromLatin1(scene), looks[0], 500);
        ASSERT_TRUE(header.has("headerBand"));
        const auto pixel = [&](double x, double y) {
            return header.image.pixelColor(int(x * header.scale), int(y * header.scale));
        };
        EXPECT_TRUE(near(pixel(30, 3), QColor::fromRgbF(0.36f, 0.49f, 1.0f), 12));
        EXPECT_TRUE(near(pixel(30, height - 2), QColor::fromRgbF(0.16f, 0.30f, 0.95f), 12));
        EXPECT_TRUE(near(pixel(30, height + 20),
                         resolveColor(DesignColorToken::background, DesignPalette::electricBlue,
                                      looks[0].appearance)));
        // Outside the rounded top corner the window shows through.
        EXPECT_FALSE(near(pixel(1, 1), pixel(30, 3), 12));
        EXPECT_GT(header.inked("headerTitle", pixel(30, height - 2)), 40);
    }
}

// The pen test: the header's gradient, the canvas's surface, the probe stroke in primaryText
// (a full-pressure line along the canvas's middle from 0.1 to 0.3 of its width) and the pressure
// level in accent; on a portrait screen the footer stays in the window.
TEST_F(PanelShotsTest, PenTestShowsHeaderCanvasStrokeAndPressure) {
    for (const Look& look : looks) {
        SCOPED_TRACE(look.name);
        const Probed shot = PanelShotsTest::shot(QStringLiteral("pen-test-pressure-37"), look, 792);
        ASSERT_TRUE(shot.has("canvasBox"));
        const auto pixel = [&](double x, double y) {
            return shot.image.pixelColor(int(x * shot.scale), int(y * shot.scale));
        };
        EXPECT_TRUE(near(pixel(30, 3), QColor::fromRgbF(0.36f, 0.49f, 1.0f), 12));
        EXPECT_TRUE(near(pixel(30, 74), QColor::fromRgbF(0.16f, 0.30f, 0.95f), 12));
        const QRectF canvas = shot.rect("canvasBox");
        EXPECT_NEAR(canvas.width() / shot.scale, 760, 0.5);
        EXPECT_NEAR(canvas.height() / shot.scale, 427.5, 0.5);
        EXPECT_TRUE(near(shot.at("canvasBox", 10 / 760.0, 10 / 427.5),
                         color(DesignColorToken::surface, look)));
        EXPECT_TRUE(
            near(shot.at("canvasBox", 0.2, 0.5), color(DesignColorToken::primaryText, look)));
        ASSERT_TRUE(shot.has("pressureLevel"));
        EXPECT_NEAR(shot.rect("pressureLevel").width() / shot.scale, 96 * 0.374, 0.01);
        EXPECT_TRUE(
            near(shot.at("pressureLevel", 0.5, 0.5), color(DesignColorToken::accent, look)));
        EXPECT_FALSE(shot.has("hint"));

        const Probed empty = PanelShotsTest::shot(QStringLiteral("pen-test-connected"), look, 792);
        EXPECT_TRUE(empty.has("hint"));
        EXPECT_FALSE(empty.has("pressureLevel"));  // no level at pressure 0
        EXPECT_TRUE(near(empty.at("canvasBox", 0.2, 0.5), color(DesignColorToken::surface, look)));

        const QImage portrait = image(QStringLiteral("pen-test-portrait-%1").arg(look.name));
        const QJsonObject where = placements(QStringLiteral("pen-test-portrait-%1").arg(look.name));
        const QJsonObject button = where.value("returnToDesktop").toObject();
        ASSERT_FALSE(button.isEmpty());
        // The window with its shadow margins fits a 720 x 1280 screen, "Return to desktop" in it.
        const double height = portrait.height() / shot.scale;
        EXPECT_LE(portrait.width() / shot.scale + 48, 720);
        EXPECT_LE(height + 48, 1280);
        EXPECT_LE(button.value("y").toDouble() + button.value("height").toDouble(), height);
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
    {"recorder-long-name", true, true, true}, {"recorder-round-icon", true, false, true},
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
            // The icon's shadow darkens the header under it; the gradient runs top to bottom,
            // so the header's right end is the same colour undarkened. A round icon casts none
            // at its frame's lower corner, where a square's shadow would stand.
            const auto darkened = [&](int x, int y) {
                return shot.pixelColor(400, y).blue() - shot.pixelColor(x, y).blue();
            };
            if (expected.icon) {
                EXPECT_GT(darkened(50, 77), 8);
            }
            if (QLatin1String(expected.scene) == QLatin1String("recorder-round-icon")) {
                EXPECT_LT(darkened(27, 76), 4);
            }

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

namespace quillory {
namespace {

class UpdateShotsTest : public PanelShotsTest {};

TEST_F(UpdateShotsTest, TheDialogShowsItsStateOnTheCardFill) {
    for (const Look& look : looks) {
        SCOPED_TRACE(look.name);
        const QColor background = color(DesignColorToken::background, look);
        const QColor accent = color(DesignColorToken::accent, look);
        for (const char* scene : {"update-short", "update-long", "update-not-installable",
                                  "update-error", "update-up-to-date"}) {
            SCOPED_TRACE(scene);
            const Probed s = shot(QString::fromLatin1(scene), look, 440);
            ASSERT_FALSE(s.image.isNull());
            EXPECT_TRUE(
                near(s.image.pixelColor(int(20 * s.scale), s.image.height() / 2), background));
            ASSERT_TRUE(s.has("updatePrimary"));
            EXPECT_TRUE(near(s.at("updatePrimary", 0.5, 0.15), accent, 12));
        }
        const Probed notes = shot(QStringLiteral("update-long"), look, 440);
        EXPECT_GT(notes.inked("updateNotesText", color(DesignColorToken::controlFill, look)), 200);

        const Probed error = shot(QStringLiteral("update-error"), look, 440);
        ASSERT_TRUE(error.has("updateError"));
        const QColor tone = color(DesignColorToken::destructiveText, look);
        EXPECT_TRUE(near(error.at("updateError", 0.6, 0.1), blend(tone, background, 0.06), 6));
        EXPECT_GT(error.inked("updateError", blend(tone, background, 0.06)), 100);

        const Probed downloading = shot(QStringLiteral("update-downloading"), look, 440);
        ASSERT_TRUE(downloading.has("updateProgress"));
        EXPECT_TRUE(near(downloading.at("updateProgress", 0.2, 0.5), accent, 12));
        EXPECT_FALSE(downloading.has("updatePrimary"));
    }
}

}  // namespace
}  // namespace quillory

namespace quillory {
namespace {

class OnboardingShotsTest : public PanelShotsTest {
  protected:
    static Probed welcome(const char* scene, const Look& look) {
        return shot(QString::fromLatin1(scene), look, 620);
    }
    // A token at `alpha` over the card's background.
    static QColor over(DesignColorToken token, double alpha, const Look& look) {
        const QColor top = color(token, look);
        return blend(top, color(DesignColorToken::background, look), alpha * top.alphaF());
    }
};

// The hero's gradient runs from light to deep blue in every appearance; the current step's
// marker is accent; the option chips show their fill and, when on, an accent border; a granted
// permission is a success-tinted badge with its title.
TEST_F(OnboardingShotsTest, HeroMarkersChipsAndBadgesShowTheirColours) {
    const char* const scenes[] = {"welcome-intro",           "welcome-permissions-none",
                                  "welcome-permissions-one", "welcome-permissions-both",
                                  "welcome-connect",         "welcome-connect-updates",
                                  "welcome-connected",       "welcome-connected-updates",
                                  "welcome-reduce-motion"};
    for (const Look& look : looks) {
        SCOPED_TRACE(look.name);
        for (const char* scene : scenes) {
            SCOPED_TRACE(scene);
            const Probed s = welcome(scene, look);
            ASSERT_FALSE(s.image.isNull());
            ASSERT_TRUE(s.has("welcomeHero"));
            const auto pixel = [&](double x, double y) {
                return s.image.pixelColor(int(x * s.scale), int(y * s.scale));
            };
            EXPECT_TRUE(near(pixel(40, 2), QColor::fromRgbF(0.36f, 0.49f, 1.0f), 12));
            EXPECT_TRUE(near(pixel(16, 316), QColor::fromRgbF(0.16f, 0.30f, 0.95f), 12));
            EXPECT_TRUE(near(pixel(16, 400), color(DesignColorToken::background, look)));
            EXPECT_GT(s.inked("welcomeTitle", color(DesignColorToken::background, look)), 100);
        }

        const Probed permissions = welcome("welcome-permissions-one", look);
        ASSERT_TRUE(permissions.has("stepMarker1"));
        EXPECT_NEAR(permissions.rect("stepMarker1").width() / permissions.scale, 18, 0.5);
        EXPECT_NEAR(permissions.rect("stepMarker0").width() / permissions.scale, 6, 0.5);
        EXPECT_TRUE(near(permissions.at("stepMarker1", 0.5, 0.5),
                         color(DesignColorToken::accent, look), 12));
        // Accessibility granted: its badge, tinted, with its title; Screen Recording's button.
        const QColor tint = over(DesignColorToken::success, 0.12, look);
        EXPECT_TRUE(near(permissions.at("accessibilityChip", 0.5, 0.12), tint, 6));
        EXPECT_GT(permissions.inked("accessibilityChip", tint), 60);
        EXPECT_FALSE(near(permissions.at("screenRecordingChip", 0.5, 0.12), tint, 6));

        const Probed both = welcome("welcome-permissions-both", look);
        EXPECT_TRUE(near(both.at("screenRecordingChip", 0.5, 0.12), tint, 6));

        // "Open at login" on, "Check for updates" off: the same fill, a border only when on.
        const Probed chips = welcome("welcome-connect-updates", look);
        ASSERT_TRUE(chips.has("openAtLoginChip"));
        ASSERT_TRUE(chips.has("updatesChip"));
        const QColor fill = over(DesignColorToken::neutralFill, 0.7, look);
        EXPECT_TRUE(near(chips.at("openAtLoginChip", 0.6, 0.15), fill, 6));
        EXPECT_TRUE(near(chips.at("updatesChip", 0.6, 0.15), fill, 6));
        const QColor onEdge = chips.at("openAtLoginChip", 0.6, 0.5 / 36);
        const QColor offEdge = chips.at("updatesChip", 0.6, 0.5 / 36);
        const QColor accent = color(DesignColorToken::accent, look);
        const auto distance = [](QColor a, QColor b) {
            return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                   std::abs(a.blue() - b.blue());
        };
        EXPECT_LT(distance(onEdge, accent), distance(offEdge, accent));
        EXPECT_FALSE(welcome("welcome-connect", look).has("updatesChip"));
    }
}

class CardShotsTest : public PanelShotsTest {
  protected:
    // How many pixels of the item are within 40 of `tone`: text written in that colour.
    static int toned(const Probed& shot, const char* name, QColor tone) {
        const QRect r = shot.rect(name).toRect().intersected(shot.image.rect());
        int count = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                count += nearColor(shot.image.pixelColor(x, y), tone, 40) ? 1 : 0;
            }
        }
        return count;
    }

    // A DesignNotice: the notice red at 6 % over the background, with its message written on it.
    static void expectNotice(const Probed& shot, const char* name, const Look& look) {
        ASSERT_TRUE(shot.has(name)) << name;
        const QColor tint = blend(color(DesignColorToken::destructiveText, look),
                                  color(DesignColorToken::background, look), 0.06);
        EXPECT_TRUE(near(shot.at(name, 0.5, 0.06), tint, 6)) << name;
        EXPECT_GT(shot.inked(name, tint), 100) << name;
    }
};

TEST_F(CardShotsTest, SettingsShowTheirCardsBadgeNoticeAndHeader) {
    for (const Look& look : looks) {
        SCOPED_TRACE(look.name);
        const QColor surface = color(DesignColorToken::surface, look);
        const Probed off = shot(QStringLiteral("settings-updates-off"), look, 500);
        ASSERT_FALSE(off.image.isNull());
        const auto pixel = [&](double x, double y) {
            return off.image.pixelColor(int(x * off.scale), int(y * off.scale));
        };
        EXPECT_TRUE(near(pixel(30, 3), QColor::fromRgbF(0.36f, 0.49f, 1.0f), 12));
        EXPECT_TRUE(near(pixel(30, 148), QColor::fromRgbF(0.16f, 0.30f, 0.95f), 12));
        ASSERT_TRUE(off.has("sectionCard"));
        EXPECT_TRUE(near(off.at("sectionCard", 0.6, 0.04), surface, 6));
        EXPECT_GT(off.inked("sectionCard", surface), 200);
        ASSERT_TRUE(off.has("allowedBadge"));
        EXPECT_TRUE(near(off.at("allowedBadge", 0.5, 0.1),
                         blend(color(DesignColorToken::success, look), surface, 0.12), 8));
        EXPECT_GT(toned(off, "allowedBadge", color(DesignColorToken::success, look)), 20);
        // The filled check circle: solid above its check mark, where an outlined one is hollow.
        const double badgeWidth = off.rect("allowedBadge").width() / off.scale;
        EXPECT_TRUE(near(off.at("allowedBadge", 17 / badgeWidth, 10.0 / 26),
                         color(DesignColorToken::success, look), 40));
        EXPECT_FALSE(off.has("updatePill"));
        EXPECT_FALSE(off.has("loginError"));

        const Probed pending = shot(QStringLiteral("settings-updates-pending"), look, 500);
        ASSERT_TRUE(pending.has("updatePill"));
        EXPECT_GT(toned(pending, "updatePill", Qt::white), 20);

        expectNotice(shot(QStringLiteral("settings-login-error"), look, 500), "loginError", look);
    }
}

TEST_F(CardShotsTest, DevicesShowTheListTheRedForgetAndTheFailureNotice) {
    for (const Look& look : looks) {
        SCOPED_TRACE(look.name);
        const Probed empty = shot(QStringLiteral("devices-empty"), look, 460);
        ASSERT_TRUE(empty.has("emptyCard"));
        EXPECT_FALSE(empty.has("deviceCard"));
        EXPECT_GT(empty.inked("emptyCard", color(DesignColorToken::surface, look)), 200);

        const Probed one = shot(QStringLiteral("devices-one"), look, 460);
        ASSERT_TRUE(one.has("forgetButton"));
        EXPECT_GT(toned(one, "forgetButton", color(DesignColorToken::destructive, look)), 10);
        EXPECT_FALSE(one.has("removalError"));

        expectNotice(shot(QStringLiteral("devices-failed-forget"), look, 460), "removalError",
                     look);
    }
}

TEST_F(CardShotsTest, AcknowledgementsShowTheirTextsAndDone) {
    for (const Look& look : looks) {
        SCOPED_TRACE(look.name);
        const QColor background = color(DesignColorToken::background, look);
        const Probed none = shot(QStringLiteral("acknowledgements-none"), look, 520);
        ASSERT_FALSE(none.image.isNull());
        EXPECT_EQ(none.image.width() / none.scale, 520);
        EXPECT_NEAR(none.image.height() / none.scale, 460, 0.5);
        EXPECT_FALSE(none.has("noticeText"));
        ASSERT_TRUE(none.has("noticesDone"));
        EXPECT_TRUE(
            near(none.at("noticesDone", 0.12, 0.8), color(DesignColorToken::accent, look), 14));
        for (const char* scene : {"acknowledgements-one", "acknowledgements-many"}) {
            const Probed notices = shot(QLatin1String(scene), look, 520);
            ASSERT_TRUE(notices.has("noticeText")) << scene;
            EXPECT_GT(notices.inked("noticeText", background), 200) << scene;
        }
    }
}

}  // namespace
}  // namespace quillory
