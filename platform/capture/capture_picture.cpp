#include "platform/capture/capture_picture.h"

#include <xcb/composite.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "platform/capture/x11_grabber.h"
#include "platform/capture/x11_render_scaler.h"
#include "platform/capture/x11_reply.h"

namespace quillory {

namespace {

PixelRect rounded(const Rect& rect) {
    return {static_cast<int>(std::lround(rect.x)), static_cast<int>(std::lround(rect.y)),
            static_cast<int>(std::lround(rect.width)), static_cast<int>(std::lround(rect.height))};
}

// Where a target's pixels are on the server.
struct TargetPixels {
    xcb_drawable_t drawable = XCB_NONE;
    xcb_visualid_t visual = XCB_NONE;
    PixelRect area;
    xcb_pixmap_t windowPixmap = XCB_NONE;  // named for a window; freed when done
};

std::optional<xcb_visualid_t> visualOf(xcb_connection_t* c, xcb_window_t window) {
    X11Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    return attributes ? std::optional(attributes->visual) : std::nullopt;
}

// The display's area of the root, or the client area of the window manager's frame in the
// frame's own pixmap, which Composite keeps whole however the window is covered.
std::optional<TargetPixels> pixelsOf(X11Grabber& grabber, const CaptureTarget& target,
                                     CaptureError& error) {
    xcb_connection_t* c = grabber.connection();
    if (target.kind == CaptureTarget::Kind::display) {
        const auto bounds = grabber.monitorBounds(target.id);
        const auto visual = visualOf(c, grabber.root());
        if (!bounds || !visual) {
            error = {"The display is gone."};
            return std::nullopt;
        }
        return TargetPixels{grabber.root(), *visual, rounded(*bounds)};
    }
    const auto frame = grabber.topLevel(target.id);
    X11Reply<xcb_get_geometry_reply_t> geometry(
        frame ? xcb_get_geometry_reply(c, xcb_get_geometry(c, *frame), nullptr) : nullptr);
    const auto visual = frame ? visualOf(c, *frame) : std::nullopt;
    if (!geometry || !visual) {
        error = {"The window is gone."};
        return std::nullopt;
    }
    xcb_composite_redirect_window(c, *frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_composite_name_window_pixmap(c, *frame, pixmap);
    PixelRect crop = rounded(target.frame);
    crop.x -= geometry->x;
    crop.y -= geometry->y;
    return TargetPixels{pixmap, *visual, crop, pixmap};
}

template <typename Take>
std::optional<BgrxPicture> pictureOf(const CaptureTarget& target, const char* display,
                                     CaptureError& error, Take take) {
    auto grabber = X11Grabber::open(display, error);
    if (!grabber) {
        return std::nullopt;
    }
    const auto pixels = pixelsOf(*grabber, target, error);
    if (!pixels) {
        return std::nullopt;
    }
    auto picture = take(*grabber, *pixels);
    if (pixels->windowPixmap != XCB_NONE) {
        xcb_free_pixmap(grabber->connection(), pixels->windowPixmap);
    }
    if (!picture && error.message.empty()) {
        error = {"The picture could not be grabbed."};
    }
    return picture;
}

}  // namespace

std::optional<BgrxPicture> capturePicture(const CaptureTarget& target, const char* display,
                                          CaptureError& error) {
    return pictureOf(target, display, error, [](X11Grabber& grabber, const TargetPixels& pixels) {
        const auto image = grabber.grab(pixels.drawable, pixels.area);
        return image ? std::optional(copiedPicture(*image)) : std::nullopt;
    });
}

std::optional<BgrxPicture> captureScaledPicture(const CaptureTarget& target, int width, int height,
                                                const char* display, CaptureError& error) {
    return pictureOf(target, display, error, [&](X11Grabber& grabber, const TargetPixels& pixels) {
        auto scaler = X11RenderScaler::open(grabber.connection(), grabber.root(), error);
        return scaler ? scaler->scaled(pixels.drawable, pixels.visual, pixels.area, width, height)
                      : std::nullopt;
    });
}

}  // namespace quillory
