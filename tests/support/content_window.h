#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>

namespace quillory::testing {

// An override-redirect window above everything, painted once with BGRX content, for capture tests
// and benchmarks. It has a connection of its own to $DISPLAY and closes with it; the content is
// on the server when the constructor returns.
class ContentWindow {
  public:
    using Painter = std::function<void(std::uint8_t* bgrx, int width, int height, int stride)>;

    ContentWindow(int x, int y, int width, int height, const Painter& paint);
    // Desktop-like content (paintSyntheticDesktop) at the screen's top-left corner.
    ContentWindow(int width, int height);
    ~ContentWindow();
    ContentWindow(const ContentWindow&) = delete;
    ContentWindow& operator=(const ContentWindow&) = delete;

    xcb_window_t window() const { return window_; }

  private:
    xcb_connection_t* c_;
    xcb_window_t window_;
};

}  // namespace quillory::testing
