#pragma once

#include <QtQml/qqmlregistration.h>

#include <QColor>
#include <QImage>
#include <QQuickPaintedItem>
#include <QUrl>

namespace quillory {

// A rounded rectangle in `color`, or the opaque parts of a picture (`image`, else the one at
// `source`) fitted into that place, blurred by a Gaussian whose standard deviation is half of
// `blur`, as a shadow's blur radius is meant. The shape lies `padding` in from every edge of the
// item, which leaves room for the blur to fade out. Drawn on the CPU, so that every scene graph
// backend shows it, and again only when the item's size or a property changes.
class GaussianShadow : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal blur READ blur WRITE setBlur NOTIFY changed)
    Q_PROPERTY(qreal shapeRadius READ shapeRadius WRITE setShapeRadius NOTIFY changed)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
    Q_PROPERTY(QUrl source READ source WRITE setSource NOTIFY changed)
    Q_PROPERTY(QImage image READ image WRITE setImage NOTIFY changed)
    // Three standard deviations: beyond them the shadow is below a quarter of a percent.
    Q_PROPERTY(qreal padding READ padding NOTIFY changed)

  public:
    explicit GaussianShadow(QQuickItem* parent = nullptr);

    qreal blur() const { return blur_; }
    void setBlur(qreal blur);
    qreal shapeRadius() const { return shapeRadius_; }
    void setShapeRadius(qreal radius);
    QColor color() const { return color_; }
    void setColor(const QColor& color);
    QUrl source() const { return source_; }
    void setSource(const QUrl& source);
    QImage image() const { return image_; }
    void setImage(const QImage& image);
    qreal padding() const { return 1.5 * blur_; }

    void paint(QPainter* painter) override;

    // The shadow alone, `pixels` large at `scale` device pixels per point.
    static QImage render(QSize pixels, qreal scale, qreal blur, qreal shapeRadius, QColor color,
                         const QString& picture = {});
    // The shadow of a picture already in memory.
    static QImage render(QSize pixels, qreal scale, qreal blur, QColor color,
                         const QImage& picture);

  signals:
    void changed();

  private:
    qreal blur_ = 8;
    qreal shapeRadius_ = 0;
    QColor color_ = QColor(0, 0, 0, 26);
    QUrl source_;
    QImage image_;
};

}  // namespace quillory
