#include "tests/support/content_window.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "tests/support/synthetic_desktop.h"

namespace quillory::testing {

ContentWindow::ContentWindow(int x, int y, int width, int height, const Painter& paint)
    : c_(xcb_connect(nullptr, nullptr)), window_(xcb_generate_id(c_)) {
    auto* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    const std::uint32_t values[] = {1};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(c_, window_);
    const xcb_gcontext_t gc = xcb_generate_id(c_);
    xcb_create_gc(c_, gc, window_, 0, nullptr);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * 4 *
                                     static_cast<std::size_t>(height));
    paint(pixels.data(), width, height, width * 4);
    // In pieces below the server's request size limit.
    const int rows = std::max(1, 200'000 / (width * 4));
    for (int top = 0; top < height; top += rows) {
        const int count = std::min(rows, height - top);
        xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc, static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(count), 0, static_cast<std::int16_t>(top), 0,
                      screen->root_depth, static_cast<std::uint32_t>(width * 4 * count),
                      pixels.data() + static_cast<std::ptrdiff_t>(top) * width * 4);
    }
    xcb_free_gc(c_, gc);
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

ContentWindow::ContentWindow(int width, int height)
    : ContentWindow(0, 0, width, height, [](std::uint8_t* bgrx, int w, int h, int stride) {
          paintSyntheticDesktop(bgrx, w, h, stride, 0);
      }) {}

ContentWindow::~ContentWindow() {
    // Gone from the server by the time the destructor returns, not when it notices the close.
    xcb_destroy_window(c_, window_);
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    xcb_disconnect(c_);
}

}  // namespace quillory::testing
