#include <gtest/gtest.h>

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

TEST(TrayMark, CachedAtBothScales) {
    for (MenuBarMark::State state : MenuBarMark::allStates) {
        EXPECT_EQ(MenuBarMark::trayImage(state, 1).size(), QSize(22, 18));
        EXPECT_EQ(MenuBarMark::trayImage(state, 2).size(), QSize(44, 36));
        EXPECT_EQ(&MenuBarMark::trayIcon(state), &MenuBarMark::trayIcon(state));
        EXPECT_EQ(MenuBarMark::trayIcon(state).availableSizes().size(), 2);
    }
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
