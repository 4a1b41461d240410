#pragma once

#include <memory>

#include "platform/desktop/geometry.h"
#include "platform/dispatch/timer.h"

namespace quillory {

class MarkerWindow;

// The ring shown where the hovering pen would touch: a small always-on-top window that takes no
// focus and lets every click through, and hides itself 1.5 s after the last position. Main
// thread only.
class DesktopPenIndicator {
  public:
    static constexpr int side = 48;
    static constexpr double dismissalDelay = 1.5;

    DesktopPenIndicator();
    ~DesktopPenIndicator();
    DesktopPenIndicator(const DesktopPenIndicator&) = delete;
    DesktopPenIndicator& operator=(const DesktopPenIndicator&) = delete;

    // `point` in global display coordinates (root pixels); the ring is centred on it, at the
    // same logical size on every screen whatever its device-pixel ratio.
    void show(Point point);
    void cancelDismissal();
    void hide();

    bool isVisible() const;
    // In root pixels.
    Point centre() const;

  private:
    std::unique_ptr<MarkerWindow> panel_;
    Timer dismissal_;
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

}  // namespace quillory
