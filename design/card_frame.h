#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRect>
#include <functional>

#include "design/window_shadow.h"

namespace quillory {

// A card alone in a transparent window, with its shadow in a margin around it. The window stays
// the card's size plus the margin on every side. Where a compositing manager runs, the margin
// shows the shadow but takes no clicks: they reach the window below. Without one, transparent
// pixels would paint black, so the window is cut to the card and there is no shadow. Main thread.
class CardFrame final : public QObject {
    Q_OBJECT

  public:
    static constexpr int margin = WindowShadow::margin;

    // Puts `card` into `window` (which owns the frame), over its shadow. `compositing` is asked
    // at every fit; none counts as no.
    CardFrame(QQuickWindow& window, QQuickItem& card, qreal radius,
              std::function<bool()> compositing);
    // Leaves the card at the window's top-left corner, with neither shadow nor shape.
    ~CardFrame() override;

    // The card's place in the window.
    QRect cardRect() const;
    // Where the window goes so that the card's top-left corner lies at `card`.
    static QPoint windowPosition(QPoint card) { return card - QPoint(margin, margin); }
    // Sizes and shapes the window after the card; done on every change of the card's size.
    void fit();
    void setRadius(qreal radius);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void applyShape();

    QPointer<QQuickWindow> window_;  // null from the start of the window's destruction
    QPointer<QQuickItem> card_;
    QPointer<WindowShadow> shadow_;
    qreal radius_;
    std::function<bool()> compositing_;
    // The window manager learns of an input shape by its change notice, which it asks for only
    // once it manages the window: the shape is set again once the window shows.
    bool shownWithShape_ = false;
};

// Whether a compositing manager runs on the X screen (a _NET_WM_CM_Sn selection owner); true off
// X11, where transparency is the compositor's business.
bool compositingManagerRuns();

}  // namespace quillory
