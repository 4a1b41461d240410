#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QSvgRenderer>

#include "design/app_icon.h"
#include "design/design_colors.h"
#include "design/design_resources.h"
#include "design/icon_renderer.h"
#include "design/menu_bar_mark.h"
#include "design/typography.h"

namespace quillory {
namespace {

// Pictures for review by eye: the four status images and a sheet of every icon in both families.
QDir shotsDirectory() {
    const QString path = qEnvironmentVariable("QUILLORY_SHOTS_DIR", QDir::tempPath());
    QDir().mkpath(path);
    return QDir(path);
}

TEST(DesignShots, StatusImages) {
    const QDir dir = shotsDirectory();
    QSvgRenderer mark(*DesignResources::shared().mark(QString::fromLatin1(MenuBarMark::markName)));
    const char* names[] = {"idle", "pairing", "connected", "failed"};
    // Each state on a light and a dark panel at 8×, as a tray would tint it.
    QImage sheet(4 * 200, 2 * 170, QImage::Format_ARGB32);
    QPainter painter(&sheet);
    for (MenuBarMark::State state : MenuBarMark::allStates) {
        const int i = static_cast<int>(state);
        const QImage image = MenuBarMark::draw(state, 8, &mark);
        ASSERT_TRUE(image.save(dir.filePath(QStringLiteral("status-%1@8x.png").arg(names[i]))));
        ASSERT_TRUE(MenuBarMark::image(state, 2).save(
            dir.filePath(QStringLiteral("status-%1@2x.png").arg(names[i]))));
        for (int row = 0; row < 2; ++row) {
            const QRect cell(i * 200, row * 170, 200, 170);
            painter.fillRect(cell, row == 0 ? QColor(0xF3F3F3) : QColor(0x202020));
            QImage tinted = image;
            tint(tinted, row == 0 ? Qt::black : Qt::white);
            tinted.setDevicePixelRatio(1);
            painter.drawImage(cell.topLeft() + QPoint(12, 13), tinted);
        }
    }
    painter.end();
    ASSERT_TRUE(sheet.save(dir.filePath(QStringLiteral("status-images.png"))));
}

TEST(DesignShots, IconSheet) {
    constexpr int columns = 6;
    constexpr int cellWidth = 150;
    constexpr int cellHeight = 84;
    const int rows = (appIconCount + columns - 1) / columns;
    QImage sheet(columns * cellWidth, rows * cellHeight, QImage::Format_ARGB32);
    sheet.fill(resolveColor(DesignColorToken::surface, DesignPalette::electricBlue, {}));
    const QColor ink = resolveColor(DesignColorToken::primaryText, DesignPalette::electricBlue, {});
    const QColor accent = resolveColor(DesignColorToken::accent, DesignPalette::electricBlue, {});
    QPainter painter(&sheet);
    painter.setFont(designFont(DesignTypography::caption, 1.0));
    painter.setPen(resolveColor(DesignColorToken::secondaryText, DesignPalette::electricBlue, {}));
    for (int i = 0; i < appIconCount; ++i) {
        const auto icon = static_cast<AppIcon>(i);
        const QPoint origin((i % columns) * cellWidth, (i / columns) * cellHeight);
        const auto own = iconSource(icon, AppIconFamily::phosphor, DesignResources::shared());
        const auto system =
            iconSource(icon, AppIconFamily::systemSymbols, DesignResources::shared());
        painter.drawImage(origin + QPoint(30, 10), renderIcon(own, QSize(40, 40), ink));
        painter.drawImage(origin + QPoint(80, 10), renderIcon(system, QSize(40, 40), accent));
        painter.drawText(QRect(origin + QPoint(0, 56), QSize(cellWidth, 20)), Qt::AlignCenter,
                         rawValue(icon));
    }
    painter.end();
    ASSERT_TRUE(sheet.save(shotsDirectory().filePath(QStringLiteral("icons.png"))));
}

TEST(DesignShots, TypeAndMark) {
    const std::pair<const char*, DesignTextStyle> styles[] = {
        {"largeTitle", DesignTypography::largeTitle},
        {"title", DesignTypography::title},
        {"title2", DesignTypography::title2},
        {"title3", DesignTypography::title3},
        {"headline", DesignTypography::headline},
        {"body", DesignTypography::body},
        {"subheadline", DesignTypography::subheadline},
        {"caption", DesignTypography::caption},
        {"PadType.body", PadType::body},
        {"PadType.caption", PadType::caption}};
    QImage sheet(720, 440, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.setPen(Qt::black);
    int y = 10;
    for (const auto& [name, style] : styles) {
        const QFont font = designFont(style, 1.0);
        painter.setFont(font);
        const int height = QFontMetrics(font).height();
        painter.drawText(QRect(10, y, 480, height), Qt::AlignLeft,
                         QStringLiteral("%1 %2 Łódź Ångström 0123").arg(name, font.family()));
        y += height + 4;
    }
    const auto mark = DesignResources::shared().mark(QString::fromLatin1(MenuBarMark::markName));
    painter.drawImage(QPoint(520, 20), renderTemplateSvg(*mark, QSize(180, 160), Qt::black));
    painter.drawImage(QPoint(520, 200), renderTemplateSvg(*mark, QSize(18, 16), Qt::black));
    painter.end();
    ASSERT_TRUE(sheet.save(shotsDirectory().filePath(QStringLiteral("type-and-mark.png"))));
}

}  // namespace
}  // namespace quillory
