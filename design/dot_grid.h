#pragma once

#include <QtQml/qqmlregistration.h>

#include <QQuickPaintedItem>

namespace quillory {

// A pattern of 2-point grey dots, 24 points apart, the first 12 points in from the top left; a
// row or column starts only inside the item. With a `radius`, nothing is drawn outside the
// rounded rectangle of the item's bounds: the card it lies on has rounded corners.
class DotGrid : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY radiusChanged)

  public:
    explicit DotGrid(QQuickItem* parent = nullptr);

    qreal radius() const { return radius_; }
    void setRadius(qreal radius);

    void paint(QPainter* painter) override;

  signals:
    void radiusChanged();

  private:
    qreal radius_ = 0;
};

}  // namespace quillory
