#pragma once

#include <QtQml/qqmlregistration.h>

#include <QImage>
#include <QQuickPaintedItem>

namespace quillory {

// The shadow a window of ours casts around its card: the card lies `margin` in from every edge of
// the item, which fills the window, and the shadow fades out within that margin. One blurred
// nine-patch per corner radius and scale is made once and stretched to every card, so that a
// window that grows does not blur again.
class WindowShadow : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal shapeRadius READ shapeRadius WRITE setShapeRadius NOTIFY shapeRadiusChanged)

  public:
    static constexpr int margin = 24;
    static constexpr qreal blur = 12;
    static constexpr qreal offsetY = 4;
    static constexpr qreal opacity = 0.3;

    explicit WindowShadow(QQuickItem* parent = nullptr);

    qreal shapeRadius() const { return shapeRadius_; }
    void setShapeRadius(qreal radius);

    void paint(QPainter* painter) override;

    // The blurred rounded square the shadows are cut from, at `scale` device pixels per point;
    // its corners are `corner(radius)` points square.
    static QImage ninePatch(qreal radius, qreal scale);
    static qreal corner(qreal radius);

  signals:
    void shapeRadiusChanged();

  protected:
    void itemChange(ItemChange change, const ItemChangeData& value) override;

  private:
    // On the GUI thread: paint() may run on a window's render thread, several windows at once.
    void refresh();

    qreal shapeRadius_ = 22;
    QImage patch_;
};

}  // namespace quillory
