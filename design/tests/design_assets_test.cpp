#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include "design/app_icon.h"
#include "design/design_resources.h"
#include "design/dot_grid.h"
#include "design/font_registry.h"
#include "design/icon_renderer.h"
#include "design/menu_bar_mark.h"
#include "design/typography.h"

namespace quillory {
namespace {

// A copy of the compiled-in resources without some files.
class PartialResources {
  public:
    explicit PartialResources(const QStringList& leaveOut) {
        for (const char* folder : {"fonts", "icons", "marks"}) {
            QDir(dir.path()).mkpath(QString::fromLatin1(folder));
            const QDir source(QStringLiteral(":/design/") + QString::fromLatin1(folder));
            for (const QString& name : source.entryList(QDir::Files)) {
                const QString relative = QString::fromLatin1(folder) + QLatin1Char('/') + name;
                if (!leaveOut.contains(relative)) {
                    QFile::copy(source.filePath(name), dir.filePath(relative));
                }
            }
        }
    }
    QString root() const { return dir.path(); }

  private:
    QTemporaryDir dir;
};

// Pictures for review by eye: the status images and a sheet of every icon in both families.
QString shotPath(const QString& name) {
    const QString dir = qEnvironmentVariable("QUILLORY_SHOTS_DIR", QDir::tempPath());
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

template <typename Visit>
void forEachPixel(const QImage& image, Visit visit) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            visit(image.pixelColor(x, y));
        }
    }
}

int coverage(const QImage& image) {
    int covered = 0;
    forEachPixel(image, [&](QColor c) { covered += c.alpha() > 0; });
    return covered;
}

int alphaAt(const QImage& image, double x, double y, double scale) {
    return qAlpha(image.pixel(static_cast<int>(x * scale), static_cast<int>(y * scale)));
}

TEST(FontRegistry, RegistersEachFaceOnceUnderItsOwnFamily) {
    FontRegistry& registry = FontRegistry::shared();
    EXPECT_EQ(registry.family("Regular"), "Barlow Semi Condensed");
    EXPECT_EQ(registry.family("Medium"), "Barlow Semi Condensed Medium");
    EXPECT_EQ(registry.family("SemiBold"), "Barlow Semi Condensed SemiBold");
    // There is no bold file: "Bold" is drawn with SemiBold and nothing else is looked up.
    EXPECT_EQ(registry.family("Bold"), "Barlow Semi Condensed SemiBold");
    EXPECT_EQ(registry.registrations(), 1);
    EXPECT_TRUE(DesignResources::shared().reportedMissing().isEmpty());

    // Qt really draws the styles with the registered face, not a substitute.
    const QFont headline = designFont(DesignTypography::headline, 1.0);
    EXPECT_EQ(QFontInfo(headline).family(), "Barlow Semi Condensed SemiBold");
    EXPECT_EQ(QFontInfo(headline).pixelSize(), 17);
    EXPECT_EQ(QFontInfo(designFont(DesignTypography::title2, 1.0)).family(),
              "Barlow Semi Condensed Medium");
    EXPECT_EQ(QFontInfo(designFont(DesignTypography::body, 1.5)).pixelSize(), 24);
    EXPECT_EQ(registry.registrations(), 1);
}

TEST(FontRegistry, MissingFaceFallsBackToTheSystemFamily) {
    PartialResources partial({"fonts/BarlowSemiCondensed-Medium.ttf"});
    DesignResources resources(partial.root());
    FontRegistry registry(resources);
    EXPECT_EQ(registry.family("Medium"), QGuiApplication::font().family());
    EXPECT_EQ(registry.font("Medium", 24).pixelSize(), 24);
    EXPECT_EQ(registry.family("Regular"), "Barlow Semi Condensed");
    EXPECT_EQ(registry.family("SemiBold"), "Barlow Semi Condensed SemiBold");
    EXPECT_EQ(resources.reportedMissing(), QStringList{"fonts/BarlowSemiCondensed-Medium.ttf"});
}

