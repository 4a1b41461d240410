#include "design/gaussian_shadow.h"

#include <gtest/gtest.h>

#include <cmath>

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

}  // namespace
}  // namespace quillory
