#pragma once

#include <QtQml/qqmlregistration.h>

#include <QImage>
#include <QQuickPaintedItem>

namespace quillory {

// The application's icon in the recorder's header, smoothly scaled.
class RecorderIcon : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QImage image READ image WRITE setImage NOTIFY imageChanged)

  public:
    explicit RecorderIcon(QQuickItem* parent = nullptr);

    const QImage& image() const { return image_; }
    void setImage(const QImage& image);

    void paint(QPainter* painter) override;

  signals:
    void imageChanged();

  private:
    QImage image_;
};

}  // namespace quillory
