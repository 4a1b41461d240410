#include <gtest/gtest.h>

#include <QIcon>
#include <QPixmap>
#include <QSvgRenderer>

#include "design/design_resources.h"
#include "design/menu_bar_mark.h"
#include "design/symbols.h"
#include "design/template_image.h"

namespace quillory {
namespace {

QRgb at(const QImage& image, double x, double y, double scale) {
    return image.pixel(static_cast<int>(x * scale), static_cast<int>(y * scale));
}

bool white(QRgb c) {
    return qAlpha(c) == 255 && qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 240;
}

bool darkHalo(QRgb c) {
    return qAlpha(c) > 100 && qRed(c) < 40 && qGreen(c) < 40 && qBlue(c) < 40;
}

// Trays draw pixmaps as they are: the mark must read on light and dark panels alike.
TEST(TrayMark, WhiteGlyphsWithADarkHaloAndTheBadgeGlyphStillCut) {
    using MenuBarMark::State;
    QSvgRenderer mark(*DesignResources::shared().mark(QString::fromLatin1(MenuBarMark::markName)));
    constexpr int s = 8;
    for (State state : MenuBarMark::allStates) {
        SCOPED_TRACE(static_cast<int>(state));
        const QImage image = MenuBarMark::drawTray(state, s, &mark);
        EXPECT_TRUE(white(at(image, 16, 8.5, s)));  // the disc
        EXPECT_TRUE(white(at(image, 16, 2.5, s)));
        EXPECT_EQ(qAlpha(at(image, 0.1, 0.1, s)), 0);  // outside everything
        EXPECT_EQ(qAlpha(at(image, 21.9, 17.9, s)), 0);

        // Along a row through the mark's body: halo first, then white.
        const int row = static_cast<int>(13.5 * s);
        int first = -1;
        for (int x = 0; x < image.width() && first < 0; ++x) {
            first = qAlpha(image.pixel(x, row)) > 0 ? x : -1;
        }
        ASSERT_GE(first, 0);
        EXPECT_TRUE(darkHalo(image.pixel(first + s / 2, row)));
        int whiteAt = -1;
        for (int x = first; x < first + 4 * s && whiteAt < 0; ++x) {
            whiteAt = white(image.pixel(x, row)) ? x : -1;
        }
        EXPECT_GE(whiteAt - first, s - 1);  // about 1 px of halo at 1×
        EXPECT_LE(whiteAt - first, 2 * s);
    }
    const auto alpha = [&](State state, double x, double y) {
        return qAlpha(at(MenuBarMark::drawTray(state, s, &mark), x, y, s));
    };
    EXPECT_EQ(alpha(State::idle, 16, 5.5), 0);
    EXPECT_EQ(alpha(State::pairing, 14.7, 5.5), 0);
    EXPECT_EQ(alpha(State::pairing, 17.5, 5.5), 0);
    EXPECT_EQ(alpha(State::pairing, 16.1, 5.5), 255);
    EXPECT_EQ(alpha(State::connected, 16, 6.5), 0);
    EXPECT_EQ(alpha(State::connected, 16, 5.5), 255);
    EXPECT_EQ(alpha(State::failed, 16, 5.5), 0);
    EXPECT_EQ(alpha(State::failed, 14.3, 4.2), 0);
}

// The largest and the mean difference in alpha between `image` and the exact coverage of the
// drawing at its scale, taken as the mean of 8 × 8 samples per pixel.
std::pair<int, double> offGeometry(const QImage& image, MenuBarMark::State state, qreal scale,
                                   QSvgRenderer* mark) {
    const QImage fine = MenuBarMark::draw(state, 8 * scale, mark);
    int worst = 0;
    long total = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            int sum = 0;
            for (int j = 0; j < 8; ++j) {
                for (int i = 0; i < 8; ++i) {
                    sum += qAlpha(fine.pixel(8 * x + i, 8 * y + j));
                }
            }
            const int off = std::abs(qAlpha(image.pixel(x, y)) - (sum + 32) / 64);
            worst = std::max(worst, off);
            total += off;
        }
    }
    return {worst, double(total) / (image.width() * image.height())};
}

// Trays come in many heights and screens in fractional scales: the mark is drawn at each size
// asked, never resampled from a few fixed pictures. Resampling the 1× or 2× picture is off by
// 11.7 (16 px), 11.4 (24), 3.9 (33) and 8.8 (66) on average; drawn, it is off by at most 6.5 at
// 16 px, where one pixel holds the most edges, and 1.7 from 22 px up.
TEST(MenuBarMark, IconsMatchTheDrawingAtEverySize) {
    QSvgRenderer mark(*DesignResources::shared().mark(QString::fromLatin1(MenuBarMark::markName)));
    const std::pair<int, qreal> asks[] = {{16, 1}, {22, 1}, {24, 1}, {22, 1.5}, {22, 2}, {22, 3}};
    for (MenuBarMark::State state : MenuBarMark::allStates) {
        for (const auto& [side, ratio] : asks) {
            const int pixels = qRound(side * ratio);
            SCOPED_TRACE(pixels);
            const QImage image =
                MenuBarMark::icon(state).pixmap(QSize(side, side), ratio).toImage();
            EXPECT_EQ(image.size(), QSize(pixels, qRound(18 * pixels / 22.0)));
            const auto [worst, mean] = offGeometry(image, state, pixels / 22.0, &mark);
            EXPECT_LE(mean, pixels < 22 ? 8.5 : 2.5);
            EXPECT_LE(worst, 60);
        }
    }
    // The tray's picture follows the same sizes.
    const QImage tray =
        MenuBarMark::trayIcon(MenuBarMark::State::connected).pixmap(QSize(22, 22), 1.5).toImage();
    EXPECT_EQ(tray.size(), QSize(33, 27));
    EXPECT_TRUE(white(tray.pixel(qRound(16 * 1.5), qRound(8.5 * 1.5))));
}

// Renders through the item's own path, as QML would.
class SymbolProbe : public IconImage {
  public:
    using IconImage::render;
};

int coverage(const QImage& image) {
    int covered = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            covered += qAlpha(image.pixel(x, y)) > 0;
        }
    }
    return covered;
}

TEST(Symbols, EverySymbolDrawsAndAnUnknownOneDrawsNothingAndLogsOnce) {
    SymbolProbe probe;
    for (const Symbol& symbol : symbols) {
        probe.setSymbol(QString::fromLatin1(symbol.name));
        EXPECT_GT(coverage(probe.render(QSize(32, 32), Qt::black)), 20) << symbol.name;
    }
    EXPECT_TRUE(reportedUnknownSymbols().isEmpty());
    probe.setSymbol(QStringLiteral("sparkles"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(coverage(probe.render(QSize(32, 32), Qt::black)), 0);
    }
    EXPECT_EQ(reportedUnknownSymbols(), QStringList{"sparkles"});
    // Back to a role: the symbol no longer decides.
    probe.setSymbol(QString());
    probe.setIcon(QStringLiteral("warning"));
    EXPECT_GT(coverage(probe.render(QSize(32, 32), Qt::black)), 20);
}

}  // namespace
}  // namespace quillory
