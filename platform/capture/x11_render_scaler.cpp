#include "platform/capture/x11_render_scaler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/capture/x11_grabber.h"
#include "platform/capture/x11_reply.h"

namespace quillory {

namespace {

// Up to half a pixel more of the source per output pixel, bilinear still samples every pixel.
constexpr double boxFromScale = 1.5;

xcb_render_fixed_t fixed(double value) {
    return static_cast<xcb_render_fixed_t>(std::lround(value * 65536));
}

int boxSide(double scale) {
    return scale > boxFromScale ? static_cast<int>(std::ceil(scale)) : 1;
}

bool isRgb(const xcb_render_pictforminfo_t& format, std::uint8_t depth) {
    const auto& d = format.direct;
    return format.type == XCB_RENDER_PICT_TYPE_DIRECT && format.depth == depth &&
           d.red_shift == 16 && d.red_mask == 0xff && d.green_shift == 8 && d.green_mask == 0xff &&
           d.blue_shift == 0 && d.blue_mask == 0xff;
}

}  // namespace

RenderFilter renderFilterFor(double scaleX, double scaleY) {
    const int width = boxSide(scaleX);
    const int height = boxSide(scaleY);
    if (width == 1 && height == 1) {
        return {"bilinear", {}};
    }
    const int count = width * height;
    RenderFilter filter{"convolution", {fixed(width), fixed(height)}};
    // Weights that add up to exactly one, so that white stays white.
    const xcb_render_fixed_t weight = 65536 / count;
    const int remainder = 65536 - weight * count;
    for (int i = 0; i < count; ++i) {
        filter.values.push_back(weight + (i < remainder ? 1 : 0));
    }
    return filter;
}

std::optional<X11RenderScaler> X11RenderScaler::open(xcb_connection_t* connection,
                                                     xcb_window_t root, CaptureError& error) {
    const auto* extension = xcb_get_extension_data(connection, &xcb_render_id);
    if (!extension || !extension->present) {
        error = {"Previews need the X server's RENDER extension, which it does not offer."};
        return std::nullopt;
    }
    auto versionCookie = xcb_render_query_version(connection, 0, 11);
    auto formatsCookie = xcb_render_query_pict_formats(connection);
    X11Reply<xcb_render_query_version_reply_t> version(
        xcb_render_query_version_reply(connection, versionCookie, nullptr));
    X11Reply<xcb_render_query_pict_formats_reply_t> formats(
        xcb_render_query_pict_formats_reply(connection, formatsCookie, nullptr));
    // Padding the source's edges came with 0.10.
    if (!version || !formats || (version->major_version == 0 && version->minor_version < 10)) {
        error = {"Previews need RENDER 0.10 or later from the X server."};
        return std::nullopt;
    }
    X11RenderScaler scaler(connection, root);
    for (const std::uint8_t depth : {std::uint8_t{24}, std::uint8_t{32}}) {
        for (auto it = xcb_render_query_pict_formats_formats_iterator(formats.get());
             it.rem > 0 && scaler.target_ == 0; xcb_render_pictforminfo_next(&it)) {
            if (isRgb(*it.data, depth)) {
                scaler.target_ = it.data->id;
                scaler.targetDepth_ = depth;
            }
        }
    }
    for (auto screen = xcb_render_query_pict_formats_screens_iterator(formats.get());
         screen.rem > 0; xcb_render_pictscreen_next(&screen)) {
        for (auto depth = xcb_render_pictscreen_depths_iterator(screen.data); depth.rem > 0;
             xcb_render_pictdepth_next(&depth)) {
            for (auto visual = xcb_render_pictdepth_visuals_iterator(depth.data); visual.rem > 0;
                 xcb_render_pictvisual_next(&visual)) {
                scaler.visualFormats_.emplace_back(visual.data->visual, visual.data->format);
            }
        }
    }
    if (scaler.target_ == 0) {
        error = {"Previews need a 24- or 32-bit RGB picture format from the X server."};
        return std::nullopt;
    }
    return scaler;
}

std::optional<xcb_render_pictformat_t> X11RenderScaler::formatOf(xcb_visualid_t visual) const {
    for (const auto& [id, format] : visualFormats_) {
        if (id == visual) {
            return format;
        }
    }
    return std::nullopt;
}

std::optional<BgrxPicture> X11RenderScaler::scaled(xcb_drawable_t source, xcb_visualid_t visual,
                                                   const PixelRect& area, int width, int height) {
    const auto format = formatOf(visual);
    if (!format || area.width <= 0 || area.height <= 0 || width <= 0 || height <= 0 ||
        width > 32767 || height > 32767) {
        return std::nullopt;
    }
    // Edges padded rather than transparent, so that the border pixels are not darkened; the root's
    // windows drawn in, as the screen shows them.
    Drawing drawing;
    const xcb_render_picture_t from = xcb_generate_id(c_);
    const std::uint32_t fromValues[] = {XCB_RENDER_REPEAT_PAD,
                                        XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS};
    if (auto* failure = xcb_request_check(
            c_, xcb_render_create_picture_checked(
                    c_, from, source, *format, XCB_RENDER_CP_REPEAT | XCB_RENDER_CP_SUBWINDOW_MODE,
                    fromValues))) {
        std::free(failure);
        return std::nullopt;
    }
    drawing.pictures.push_back(from);
    // Halved first while the picture is at least twice the size: a bilinear sample at exactly half
    // the size is the mean of the 2×2 pixels under it, and the server has a fast path for it. A
    // box over every pixel costs the server, which serves all its clients on one thread, about
    // 50 ms at 3840×2160.
    Rect step{static_cast<double>(area.x), static_cast<double>(area.y),
              static_cast<double>(area.width), static_cast<double>(area.height)};
    xcb_render_picture_t current = from;
    while (step.width >= 2.0 * width || step.height >= 2.0 * height) {
        const double byX = step.width >= 2.0 * width ? 2 : 1;
        const double byY = step.height >= 2.0 * height ? 2 : 1;
        current = draw(current, step, {byX, byY}, {"bilinear", {}},
                       static_cast<int>(std::ceil(step.width / byX)),
                       static_cast<int>(std::ceil(step.height / byY)), drawing);
        step = {0, 0, step.width / byX, step.height / byY};
    }
    const double scaleX = step.width / width;
    const double scaleY = step.height / height;
    draw(current, step, {scaleX, scaleY}, renderFilterFor(scaleX, scaleY), width, height, drawing);
    auto picture = readBack(drawing.pixmaps.back(), width, height);
    // The read's reply came after the drawing: the checks cost no further round trip.
    for (const auto& drawn : drawing.draws) {
        if (auto* failure = xcb_request_check(c_, drawn)) {
            std::free(failure);
            picture.reset();
        }
    }
    for (const auto picturePart : drawing.pictures) {
        xcb_render_free_picture(c_, picturePart);
    }
    for (const auto pixmap : drawing.pixmaps) {
        xcb_free_pixmap(c_, pixmap);
    }
    xcb_flush(c_);
    return picture;
}

xcb_render_picture_t X11RenderScaler::draw(xcb_render_picture_t from, const Rect& area,
                                           std::pair<double, double> scale,
                                           const RenderFilter& filter, int width, int height,
                                           Drawing& drawing) {
    // The transform takes an output pixel to the source: the area's origin plus the scale.
    xcb_render_transform_t transform{};
    transform.matrix11 = fixed(scale.first);
    transform.matrix13 = fixed(area.x);
    transform.matrix22 = fixed(scale.second);
    transform.matrix23 = fixed(area.y);
    transform.matrix33 = fixed(1);
    xcb_render_set_picture_transform(c_, from, transform);
    xcb_render_set_picture_filter(
        c_, from, static_cast<std::uint16_t>(filter.name.size()), filter.name.c_str(),
        static_cast<std::uint32_t>(filter.values.size()), filter.values.data());
    const xcb_pixmap_t pixmap = xcb_generate_id(c_);
    xcb_create_pixmap(c_, targetDepth_, pixmap, root_, static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height));
    const xcb_render_picture_t to = xcb_generate_id(c_);
    const std::uint32_t toValues[] = {XCB_RENDER_REPEAT_PAD};
    xcb_render_create_picture(c_, to, pixmap, target_, XCB_RENDER_CP_REPEAT, toValues);
    drawing.pixmaps.push_back(pixmap);
    drawing.pictures.push_back(to);
    drawing.draws.push_back(xcb_render_composite_checked(
        c_, XCB_RENDER_PICT_OP_SRC, from, XCB_RENDER_PICTURE_NONE, to, 0, 0, 0, 0, 0, 0,
        static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height)));
    return to;
}

std::optional<BgrxPicture> X11RenderScaler::readBack(xcb_pixmap_t pixmap, int width, int height) {
    X11Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        c_,
        xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0, 0,
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), ~0u),
        nullptr));
    const std::size_t bytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    if (!reply || static_cast<std::size_t>(xcb_get_image_data_length(reply.get())) < bytes) {
        return std::nullopt;
    }
    const auto order = xcb_get_setup(c_)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST
                           ? BgrxByteOrder::leastSignificantFirst
                           : BgrxByteOrder::mostSignificantFirst;
    return copiedPicture({xcb_get_image_data(reply.get()), width, height, width * 4, order});
}

}  // namespace quillory