TEST(IconRenderer, EveryRoleDrawsInBothFamilies) {
    const QColor red(0xE5, 0x48, 0x4D);
    const QColor blue(0x34, 0x5C, 0xFF);
    QImage sheet(6 * 150, (appIconCount + 5) / 6 * 84, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.setFont(designFont(DesignTypography::caption, 1.0));
    for (int i = 0; i < appIconCount; ++i) {
        const auto icon = static_cast<AppIcon>(i);
        SCOPED_TRACE(rawValue(icon).toStdString());
        EXPECT_EQ(appIconFromRawValue(rawValue(icon)), icon);
        const IconSource own = iconSource(icon, AppIconFamily::phosphor, DesignResources::shared());
        ASSERT_EQ(own.kind, IconSource::Kind::file);
        EXPECT_TRUE(own.name.endsWith(phosphorName(icon) + ".svg"));
        const QImage image = renderIcon(own, QSize(40, 40), red);
        EXPECT_GT(coverage(image), 40);
        // Tinted: every drawn pixel carries the colour, at its own coverage.
        int opaque = 0;
        int offColour = 0;
        forEachPixel(image, [&](QColor c) {
            opaque += c.alpha() == 255;
            offColour += c.alpha() == 255 && c.rgb() != red.rgb();
        });
        EXPECT_GT(opaque, 0);
        EXPECT_EQ(offColour, 0);

        // The desktop family draws the theme's icon or, without one, the module's glyph.
        const IconSource system =
            iconSource(icon, AppIconFamily::systemSymbols, DesignResources::shared());
        ASSERT_NE(system.kind, IconSource::Kind::none);
        if (system.kind == IconSource::Kind::file) {
            EXPECT_EQ(system.name, own.name);
        }
        const QImage systemImage = renderIcon(system, QSize(40, 40), blue);
        EXPECT_GT(coverage(systemImage), 0);

        const QPoint origin((i % 6) * 150, (i / 6) * 84);
        painter.drawImage(origin + QPoint(30, 10), image);
        painter.drawImage(origin + QPoint(80, 10), systemImage);
        painter.drawText(QRect(origin + QPoint(0, 56), QSize(150, 20)), Qt::AlignCenter,
                         rawValue(icon));
    }
    painter.end();
    EXPECT_TRUE(sheet.save(shotPath(QStringLiteral("icons.png"))));
}

// Whatever the desktop's theme holds, the two roles ask it for the same name.
TEST(IconRenderer, GestureAndPanAreOnePictureInBothFamilies) {
    EXPECT_EQ(phosphorName(AppIcon::gesture), phosphorName(AppIcon::pan));
    EXPECT_EQ(systemSymbolName(AppIcon::gesture), systemSymbolName(AppIcon::pan));
}

TEST(IconRenderer, MissingGlyphDrawsNothingAndIsLoggedOnce) {
    PartialResources partial({"icons/phosphor-warning-circle.svg"});
    DesignResources resources(partial.root());
    for (int attempt = 0; attempt < 2; ++attempt) {
        const IconSource source = iconSource(AppIcon::warning, AppIconFamily::phosphor, resources);
        EXPECT_EQ(source.kind, IconSource::Kind::none);
        const QImage image = renderIcon(source, QSize(20, 20), Qt::black);
        EXPECT_EQ(image.size(), QSize(20, 20));
        EXPECT_EQ(coverage(image), 0);
        // The desktop family may still find a theme icon, but never the missing file.
        EXPECT_NE(iconSource(AppIcon::warning, AppIconFamily::systemSymbols, resources).kind,
                  IconSource::Kind::file);
    }
    EXPECT_EQ(iconSource(AppIcon::confirmed, AppIconFamily::phosphor, resources).kind,
              IconSource::Kind::file);
    EXPECT_EQ(resources.reportedMissing(), QStringList{"icons/phosphor-warning-circle.svg"});
}

const char* const stateNames[] = {"idle", "pairing", "connected", "failed"};

// Templates: the tray tints them, so only coverage may vary.
TEST(MenuBarMark, StatusImagesAreBlackTemplatesOfTheTraySize) {
    for (MenuBarMark::State state : MenuBarMark::allStates) {
        const QImage& image = MenuBarMark::image(state, 2);
        EXPECT_EQ(image.size(), QSize(44, 36));
        EXPECT_EQ(image.deviceIndependentSize(), QSizeF(22, 18));
        int coloured = 0;
        forEachPixel(image, [&](QColor c) { coloured += (c.rgb() & 0xFFFFFF) != 0; });
        EXPECT_EQ(coloured, 0);
        EXPECT_TRUE(image.save(
            shotPath(QStringLiteral("status-%1@2x.png").arg(stateNames[static_cast<int>(state)]))));
    }
}

TEST(MenuBarMark, BadgeSitsAtTheUpperRightWithTheGlyphOfEachState) {
    using MenuBarMark::State;
    QSvgRenderer mark(*DesignResources::shared().mark(QString::fromLatin1(MenuBarMark::markName)));
    constexpr double s = 8;
    for (State state : MenuBarMark::allStates) {
        SCOPED_TRACE(static_cast<int>(state));
        const QImage image = MenuBarMark::draw(state, s, &mark);
        EXPECT_TRUE(image.save(
            shotPath(QStringLiteral("status-%1@8x.png").arg(stateNames[static_cast<int>(state)]))));
        EXPECT_EQ(alphaAt(image, 20.75, 5.5, s), 0);  // the ring around the badge
        EXPECT_EQ(alphaAt(image, 16, 8.5, s), 255);   // the disc below the glyph
        EXPECT_EQ(alphaAt(image, 16, 2.5, s), 255);   // the disc above the glyph
        EXPECT_EQ(alphaAt(image, 21.5, 16, s), 0);    // right of the mark, below the badge
        EXPECT_EQ(alphaAt(image, 16, 14.5, s), 0);    // where a flipped badge would sit
    }
    const auto at = [&](State state, double x, double y) {
        return alphaAt(MenuBarMark::draw(state, s, &mark), x, y, s);
    };
    EXPECT_EQ(at(State::idle, 16, 5.5), 0);
    EXPECT_EQ(at(State::idle, 16, 7.0), 255);
    // Two separate dots, not one stroke.
    EXPECT_EQ(at(State::pairing, 14.7, 5.5), 0);
    EXPECT_EQ(at(State::pairing, 17.5, 5.5), 0);
    EXPECT_EQ(at(State::pairing, 16.1, 5.5), 255);
    EXPECT_EQ(at(State::connected, 16, 6.5), 0);
    EXPECT_EQ(at(State::connected, 16, 5.5), 255);
    EXPECT_EQ(at(State::connected, 18.5, 3.5), 0);
    EXPECT_EQ(at(State::failed, 16, 5.5), 0);
    EXPECT_EQ(at(State::failed, 14.3, 4.2), 0);
    EXPECT_EQ(at(State::failed, 16, 4.0), 255);
}

TEST(MenuBarMark, MarkIsFittedIntoTheLowerLeft) {
    using MenuBarMark::State;
    constexpr double s = 8;
    QSvgRenderer square(QByteArray(R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" )"
                                   R"(height="10"><rect width="10" height="10"/></svg>)"));
    QImage image = MenuBarMark::draw(State::idle, s, &square);
    EXPECT_EQ(alphaAt(image, 0.5, 2.5, s), 255);  // 16 × 16 from the bottom edge
    EXPECT_EQ(alphaAt(image, 0.5, 1.5, s), 0);
    EXPECT_EQ(alphaAt(image, 15.5, 17.5, s), 255);
    EXPECT_EQ(alphaAt(image, 16.5, 17.5, s), 0);

    QSvgRenderer wide(QByteArray(R"(<svg xmlns="http://www.w3.org/2000/svg" width="20" )"
                                 R"(height="10"><rect width="20" height="10"/></svg>)"));
    image = MenuBarMark::draw(State::idle, s, &wide);
    EXPECT_EQ(alphaAt(image, 0.5, 9.5, s), 255);  // 18 × 9
    EXPECT_EQ(alphaAt(image, 0.5, 8.5, s), 0);
    EXPECT_EQ(alphaAt(image, 17.5, 17.5, s), 255);
    EXPECT_EQ(alphaAt(image, 18.5, 17.5, s), 0);

    // Without a mark the badge still shows on an empty canvas.
    image = MenuBarMark::draw(State::failed, s, nullptr);
    EXPECT_EQ(alphaAt(image, 0.5, 17.5, s), 0);
    EXPECT_EQ(alphaAt(image, 16, 8.5, s), 255);
}

// The gallery's tile card is rounded: its dots must not show past the corners.
TEST(DotGrid, DrawsNothingOutsideItsRoundedCorners) {
    DotGrid grid;
    grid.setSize(QSizeF(362, 160));  // the last dot lies at (348, 156), in the lower right corner
    QPainterPath inside;
    inside.addRoundedRect(QRectF(-1, -1, 364, 162), 29, 29);  // a pixel of edge smoothing
    for (qreal radius : {0.0, 28.0}) {
        grid.setRadius(radius);
        QImage image(362, 160, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        grid.paint(&painter);
        painter.end();
        int outside = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                outside +=
                    qAlpha(image.pixel(x, y)) > 0 && !inside.contains(QPointF(x + 0.5, y + 0.5));
            }
        }
        EXPECT_EQ(outside > 0, radius == 0) << radius;
    }
}

}  // namespace
}  // namespace quillory
