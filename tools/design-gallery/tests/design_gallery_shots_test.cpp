#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRectF>
#include <QTemporaryDir>
#include <cstdlib>

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
        directory_ = new QTemporaryDir;
        QProcess gallery;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (environment.value(QStringLiteral("DISPLAY")).isEmpty()) {
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        } else {
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        }
        gallery.setProcessEnvironment(environment);
        gallery.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        gallery.start(qEnvironmentVariable("QUILLORY_DESIGN_GALLERY"),
                      {QStringLiteral("--screenshot"), directory_->path()});
        finished_ = gallery.waitForFinished(300'000) &&
                    gallery.exitStatus() == QProcess::NormalExit && gallery.exitCode() == 0;
        output_ = QString::fromUtf8(gallery.readAllStandardOutput());
    }

    static void TearDownTestSuite() {
        delete directory_;
        directory_ = nullptr;
    }

    void SetUp() override { ASSERT_TRUE(finished_) << output_.toStdString(); }

    static QImage image(const QString& base) {
        return QImage(QDir(directory_->path()).filePath(base + QStringLiteral(".png")));
    }

    static QRectF probe(const QString& base, const char* name) {
        QFile file(QDir(directory_->path()).filePath(base + QStringLiteral(".json")));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        const QJsonObject rect =
            QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String(name)).toObject();
        return {rect.value("x").toDouble(), rect.value("y").toDouble(),
                rect.value("width").toDouble(), rect.value("height").toDouble()};
    }

    static inline QTemporaryDir* directory_ = nullptr;
    static inline bool finished_ = false;
    static inline QString output_;
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
