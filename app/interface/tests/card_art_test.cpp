#include "app/interface/card_art.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "app/interface/application_icon.h"

namespace quillory {
namespace {

// Each picture the windows name is compiled in and draws something without filters, which
// QtSvg would drop silently.
TEST(CardArtTest, EveryNamedPictureIsThereAndDraws) {
    CardArt art;
    for (const char* name : {"clay-vorel", "clay-tablet", "clay-pen"}) {
        SCOPED_TRACE(name);
        const QUrl url = art.source(QString::fromLatin1(name));
        ASSERT_FALSE(url.isEmpty());
        const QString path = QLatin1Char(':') + url.path();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_FALSE(file.readAll().contains("<filter"));
        QSvgRenderer renderer(path);
        ASSERT_TRUE(renderer.isValid());
        QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        EXPECT_GT(image.pixelColor(32, 32).alpha(), 0);
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);  // drawn on a clear background
    }
}

// The window icon offers every hicolor size from the compiled-in drawings, none of them blank.
TEST(CardArtTest, TheWindowIconHasEverySizeDrawn) {
    const QIcon icon = applicationIcon();
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        const QImage image = icon.pixmap(size).toImage();
        EXPECT_EQ(image.pixelColor(size / 2, size - size / 3).alpha(), 255);
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    }
    for (const char* path :
         {":/quillory/app-icon/quillory.svg", ":/quillory/app-icon/quillory-small.svg"}) {
        QFile file(QString::fromLatin1(path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path;
        const QByteArray svg = file.readAll();
        EXPECT_FALSE(svg.contains("<filter"));
        EXPECT_FALSE(svg.contains("<text"));
    }
}

TEST(CardArtTest, AMissingOrEmptyNameDrawsNothing) {
    CardArt art;
    EXPECT_TRUE(art.source(QString()).isEmpty());
    EXPECT_TRUE(art.source(QStringLiteral("clay-missing")).isEmpty());
    EXPECT_TRUE(art.source(QStringLiteral("clay-missing")).isEmpty());  // logged once only
}

}  // namespace
}  // namespace quillory
