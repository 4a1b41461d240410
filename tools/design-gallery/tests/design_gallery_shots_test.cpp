#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QJsonObject>
#include <QRectF>
#include <cstdlib>
#include <memory>

#include "design/design_colors.h"
#include "design/design_theme.h"
#include "tests/support/shot_probes.h"

namespace quillory {
namespace {

using Look = ShotLook;
constexpr const auto& looks = shotLooks;

bool near(QColor actual, QColor expected, int tolerance = 4) {
    return nearColor(actual, expected, tolerance);
}

std::string describe(QColor color) {
    return color.name().toStdString();
}

// Shoots once for the whole suite: the gallery takes a while to render 87 images.
class GalleryShotsTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        shots_ = std::make_unique<ShotRun>(qEnvironmentVariable("QUILLORY_DESIGN_GALLERY"),
                                           QStringList{QStringLiteral("--screenshot")}, 300'000);
    }

    static void TearDownTestSuite() { shots_.reset(); }

    void SetUp() override { ASSERT_TRUE(shots_->finished()) << shots_->output().toStdString(); }

    static QImage image(const QString& base) { return shots_->image(base); }

    static QRectF probe(const QString& base, const char* name) {
        const QJsonObject rect = shots_->placements(base).value(QLatin1String(name)).toObject();
        return {rect.value("x").toDouble(), rect.value("y").toDouble(),
                rect.value("width").toDouble(), rect.value("height").toDouble()};
    }

    static inline std::unique_ptr<ShotRun> shots_;
};

TEST_F(GalleryShotsTest, EveryPaletteAndAppearanceShowsCardAccentAndText) {
    for (DesignPalette palette : allDesignPalettes) {
        for (const Look& look : looks) {
            const QString base = QStringLiteral("gallery-%1-%2").arg(rawValue(palette), look.name);
            SCOPED_TRACE(base.toStdString());
            const QImage shot = image(base);
            ASSERT_FALSE(shot.isNull());

            const QColor surface =
                resolveColor(DesignColorToken::surface, palette, look.appearance);
            const QColor accent = resolveColor(DesignColorToken::accent, palette, look.appearance);
            const QColor background =
                resolveColor(DesignColorToken::background, palette, look.appearance);

            const QRectF card = probe(base, "computerCard");
            ASSERT_FALSE(card.isEmpty());
            const QColor cardFill = shot.pixelColor(int(card.center().x()), int(card.top() + 3));
            EXPECT_TRUE(near(cardFill, surface)) << describe(cardFill) << " " << describe(surface);

            const QRectF pill = probe(base, "pillConnect");
            ASSERT_FALSE(pill.isEmpty());
            const QColor pillFill = shot.pixelColor(int(pill.left() + 12), int(pill.center().y()));
            EXPECT_TRUE(near(pillFill, accent)) << describe(pillFill) << " " << describe(accent);

            // The title's glyphs stand out from the page.
            const QRectF title = probe(base, "title");
            ASSERT_FALSE(title.isEmpty());
            int inked = 0;
            for (int y = int(title.top()); y < int(title.bottom()); ++y) {
                for (int x = int(title.left()); x < int(title.right()); ++x) {
                    const QColor pixel = shot.pixelColor(x, y);
                    inked += std::abs(pixel.lightness() - background.lightness()) > 100;
                }
            }
            EXPECT_GT(inked, 500);
            EXPECT_TRUE(
                near(shot.pixelColor(int(title.right()) + 4, int(title.top()) + 2), background));
        }
    }
}

TEST_F(GalleryShotsTest, ButtonStatesDiffer) {
    const QColor accent =
        resolveColor(DesignColorToken::accent, DesignPalette::electricBlue, DesignAppearance{});
    const QColor background =
        resolveColor(DesignColorToken::background, DesignPalette::electricBlue, DesignAppearance{});

    // A pill at rest is accent through and through; disabled it fades towards the page.
    const QImage rest = image(QStringLiteral("button-pill-rest-light"));
    const QImage disabled = image(QStringLiteral("button-pill-disabled-light"));
    ASSERT_FALSE(rest.isNull());
    ASSERT_FALSE(disabled.isNull());
    const QPoint centreLeft(rest.width() / 2 - 40, rest.height() / 2);
    EXPECT_TRUE(near(rest.pixelColor(centreLeft), accent)) << describe(rest.pixelColor(centreLeft));
    // The whole capsule fades as one: no layer of it shows through another.
    const QColor faded = disabled.pixelColor(centreLeft);
    const auto mix = [](int page, int ink) { return qRound(page + (ink - page) * 0.45); };
    const QColor expected(mix(background.red(), accent.red()),
                          mix(background.green(), accent.green()),
                          mix(background.blue(), accent.blue()));
    EXPECT_TRUE(near(faded, expected)) << describe(faded) << " " << describe(expected);

    // The floating button is clear at rest and washed while hovered or pressed.
    const QPoint wash(130 - 14, 55);
    EXPECT_TRUE(
        near(image(QStringLiteral("button-floating-rest-light")).pixelColor(wash), background));
    for (const char* state : {"hovered", "pressed"}) {
        const QColor washed =
            image(QStringLiteral("button-floating-%1-light").arg(state)).pixelColor(wash);
        EXPECT_FALSE(near(washed, background, 2)) << state << " " << describe(washed);
    }

    // Every style in every state was written.
    for (const char* style : {"pill", "floating", "press", "plain", "companion", "inline"}) {
        for (const char* state : {"rest", "hovered", "pressed", "disabled"}) {
            for (const Look& look : looks) {
                EXPECT_FALSE(
                    image(QStringLiteral("button-%1-%2-%3").arg(style, state, look.name)).isNull())
                    << style << " " << state << " " << look.name;
            }
        }
    }
}

}  // namespace
}  // namespace quillory
