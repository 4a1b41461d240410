#pragma once

#include <QtQml/qqmlregistration.h>

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

#include "design/motion.h"

namespace quillory {

class RecorderModel;

// The recorder card's texts and key caps, from the recorder's model. Each cap is a map with
// `text`, `placeholder` and `pixelSize`.
class RecorderViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject* model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QImage icon READ icon NOTIFY changed)
    Q_PROPERTY(bool hasIcon READ hasIcon NOTIFY changed)
    Q_PROPERTY(QString prompt READ prompt NOTIFY changed)
    Q_PROPERTY(QVariantList caps READ caps NOTIFY changed)
    Q_PROPERTY(QString explanation READ explanation NOTIFY changed)
    Q_PROPERTY(bool clearEnabled READ clearEnabled NOTIFY changed)
    Q_PROPERTY(quillory::MotionSpring* keySpring READ keySpring CONSTANT)

  public:
    static constexpr int largeCapPixels = 22;
    static constexpr int smallCapPixels = 15;

    explicit RecorderViewModel(QObject* parent = nullptr);

    QObject* model() const;
    void setModel(QObject* model);

    QString title() const;
    QImage icon() const;
    bool hasIcon() const { return !icon().isNull(); }
    QString prompt() const;
    QVariantList caps() const;
    QString explanation() const;
    bool clearEnabled() const;
    MotionSpring* keySpring() const { return keySpring_; }

    // One- and two-character symbols are drawn large; characters as users see them, not bytes.
    static int capPixelSize(const QString& text);

  signals:
    void modelChanged();
    void changed();

  private:
    QPointer<RecorderModel> model_;
    MotionSpring* keySpring_;
};

}  // namespace quillory
