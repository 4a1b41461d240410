#pragma once

#include <xcb/render.h>
#include <xcb/xcb.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/capture/capture_stream.h"
#include "platform/image/bgrx_picture.h"
#include "platform/video/pixel_conversion.h"

namespace quillory {

// How the X server samples the source for one scale: a box as wide as the pixels each output
// pixel covers when the picture shrinks, so that fine lines and text average out rather than
// alias; bilinear when it grows or barely shrinks.
struct RenderFilter {
    std::string name;
    std::vector<xcb_render_fixed_t> values;  // a convolution's width, height and weights
};
RenderFilter renderFilterFor(double scaleX, double scaleY);

// Scales an area of a drawable to a small picture on the X server with RENDER, and reads back only
// that picture. Borrows the connection; used from one thread at a time.
class X11RenderScaler {
  public:
    // Nothing, with `error` set, when the server lacks RENDER 0.10 or a 24- or 32-bit RGB format.
    static std::optional<X11RenderScaler> open(xcb_connection_t* connection, xcb_window_t root,
                                               CaptureError& error);

    // `area` of `source` (the root, whose windows are included, or a window pixmap of `visual`)
    // at width × height. Nothing when the source is gone or the server refuses.
    std::optional<BgrxPicture> scaled(xcb_drawable_t source, xcb_visualid_t visual,
                                      const PixelRect& area, int width, int height);

  private:
    // What a scale made on the server, freed when it is read.
    struct Drawing {
        std::vector<xcb_render_picture_t> pictures;
        std::vector<xcb_pixmap_t> pixmaps;
        std::vector<xcb_void_cookie_t> draws;
    };

    X11RenderScaler(xcb_connection_t* connection, xcb_window_t root)
        : c_(connection), root_(root) {}
    // `from` drawn at `scale` from the origin of `area`, the part of `from` to scale, into a new
    // width × height picture; that picture.
    xcb_render_picture_t draw(xcb_render_picture_t from, const Rect& area,
                              std::pair<double, double> scale, const RenderFilter& filter,
                              int width, int height, Drawing& drawing);
    std::optional<xcb_render_pictformat_t> formatOf(xcb_visualid_t visual) const;
    std::optional<BgrxPicture> readBack(xcb_pixmap_t pixmap, int width, int height);

    xcb_connection_t* c_;
    xcb_window_t root_;
    std::vector<std::pair<xcb_visualid_t, xcb_render_pictformat_t>> visualFormats_;
    xcb_render_pictformat_t target_ = 0;  // direct RGB, 8 bits a channel
    std::uint8_t targetDepth_ = 0;
};

}  // namespace quillory
