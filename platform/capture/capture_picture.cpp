#include "platform/capture/capture_picture.h"

#include <xcb/composite.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/capture/x11_grabber.h"

namespace quillory {

namespace {

BgrxPicture copied(const BgrxImage& image) {
    BgrxPicture picture{image.width, image.height,
                        std::vector<std::uint8_t>(static_cast<std::size_t>(image.width) *
                                                  static_cast<std::size_t>(image.height) * 4)};
    const std::size_t row = static_cast<std::size_t>(image.width) * 4;
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(picture.pixels.data() + static_cast<std::size_t>(y) * row,
                    image.data + static_cast<std::ptrdiff_t>(y) * image.stride, row);
    }
    if (image.byteOrder == BgrxByteOrder::mostSignificantFirst) {
        for (std::size_t i = 0; i + 3 < picture.pixels.size(); i += 4) {
            std::swap(picture.pixels[i], picture.pixels[i + 3]);
            std::swap(picture.pixels[i + 1], picture.pixels[i + 2]);
        }
    }
    return picture;
}

PixelRect rounded(const Rect& rect) {
    return {static_cast<int>(std::lround(rect.x)), static_cast<int>(std::lround(rect.y)),
            static_cast<int>(std::lround(rect.width)), static_cast<int>(std::lround(rect.height))};
}

}  // namespace

std::optional<BgrxPicture> capturePicture(const CaptureTarget& target, const char* display,
                                          CaptureError& error) {
    auto grabber = X11Grabber::open(display, error);
    if (!grabber) {
        return std::nullopt;
    }
    std::optional<BgrxImage> image;
    if (target.kind == CaptureTarget::Kind::display) {
        const auto bounds = grabber->monitorBounds(target.id);
        if (!bounds) {
            error = {"The display is gone."};
            return std::nullopt;
        }
        image = grabber->grab(grabber->root(), rounded(*bounds));
    } else {
        xcb_connection_t* c = grabber->connection();
        const auto frame = grabber->topLevel(target.id);
        std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
            frame ? xcb_get_geometry_reply(c, xcb_get_geometry(c, *frame), nullptr) : nullptr,
            &std::free);
        if (!geometry) {
            error = {"The window is gone."};
            return std::nullopt;
        }
        xcb_composite_redirect_window(c, *frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        xcb_composite_name_window_pixmap(c, *frame, pixmap);
        PixelRect crop = rounded(target.frame);
        crop.x -= geometry->x;
        crop.y -= geometry->y;
        image = grabber->grab(pixmap, crop);
        xcb_free_pixmap(c, pixmap);
    }
    if (!image) {
        error = {"The picture could not be grabbed."};
        return std::nullopt;
    }
    return copied(*image);
}

}  // namespace quillory
