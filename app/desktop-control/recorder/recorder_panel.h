#pragma once

#include <QQuickView>

namespace quillory {

// The recorder's floating panel: frameless, above other windows, transparent around its card, and
// moved by dragging its background. Without a compositing window manager the transparent corners
// would paint black, so the window is shaped to the card instead.
class RecorderPanel final : public QQuickView {
    Q_OBJECT

  public:
    static constexpr int cardWidth = 460;
    static constexpr qreal cornerRadius = 34;

    explicit RecorderPanel(QQmlEngine* engine, QWindow* parent = nullptr);

    // Centred on the primary screen's available area, at the view's height.
    void place();
    // Shapes the window to the card when nothing composites transparent windows.
    void shapeToCard();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// Whether a compositing manager runs on the X screen (a _NET_WM_CM_Sn selection owner); true off
// X11, where transparency is the compositor's business.
bool compositingManagerRuns();

}  // namespace quillory
