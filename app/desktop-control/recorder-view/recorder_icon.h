#pragma once

#include <QtQml/qqmlregistration.h>

#include <QColor>
#include <QImage>
#include <QQuickPaintedItem>

namespace quillory {

// The application's icon in the recorder's header, smoothly scaled; without one, the dashed
// application symbol in `symbolColor`.
class RecorderIcon : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QImage image READ image WRITE setImage NOTIFY imageChanged)
    Q_PROPERTY(QColor symbolColor READ symbolColor WRITE setSymbolColor NOTIFY symbolColorChanged)

  public:
    explicit RecorderIcon(QQuickItem* parent = nullptr);

    const QImage& image() const { return image_; }
    void setImage(const QImage& image);
    const QColor& symbolColor() const { return symbolColor_; }
    void setSymbolColor(const QColor& color);

    void paint(QPainter* painter) override;

  signals:
    void imageChanged();
    void symbolColorChanged();

  private:
    QImage image_;
    QColor symbolColor_ = Qt::white;
};

}  // namespace quillory
