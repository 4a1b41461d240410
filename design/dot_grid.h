#pragma once

#include <QtQml/qqmlregistration.h>

#include <QQuickPaintedItem>

namespace quillory {

// A pattern of 2-point grey dots, 24 points apart, the first 12 points in from the top left; a
// row or column starts only inside the item.
class DotGrid : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT

  public:
    explicit DotGrid(QQuickItem* parent = nullptr);
    void paint(QPainter* painter) override;
};

}  // namespace quillory
