#include "app/interface/card_art.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

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

TEST(CardArtTest, AMissingOrEmptyNameDrawsNothing) {
    CardArt art;
    EXPECT_TRUE(art.source(QString()).isEmpty());
    EXPECT_TRUE(art.source(QStringLiteral("clay-missing")).isEmpty());
    EXPECT_TRUE(art.source(QStringLiteral("clay-missing")).isEmpty());  // logged once only
}

}  // namespace
}  // namespace quillory
