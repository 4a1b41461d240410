#include "tools/icon-render/icon_render.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace quillory {
namespace {

// How far apart two colours are, summed over the channels.
int distance(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
           std::abs(qBlue(a) - qBlue(b));
}

TEST(HicolorIcons, EverySizeTransparentAroundAnOpaqueTile) {
    for (const int size : appIconSizes()) {
        SCOPED_TRACE(size);
        const QString path =
            QStringLiteral(QUILLORY_HICOLOR_DIR "/%1x%1/apps/quillory.png").arg(size);
        const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(image.isNull()) << path.toStdString();
        EXPECT_EQ(image.size(), QSize(size, size));
        const int last = size - 1;
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)}) {
            EXPECT_EQ(qAlpha(image.pixel(corner)), 0);
        }
        // The tile shows at its left edge half way down, blue and opaque.
        const QRgb tile = image.pixel(size / 8 + 1, size / 2);
        EXPECT_EQ(qAlpha(tile), 255);
        EXPECT_GT(qBlue(tile), 200);
        EXPECT_LT(qRed(tile), 120);
    }
    EXPECT_TRUE(QFile::exists(QStringLiteral(QUILLORY_HICOLOR_DIR "/scalable/apps/quillory.svg")));
}

TEST(HicolorIcons, TheSmallestShowsTheMarkClearlyApartFromTheTile) {
    const QImage image = QImage(QStringLiteral(QUILLORY_HICOLOR_DIR "/16x16/apps/quillory.png"))
                             .convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(image.isNull());
    const QRgb tile = image.pixel(2, 8);
    int markPixels = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QRgb pixel = image.pixel(x, y);
            // Near white, well apart from the blue: not a blur between the two.
            if (qAlpha(pixel) == 255 && distance(pixel, tile) > 250) {
                ++markPixels;
            }
        }
    }
    EXPECT_GE(markPixels, 12);
}

TEST(HicolorIcons, AnUnreadableDrawingWritesNothingAndSaysWhy) {
    QTemporaryDir folder;
    QString error;
    EXPECT_FALSE(writeHicolorIcons(QStringLiteral("/nonexistent/icon.svg"),
                                   QStringLiteral(QUILLORY_ICON_SVG), folder.path(), error));
    EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent/icon.svg")));
    EXPECT_TRUE(renderAppIcon(QStringLiteral("/nonexistent/icon.svg"), 16).isNull());
}

}  // namespace
}  // namespace quillory
