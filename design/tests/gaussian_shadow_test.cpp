#include "design/gaussian_shadow.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>

#include "design/window_shadow.h"

namespace quillory {
namespace {

// Across a straight edge a Gaussian of deviation s leaves half the colour at the edge, 16 % one
// deviation out and 2.3 % two out; the blur radius is two deviations.
TEST(GaussianShadow, BlurRadiusIsTwoDeviations) {
    struct Case {
        qreal blur;
        qreal scale;
    };
    for (const Case c : {Case{10, 1}, Case{6, 1}, Case{16, 1}, Case{10, 2}}) {
        SCOPED_TRACE(testing::Message() << "blur " << c.blur << " at scale " << c.scale);
        const qreal padding = 1.5 * c.blur;
        const QSizeF points(200 + 2 * padding, 100 + 2 * padding);
        const QImage image = GaussianShadow::render((points * c.scale).toSize(), c.scale, c.blur, 0,
                                                    QColor(0, 0, 0));
        const qreal deviation = c.blur / 2;
        // Along the middle row, outwards from the left edge of the shape.
        const auto alphaAt = [&](qreal pointsOut) {
            const int x = qRound((padding - pointsOut) * c.scale - 0.5);
            return qAlpha(image.pixel(x, image.height() / 2)) / 255.0;
        };
        EXPECT_NEAR(alphaAt(0), 0.5, 0.08);
        EXPECT_NEAR(alphaAt(deviation), 0.16, 0.05);
        EXPECT_NEAR(alphaAt(2 * deviation), 0.023, 0.02);
        EXPECT_NEAR(alphaAt(-2 * deviation), 0.977, 0.02);
        EXPECT_LT(alphaAt(padding - 0.5), 0.01) << "faded out inside the item";
    }
}

// A picture casts the shadow of its own outline: a round icon the shadow of a disc, a padded one
// nothing in its transparent margin, not the shadow of the square it is drawn in.
TEST(GaussianShadow, APictureCastsTheShadowOfItsOwnOutline) {
    constexpr qreal blur = 8;
    constexpr int side = 52;
    const QSize pixels(side + 24, side + 24);
    QImage round(104, 104, QImage::Format_ARGB32_Premultiplied);
    round.fill(Qt::transparent);
    {
        QPainter painter(&round);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 140, 0));
        painter.drawEllipse(QRectF(0, 0, 104, 104));
    }
    const QColor black(0, 0, 0);
    const QImage cast = GaussianShadow::render(pixels, 1, blur, black, round);
    const QImage disc = GaussianShadow::render(pixels, 1, blur, side / 2.0, black);
    int worst = 0;
    for (int y = 0; y < pixels.height(); ++y) {
        for (int x = 0; x < pixels.width(); ++x) {
            worst = std::max(worst, std::abs(qAlpha(cast.pixel(x, y)) - qAlpha(disc.pixel(x, y))));
        }
    }
    EXPECT_LE(worst, 3);
    // Where a square's corner would stand, the disc's shadow is faint.
    const QImage square = GaussianShadow::render(pixels, 1, blur, 12, black);
    EXPECT_GT(qAlpha(square.pixel(15, 15)), 90);
    EXPECT_LT(qAlpha(cast.pixel(15, 15)), 30) << qAlpha(cast.pixel(15, 15));

    // A quarter of the picture on each side is transparent: the shadow is a quarter in too.
    QImage padded(104, 104, QImage::Format_ARGB32_Premultiplied);
    padded.fill(Qt::transparent);
    QPainter(&padded).fillRect(QRect(26, 26, 52, 52), Qt::white);
    const QImage inset = GaussianShadow::render(pixels, 1, blur, black, padded);
    const int middle = pixels.height() / 2;
    EXPECT_LT(qAlpha(inset.pixel(12 + 3, middle)), 5);
    EXPECT_NEAR(qAlpha(inset.pixel(12 + 13, middle)), 128, 25);
}

// The window shadow is cut from one small blurred square: stretched to a card of any size it must
// match the shadow blurred for that card, at the corners and along the edges.
TEST(WindowShadow, TheStretchedNinePatchMatchesAShadowBlurredForTheCard) {
    for (const QSize card : {QSize(300, 200), QSize(460, 360), QSize(340, 96)}) {
        SCOPED_TRACE(testing::Message() << card.width() << "x" << card.height());
        const int margin = WindowShadow::margin;
        const QSize window = card + QSize(2 * margin, 2 * margin);
        WindowShadow item;
        item.setShapeRadius(22);
        item.setSize(window);
        QImage stretched(window, QImage::Format_ARGB32_Premultiplied);
        stretched.fill(Qt::transparent);
        {
            QPainter painter(&stretched);
            item.paint(&painter);
        }
        // Blurred whole: the card grown by the blur's reach, moved down by the offset.
        const qreal reach = 1.5 * WindowShadow::blur;
        const QSize whole = card + QSize(qRound(2 * reach), qRound(2 * reach));
        const QImage expected =
            GaussianShadow::render(whole, 1, WindowShadow::blur, 22,
                                   QColor::fromRgbF(0, 0, 0, float(WindowShadow::opacity)));
        const QPoint at(qRound(margin - reach), qRound(margin - reach + WindowShadow::offsetY));
        int worst = 0;
        for (int y = 0; y < window.height(); ++y) {
            for (int x = 0; x < window.width(); ++x) {
                const QPoint inWhole = QPoint(x, y) - at;
                const int want =
                    expected.rect().contains(inWhole) ? qAlpha(expected.pixel(inWhole)) : 0;
                worst = std::max(worst, std::abs(qAlpha(stretched.pixel(x, y)) - want));
            }
        }
        EXPECT_LE(worst, 3);
    }
}

}  // namespace
}  // namespace quillory
