#include "app/interface/status_panel_layout.h"

#include "design/panel_rect.h"

namespace quillory {

namespace {

constexpr int panelRadius = 22;
constexpr int panelMargin = 6;

}  // namespace

StatusPanelLayout::StatusPanelLayout(std::function<QRect(QPoint)> availableAt)
    : availableAt_(std::move(availableAt)) {}

void StatusPanelLayout::attach(QQuickWindow& panel, QQuickItem* surface,
                               std::function<bool()> unmasked) {
    panel_ = &panel;
    surface_ = surface;
    if (surface_) {
        frame_ = new CardFrame(panel, *surface_, panelRadius, std::move(unmasked));
    }
}

void StatusPanelLayout::dropFrame() {
    delete frame_.data();
}

void StatusPanelLayout::anchorTo(QRect tray, bool userOpening,
                                 const std::function<QPoint()>& pointer) {
    if (tray.isValid()) {
        anchor_ = tray;
    } else if (userOpening || !anchor_.isValid()) {
        anchor_ = QRect(pointer(), QSize(1, 1));
    }
}

void StatusPanelLayout::apply(QSizeF size, bool fallback) {
    if (size.width() <= 0 || size.height() <= 0 || size == contentSize_) {
        return;
    }
    contentSize_ = QSizeF(panelWidth, size.height());
    if (!panel_ || !panel_->isVisible()) {
        return;
    }
    layOut(fallback);
}

void StatusPanelLayout::layOut(bool fallback) {
    if (fallback) {
        resizeSurface();
    } else {
        place();
    }
}

void StatusPanelLayout::place() {
    const QRect available = availableAt_(anchor_.center());
    const QRect card = panelRect(anchor_, available, contentSize_.toSize(), panelMargin);
    panel_->setPosition(CardFrame::windowPosition(card.topLeft()));
    resizeSurface();
}

void StatusPanelLayout::resizeSurface() {
    // The reported size, not the surface's own: its reports arrive a turn late, and the window
    // changes once per report.
    if (surface_) {
        surface_->setSize(contentSize_);
    }
    if (frame_) {
        frame_->fit();
    } else {
        panel_->resize(contentSize_.toSize());
    }
}

}  // namespace quillory
