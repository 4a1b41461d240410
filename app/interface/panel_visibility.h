#pragma once

#include <QtQml/qqmlregistration.h>

#include <QObject>

namespace quillory {

// True while the status panel is shown; the panel's content reads it (pollers run only then).
class PanelVisibility : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The status item provides it")
    Q_PROPERTY(bool visible READ visible NOTIFY visibleChanged)

  public:
    using QObject::QObject;

    bool visible() const { return visible_; }
    void setVisible(bool visible) {
        if (visible != visible_) {
            visible_ = visible;
            emit visibleChanged();
        }
    }

  signals:
    void visibleChanged();

  private:
    bool visible_ = false;
};

}  // namespace quillory
