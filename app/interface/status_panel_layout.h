#pragma once

#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRect>
#include <QSizeF>
#include <functional>

#include "design/card_frame.h"

namespace quillory {

// The status panel's size and place: the content's reported height at the panel's fixed width,
// the drop-down under its anchor (the tray icon, or where the pointer was), or the fallback
// window sized to the card. Main thread only.
class StatusPanelLayout {
  public:
    static constexpr int panelWidth = 340;

    // `availableAt` gives the usable area of the screen at a point.
    explicit StatusPanelLayout(std::function<QRect(QPoint)> availableAt);

    // The panel and its card, once built; the card is cut to its rounded shape unless `unmasked`.
    void attach(QQuickWindow& panel, QQuickItem* surface, std::function<bool()> unmasked);
    QQuickItem* surface() const { return surface_; }
    // The fallback window has the desktop's frame and shadow: the card fills it.
    void dropFrame();

    // The tray icon when it has a place; otherwise the pointer, for a user's opening or when
    // nothing anchored the panel before.
    void anchorTo(QRect tray, bool userOpening, const std::function<QPoint()>& pointer);
    QSizeF contentSize() const { return contentSize_; }
    // A size the surface reported: a visible panel follows it at once.
    void apply(QSizeF size, bool fallback);
    // The drop-down placed under the anchor, or the fallback window sized to the card.
    void layOut(bool fallback);

  private:
    void place();
    // The surface, and the window around it, at the reported size.
    void resizeSurface();

    std::function<QRect(QPoint)> availableAt_;
    QPointer<QQuickWindow> panel_;
    QPointer<QQuickItem> surface_;
    QPointer<CardFrame> frame_;  // none once the panel is the fallback window
    QSizeF contentSize_{panelWidth, 280};
    QRect anchor_;
};

}  // namespace quillory
