#pragma once

#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>

class QQmlEngine;

namespace quillory {

class CardFrame;

// The recorder's floating panel: frameless, above other windows, its card over a shadow in a
// transparent margin, and moved by dragging the card's background.
class RecorderPanel final : public QQuickWindow {
    Q_OBJECT

  public:
    static constexpr int cardWidth = 460;
    static constexpr qreal cornerRadius = 34;

    // Builds RecorderView from QuilloryRecorder on `model`.
    RecorderPanel(QQmlEngine* engine, QObject* model);

    // The view; none when it could not be built.
    QQuickItem* card() const { return card_; }
    // Centres the card on the primary screen's available area.
    void place();

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QPointer<QQuickItem> card_;
    CardFrame* frame_ = nullptr;
};

}  // namespace quillory
