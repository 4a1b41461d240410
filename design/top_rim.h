#pragma once

#include <QtQml/qqmlregistration.h>

#include <QColor>
#include <QQuickPaintedItem>

namespace quillory {

// A one-point rim just inside the edge of a rounded rectangle of the item's size, fading from
// `color` at the top edge to clear at the vertical centre. It only adds the rim, so it can lie
// over the shape's fill and under the same group opacity.
class TopRim : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY changed)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)

  public:
    explicit TopRim(QQuickItem* parent = nullptr);

    qreal radius() const { return radius_; }
    void setRadius(qreal radius);
    QColor color() const { return color_; }
    void setColor(const QColor& color);

    void paint(QPainter* painter) override;

  signals:
    void changed();

  private:
    qreal radius_ = 0;
    QColor color_ = QColor::fromRgbF(1, 1, 1, 0.22f);
};

}  // namespace quillory
